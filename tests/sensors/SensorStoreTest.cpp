#include "sensors/domain/SensorStore.h"

#include "Support.h"

using namespace rv;

TEST(SensorStore, ReadsTheRegisterAndTheTypeTableAsTypedValues)
{
    test::DataFolder dir(true);
    auto db = dir.open();
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
