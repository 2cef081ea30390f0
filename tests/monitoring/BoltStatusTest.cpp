#include "monitoring/domain/BoltStatus.h"

#include "SuppliedOnEngine.h"
#include "readings/domain/ReadingStore.h"

using namespace rv;

namespace {

Sensor bolt(double k = 100, const QString& elastic = QStringLiteral("180"), const QString& plastic = QStringLiteral("210"),
            const QString& ultimate = QStringLiteral("2.5"))
{
    Sensor s;
    s.instrumentId = QStringLiteral("000000001");
    s.boltkfactor = k;
    s.elasticLimit = elastic;
    s.perfectPlasticLimit = plastic;
    s.ultimateStrength = ultimate;
    return s;
}

// A reading whose six gauges read base + the given strains.
Reading reading(int day, std::array<double, 6> strains, double base = 1000)
{
    Reading r;
    r.moment = QDateTime(QDate(2024, 3, day), QTime(8, 0), Qt::UTC);
    for (int g = 0; g < 6; ++g)
        r.channels[g] = base + strains[g];
    return r;
}

const Reading kZero = reading(1, {0, 0, 0, 0, 0, 0});

BoltState stateOf(const Sensor& s, std::array<double, 6> strains)
{
    return classifyBolt(s, kZero, reading(9, strains)).state;
}

} // namespace

TEST(BoltStatus, EachStateByTheLargestAbsoluteStrainOrLoad)
{
    const Sensor s = bolt();
    EXPECT_EQ(stateOf(s, {10, 20, 30, 40, 50, 60}), BoltState::Within);
    EXPECT_EQ(stateOf(s, {0, 0, 0, 0, 0, 179.9}), BoltState::Within);
    EXPECT_EQ(stateOf(s, {0, 0, 0, 0, 180, 0}), BoltState::Elastic); // a limit reached counts
    EXPECT_EQ(stateOf(s, {-195, 0, 0, 0, 0, 0}), BoltState::Elastic); // negative strains by size
    EXPECT_EQ(stateOf(s, {0, -215, 0, 0, 0, 0}), BoltState::Plastic);
    // Load 2 = strain 2 / k: 250 / 100 = 2.5 tons reaches the ultimate strength.
    EXPECT_EQ(stateOf(s, {0, 250, 0, 0, 0, 0}), BoltState::Ultimate);
    // Gauges 1 and 4 load as a pair: (260 + -260) / 2 is no load, but the strain is plastic.
    EXPECT_EQ(stateOf(s, {260, 0, 0, -260, 0, 0}), BoltState::Plastic);

    const BoltStatus st = classifyBolt(s, kZero, reading(9, {-30, 12, 40, 10, -5, 0}));
    EXPECT_DOUBLE_EQ(*st.longStrain, 40);
    EXPECT_DOUBLE_EQ(*st.shortStrain, 12);
    EXPECT_DOUBLE_EQ(*st.load, 0.2); // gauges 3 and 6: (40 + 0) / 2 / 100
}

TEST(BoltStatus, DestroyedFirstThenNoReadingsThenTheHighestLimitReached)
{
    Sensor s = bolt();
    s.destroyed = true;
    EXPECT_EQ(stateOf(s, {0, 900, 0, 0, 0, 0}), BoltState::Destroyed);
    EXPECT_EQ(classifyBolt(s, std::nullopt, std::nullopt).state, BoltState::Destroyed);
    s.destroyed = false;
    EXPECT_EQ(classifyBolt(s, std::nullopt, std::nullopt).state, BoltState::NoReadings);
    // Ultimate before plastic, plastic before elastic, whatever order the limits are in.
    const Sensor odd = bolt(100, QStringLiteral("300"), QStringLiteral("200"), QStringLiteral("1"));
    EXPECT_EQ(stateOf(odd, {0, 250, 0, 0, 0, 0}), BoltState::Ultimate);
    EXPECT_EQ(stateOf(bolt(1000, QStringLiteral("300"), QStringLiteral("200")), {0, 250, 0, 0, 0, 0}),
              BoltState::Plastic);
}

