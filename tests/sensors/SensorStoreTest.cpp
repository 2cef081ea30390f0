// The store's SQL on both engines: the SQLite cases run everywhere, the server ones as the ctest
// sensors.postgres.
#include "sensors/domain/SensorStore.h"

#include "SuppliedOnEngine.h"
#include "sensors/domain/SensorRecords.h"

using namespace rv;

namespace {

class SensorStoreTest : public test::SuppliedOnEngine {
protected:
    QVector<QVariantList> networkRows(const QString& id)
    {
        return db->query(QStringLiteral("SELECT MasterID, SlaveID, SlotID, TimeConfig FROM NetworkConfig "
                                        "WHERE SensorID = ? ORDER BY rowid"),
                         {id});
    }
};

TEST_P(SensorStoreTest, ReadsTheRegisterAndTheTypeTableAsTypedValues)
{
    db->exec(QStringLiteral("UPDATE Sensors SET boltkfactor = NULL WHERE InstrumentID = '130175001'"));
    SensorStore store(*db);

    EXPECT_EQ(store.instrumentIds(), QStringList({QStringLiteral("120375001"), QStringLiteral("120375002"),
                                                  QStringLiteral("120375003"), QStringLiteral("130175001")}));
    const auto s = store.sensor(QStringLiteral("120375003"));
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->sensorType, QStringLiteral("75"));
    EXPECT_EQ(s->numGauges, 6);
    EXPECT_EQ(s->boltkfactor, 7.5);
    EXPECT_EQ(s->lengthLong, QStringLiteral("1.8"));
    EXPECT_EQ(s->paddleLocation[2], QStringLiteral("1.5"));
    EXPECT_TRUE(s->destroyed);
    EXPECT_FALSE(store.sensor(QStringLiteral("130175001"))->boltkfactor.has_value());
    EXPECT_FALSE(store.sensor(QStringLiteral("999999999")).has_value());
    EXPECT_TRUE(store.exists(QStringLiteral("120375001")));
    EXPECT_FALSE(store.exists(QStringLiteral("12037500")));
    EXPECT_EQ(store.sensors().size(), 4);
    EXPECT_EQ(store.highestInstrumentId(), QStringLiteral("130175001"));
    EXPECT_EQ(store.sensorCount(), 4);

    const auto t = store.type(QStringLiteral("75"));
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->numChannels, 6);
    EXPECT_TRUE(t->tempChannel);
    EXPECT_EQ(t->tempLow, -40.0);
    EXPECT_EQ(t->high, 5000.0);
    EXPECT_EQ(t->model, QStringLiteral("g6STAY"));
    EXPECT_FALSE(store.type(QStringLiteral("01")).has_value());
    EXPECT_EQ(store.types().size(), 1);
}

TEST_P(SensorStoreTest, AnEmptyRegisterHasNoHighestNumber)
{
    db->exec(QStringLiteral("DELETE FROM Sensors"));
    SensorStore store(*db);
    EXPECT_EQ(store.highestInstrumentId(), QString());
    EXPECT_EQ(store.sensorCount(), 0);
    EXPECT_TRUE(store.instrumentIds().isEmpty());
}

TEST_P(SensorStoreTest, RemovingANetworkRowTakesTheFirstOfThatNumberOnly)
{
    SensorStore store(*db);
    const QString id = QStringLiteral("120375002");
    db->exec(QStringLiteral("UPDATE NetworkConfig SET MasterID = 'M1' WHERE SensorID = ?"), {id});
    store.addNetworkRow(id);
    store.addNetworkRow(id);
    ASSERT_EQ(networkRows(id).size(), 3);
    EXPECT_EQ(networkRows(id).last(), QVariantList({QStringLiteral("NA"), QStringLiteral("NA"),
                                                    QStringLiteral("NA"), qint64(24)}));

    store.removeNetworkRow(id);
    const QVector<QVariantList> left = networkRows(id);
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left.first().value(0), QStringLiteral("NA")); // the placed row went, being first
    store.removeNetworkRow(id);
    store.removeNetworkRow(id);
    store.removeNetworkRow(id); // none left: nothing happens
    EXPECT_TRUE(networkRows(id).isEmpty());
    EXPECT_EQ(networkRows(QStringLiteral("120375001")).size(), 1);
}

TEST_P(SensorStoreTest, TheRecordSetsReadAndWriteTheirTablesByTheProgramsNames)
{
    SensorStore store(*db);
    auto reg = store.openRegister();
    ASSERT_EQ(reg->recordCount(), 4);
    EXPECT_EQ(reg->fieldIndex(QStringLiteral("rowid")), -1);
    reg->moveLast();
    EXPECT_EQ(reg->text(sensorField::instrumentId), QStringLiteral("130175001"));
    reg->setValue(sensorField::notes, QStringLiteral("re-tensioned"));
    // A number kept as written: checked as a number, stored as typed.
    EXPECT_EQ(test::errorOf([&] { reg->setValue(sensorField::elasticLimit, QStringLiteral("high")); }), 13);
    reg->setValue(sensorField::lengthLongG, QStringLiteral("2.50"));
    reg->update();
    EXPECT_EQ(store.sensor(QStringLiteral("130175001"))->notes, QStringLiteral("re-tensioned"));
    EXPECT_EQ(store.sensor(QStringLiteral("130175001"))->lengthLong, QStringLiteral("2.50"));
    reg->addNew();
    reg->setValue(sensorField::instrumentId, QStringLiteral("140175001"));
    reg->setValue(sensorField::numGauges, 4);
    reg->update();
    EXPECT_EQ(store.sensor(QStringLiteral("140175001"))->numGauges, 4);
    reg->requery();
    EXPECT_EQ(reg->recordCount(), 5);
    ASSERT_TRUE(reg->find(sensorField::instrumentId, QStringLiteral("120375002")));
    reg->deleteCurrent();
    EXPECT_FALSE(store.exists(QStringLiteral("120375002")));
    EXPECT_EQ(store.sensorCount(), 4);

    auto types = store.openTypes();
    ASSERT_EQ(types->recordCount(), 1);
    EXPECT_EQ(types->text(typeField::sensorType), QStringLiteral("75"));
    EXPECT_EQ(types->value(typeField::highval).toDouble(), 5000.0);

    auto prefs = store.openPrefs();
    ASSERT_EQ(prefs->recordCount(), 1);
    EXPECT_EQ(prefs->text(prefsField::mineId), QStringLiteral("MINE"));
    prefs->setValue(prefsField::maxY, 250);
    prefs->update();
    EXPECT_EQ(db->query(QStringLiteral("SELECT MaxY FROM Prefs")).value(0).value(0).toDouble(), 250.0);
}

// A sensor without a reading table is deleted whole: the table it lacks fails no statement of the
// deletion's transaction (which a server would then roll back).
TEST_P(SensorStoreTest, ASensorWithoutAReadingTableIsDeletedWhole)
{
    db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES ('140175009')"));
    SensorStore store(*db);
    auto reg = store.openRegister();
    ASSERT_TRUE(reg->find(sensorField::instrumentId, QStringLiteral("140175009")));
    EXPECT_EQ(deleteCurrentSensor(*db, *reg), QStringLiteral("140175009"));
    EXPECT_FALSE(store.exists(QStringLiteral("140175009")));
    EXPECT_TRUE(store.exists(QStringLiteral("130175001")));
}

INSTANTIATE_TEST_SUITE_P(Engines, SensorStoreTest, ::testing::Values(test::Engine::Sqlite, test::Engine::Postgres),
                         test::engineName);

} // namespace
