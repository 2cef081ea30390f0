#include "db/Schema.h"
#include "sensors/domain/FilterCriteria.h"
#include "sensors/domain/SensorRecords.h"

#include "Support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class RegisterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = dir.open();
    }

    void addSensor(const QString& id, const QString& level = QString(), const QString& location = QString(),
                   const QString& installDate = QStringLiteral("2006/06/30"), const QString& destroyed = QStringLiteral("No"))
    {
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType, Level, Location, InstallDate, Destroyed) "
                                "VALUES (?, ?, ?, ?, ?, ?)"),
                 {id, id.mid(4, 2), level, location, installDate, destroyed});
        createReadingTable(*db, id);
        addNetworkRow(*db, id);
    }

    std::unique_ptr<RecordSet> openRegister()
    {
        return std::make_unique<RecordSet>(*db, QStringLiteral("SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;"));
    }

    QString rows(const QString& sql)
    {
        QStringList out;
        for (const QVariantList& row : db->query(sql)) {
            QStringList values;
            for (const QVariant& v : row)
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            out << values.join(QLatin1Char('|'));
        }
        return out.join(QLatin1Char('\n'));
    }

    test::DataFolder dir;
    std::unique_ptr<Database> db;
};

} // namespace

TEST_F(RegisterTest, NewSensorTakesTheTypeDefaults)
{
    auto reg = openRegister();
    RecordSet types(*db, QStringLiteral("SELECT * FROM Configuration ORDER BY SensorType"));
    ASSERT_TRUE(types.find(QStringLiteral("SensorType"), QStringLiteral("75")));
    addSensorRow(*reg, types, splitSensorNumber(QStringLiteral("030575007")), QDate(2012, 7, 4));
    addNetworkRow(*db, QStringLiteral("030575007"));

    EXPECT_EQ(reg->text(QStringLiteral("InstrumentID")), QStringLiteral("030575007"));
    EXPECT_EQ(rows(QStringLiteral("SELECT InstrumentID, Family, numgauges, Model, SensorType, DateID, TypeID, SensorNo, "
                                  "InstallDate, Destroyed, HeadLocation, LengthofCable, Level FROM Sensors")),
              QStringLiteral("030575007|g-STAY|6|g6STAY|75|0305|75|007|2012/07/04|No|1|0|<null>"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM NetworkConfig")), QStringLiteral("030575007|NA|NA|NA|24"));
    EXPECT_TRUE(sensorRowExists(*db, QStringLiteral("030575007")));
    EXPECT_FALSE(sensorRowExists(*db, QStringLiteral("030575008")));
}

TEST_F(RegisterTest, DeletionTouchesOnlyTheCurrentSensor)
{
    addSensor(QStringLiteral("201175001"));
    addSensor(QStringLiteral("201175002"));
    addNetworkRow(*db, QStringLiteral("201175002")); // a second network row of the same sensor
    auto reg = openRegister();
    reg->moveNext();

    EXPECT_EQ(deleteCurrentSensor(*db, *reg), QStringLiteral("201175002"));
    EXPECT_EQ(reg->recordCount(), 1);
    EXPECT_EQ(rows(QStringLiteral("SELECT InstrumentID FROM Sensors")), QStringLiteral("201175001"));
    EXPECT_FALSE(db->tableExists(QStringLiteral("201175002")));
    EXPECT_TRUE(db->tableExists(QStringLiteral("201175001")));
    EXPECT_EQ(rows(QStringLiteral("SELECT SensorID FROM NetworkConfig ORDER BY SensorID")),
              QStringLiteral("201175001\n201175002"));
}

TEST_F(RegisterTest, DeletionGoesOnPastAMissingTableAndNetworkRow)
{
    db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType) VALUES ('201175001', '75')"));
    auto reg = openRegister();
    EXPECT_EQ(deleteCurrentSensor(*db, *reg), QStringLiteral("201175001"));
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM Sensors")), QStringLiteral("0"));
}

TEST_F(RegisterTest, DeletingFromAnEmptyRegisterChangesNothing)
{
    db->exec(QStringLiteral("INSERT INTO NetworkConfig (SensorID) VALUES ('')"));
    auto reg = openRegister();
    EXPECT_EQ(deleteCurrentSensor(*db, *reg), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM NetworkConfig")), QStringLiteral("1"));
}

TEST_F(RegisterTest, FilterPredicateNarrowsTheRegister)
{
    addSensor(QStringLiteral("201175001"), QStringLiteral("1200"), QStringLiteral("O'Brien's Cut"));
    addSensor(QStringLiteral("201175002"), QStringLiteral("1200"), QStringLiteral("North"), QStringLiteral("2007/01/02"));
    addSensor(QStringLiteral("201175003"), QStringLiteral("1200"), QStringLiteral("O'Brien's Cut"),
              QStringLiteral("2006/01/01"), QStringLiteral("Yes"));
    auto reg = openRegister();

    FilterCriteria c;
    c.location = QStringLiteral("O'Brien's Cut");
    reg->setFilter(filterPredicate(*reg, c));
    EXPECT_EQ(instrumentIds(*reg), QStringList({QStringLiteral("201175001"), QStringLiteral("201175003")}));

    c.notDestroyed = true;
    reg->setFilter(filterPredicate(*reg, c));
    EXPECT_EQ(instrumentIds(*reg), QStringList({QStringLiteral("201175001")}));

    FilterCriteria dates;
    dates.startDate = QStringLiteral("2007/01/01");
    dates.endDate = QStringLiteral("2012/07/04");
    reg->setFilter(filterPredicate(*reg, dates));
    EXPECT_EQ(instrumentIds(*reg), QStringList({QStringLiteral("201175002")}));

    reg->clearFilter();
    EXPECT_EQ(instrumentIds(*reg).size(), 3);
}

TEST(FindPrefix, SearchesAfterTheFirstEntryAndWraps)
{
    const QStringList list{QStringLiteral("201175001"), QStringLiteral("201175002"), QStringLiteral("2012ab001"),
                           QStringLiteral("301175001")};
    const auto find = [&](const QStringList& l, const char* prefix) {
        return findPrefix(l.size(), [&](int i) { return l[i]; }, QString::fromLatin1(prefix));
    };
    EXPECT_EQ(find(list, "2011"), 1);    // the first entry is searched last
    EXPECT_EQ(find(list, "201175001"), 0);
    EXPECT_EQ(find(list, "2012AB"), 2);  // letter case ignored
    EXPECT_EQ(find(list, "3"), 3);
    EXPECT_EQ(find(list, "4"), -1);
    EXPECT_EQ(find(list, ""), 1);
    EXPECT_EQ(find({QStringLiteral("201175001")}, "20"), 0);
    EXPECT_EQ(find({}, "20"), -1);
}