TEST(BoltStatus, EmptyOrZeroLimitsAndAZeroKFactorAreSkipped)
{
    EXPECT_EQ(stateOf(bolt(100, QString(), QString(), QString()), {0, 9000, 0, 0, 0, 0}), BoltState::Within);
    EXPECT_EQ(stateOf(bolt(100, QStringLiteral("0"), QStringLiteral("0.0"), QStringLiteral(" ")), {0, 9000, 0, 0, 0, 0}),
              BoltState::Within);
    EXPECT_EQ(stateOf(bolt(100, QStringLiteral("180"), QString(), QString()), {0, 9000, 0, 0, 0, 0}), BoltState::Elastic);
    // k = 0: no load, so the strain decides; no division error escapes.
    const BoltStatus st = classifyBolt(bolt(0), kZero, reading(9, {0, 250, 0, 0, 0, 0}));
    EXPECT_EQ(st.state, BoltState::Plastic);
    EXPECT_FALSE(st.load);
    EXPECT_TRUE(st.figures().contains(QStringLiteral("k factor 0")));
}

TEST(BoltStatus, OneMarkedReadingIsItsOwnZero)
{
    const Reading only = reading(4, {500, 500, 500, 500, 500, 500});
    const BoltStatus st = classifyBolt(bolt(), only, only);
    EXPECT_EQ(st.state, BoltState::Within);
    EXPECT_DOUBLE_EQ(*st.strain(), 0);
}

TEST(BoltStatus, WorseningIsARiseBetweenStatesFromReadings)
{
    EXPECT_TRUE(isWorsening(BoltState::Within, BoltState::Elastic));
    EXPECT_TRUE(isWorsening(BoltState::Elastic, BoltState::Ultimate));
    EXPECT_FALSE(isWorsening(BoltState::Plastic, BoltState::Elastic));
    EXPECT_FALSE(isWorsening(BoltState::Elastic, BoltState::Elastic));
    EXPECT_FALSE(isWorsening(BoltState::NoReadings, BoltState::Ultimate));
    EXPECT_FALSE(isWorsening(BoltState::Within, BoltState::Destroyed));
}

class BoltStatusStored : public test::SuppliedOnEngine {
protected:
    BoltStatusStored() : SuppliedOnEngine(false) {}
};

TEST_P(BoltStatusStored, ReadFromTheStoreAndWatchedAcrossAnAppend)
{
    const QString id = QStringLiteral("000000001");
    db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, boltkfactor, ElasticLimit, PerfectPlasticLimit, "
                            "UltimateStrength, Destroyed) VALUES (?, 100, '180', '210', '', 'No')"),
             {id});
    createReadingTable(*db, id);
    ReadingStore store(*db, id);
    const SensorStore sensors(*db);
    EXPECT_EQ(boltStatus(*db, *sensors.sensor(id)).state, BoltState::NoReadings);

    Reading unmarked = reading(20, {900, 900, 900, 900, 900, 900});
    unmarked.plotTemporal = false;
    store.insert({kZero, reading(5, {50, 0, 0, 0, 0, 0}), unmarked});
    const BoltStatus st = boltStatus(*db, *sensors.sensor(id));
    EXPECT_EQ(st.state, BoltState::Within); // the unmarked later reading takes no part
    EXPECT_EQ(st.latestMoment, reading(5, {}).moment);

    const StatusWatch watch(*db, {id, QStringLiteral("999999999")});
    store.insert({reading(21, {0, 0, -190, 0, 0, 0})});
    EXPECT_EQ(watch.worsened(), QStringList{QStringLiteral(
                                    "Sensor 000000001 is now Beyond elastic limit (was Within elastic limit).")});
    const StatusWatch again(*db, {id});
    store.insert({reading(22, {0, 0, -185, 0, 0, 0})});
    EXPECT_TRUE(again.worsened().isEmpty());
}

RV_ON_BOTH_ENGINES(BoltStatusStored);
