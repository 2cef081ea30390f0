#include "charts/domain/Axes.h"
#include "charts/domain/ChartDef.h"
#include "charts/domain/Loads.h"
#include "charts/domain/Zeroing.h"

#include <gtest/gtest.h>
#include <cmath>
#include <random>

using namespace rv;

namespace {
QString t(const char* s) { return QString::fromUtf8(s); }
} // namespace

TEST(Zeroing, ChannelsAreTakenRelativeToTheZeroReading)
{
    EXPECT_EQ(zeroedValue(t("130"), t("120.5")), 9.5);
    EXPECT_EQ(zeroedValue(t("120.5"), t("120.5")), 0);
    // The difference is handed over as its 15-digit decimal text.
    EXPECT_EQ(zeroedValue(t("0.3"), t("0.1")), 0.2);
    EXPECT_EQ(zeroedValue(t("-3.25"), t("0")), -3.25);
    // An empty channel stores 0 whatever the offset; an empty offset leaves the raw value.
    EXPECT_EQ(zeroedValue(QString(), t("120.5")), 0);
    EXPECT_EQ(zeroedValue(t("88.2"), QString()), 88.2);
    // Texts are read the lenient way.
    EXPECT_EQ(zeroedValue(t(" 12.5abc"), t("x")), 12.5);
    EXPECT_EQ(zeroedValue(t("  "), t("10")), -10);
}

TEST(Zeroing, TemperatureKeepsItsValueAndEmptyIsZero)
{
    EXPECT_EQ(numTemp(t("21.5")), 21.5);
    EXPECT_EQ(numTemp(t("-4.0")), -4);
    EXPECT_EQ(numTemp(QString()), 0);
    EXPECT_EQ(fieldText(QVariant()), QString());
    EXPECT_EQ(fieldText(QVariant(120.5)), t("120.5"));
    EXPECT_EQ(fieldText(QVariant(qint64(7))), t("7"));
    EXPECT_EQ(fieldText(QVariant(t("12.30"))), t("12.30"));
}

TEST(Loads, LongGaugesArePairedAndShortGaugesStandAlone)
{
    Strains z;
    z[1] = 1200;
    z[4] = 800;
    z[2] = 300;
    z[3] = 100;
    z[6] = -100;
    z[5] = 0;
    const Loads l = computeLoads(z, 25);
    EXPECT_DOUBLE_EQ(*l.load1, 40);
    EXPECT_DOUBLE_EQ(*l.load2, 12);
    EXPECT_EQ(*l.load3, 0);
    EXPECT_EQ(*l.load5, 0);

    z[4].reset(); // a Null strain gives a Null load, the others still count
    const Loads n = computeLoads(z, 25);
    EXPECT_FALSE(n.load1.has_value());
    EXPECT_DOUBLE_EQ(*n.load2, 12);
}

TEST(Loads, KFactorZeroIsADivisionByZeroThatChangesNothing)
{
    Strains z;
    z.fill(100.0);
    try {
        computeLoads(z, 0);
        FAIL() << "no error";
    } catch (const RvError& e) {
        EXPECT_EQ(e.number, 11);
        EXPECT_EQ(e.description, t("Division by zero"));
    }
    EXPECT_THROW(computeLoads(z, 1e-320), RvError);
}

TEST(Loads, KFactorTextByTheLeadingNumberRule)
{
    EXPECT_EQ(kFactorNumber(t("25")), 25);
    EXPECT_EQ(kFactorNumber(t("25 tons")), 25);
    EXPECT_EQ(kFactorNumber(t(" 2 5\t.5")), 25.5); // blanks anywhere are dropped
    EXPECT_EQ(kFactorNumber(t("-2.5e1")), -25);
    EXPECT_EQ(kFactorNumber(t("+.5")), 0.5);
    EXPECT_EQ(kFactorNumber(t("2.5E+2x")), 250);
    EXPECT_EQ(kFactorNumber(t("12e")), 12);
    EXPECT_EQ(kFactorNumber(t("12e-")), 12);
    EXPECT_EQ(kFactorNumber(t("2,5")), 2);
    EXPECT_EQ(kFactorNumber(t("&H19")), 25);
    EXPECT_EQ(kFactorNumber(t("&hff")), 255);
    EXPECT_EQ(kFactorNumber(t("&O31")), 25);
    EXPECT_EQ(kFactorNumber(t("&o318")), 25);
    EXPECT_EQ(kFactorNumber(t("&Hz")), 0);
    EXPECT_EQ(kFactorNumber(t("&25")), 0);
    EXPECT_EQ(kFactorNumber(t("k25")), 0);
    EXPECT_EQ(kFactorNumber(t("")), 0);
    EXPECT_EQ(kFactorNumber(t("-")), 0);
    EXPECT_EQ(kFactorNumber(t(".")), 0);
}

TEST(ValueAxis, HalvesGoToTheEvenDigit)
{
    EXPECT_EQ(roundHalfEven(2.25, 1), 2.2);
    EXPECT_EQ(roundHalfEven(2.75, 1), 2.8);
    EXPECT_EQ(roundHalfEven(2.35, 1), 2.4);
    EXPECT_EQ(roundHalfEven(2.45, 1), 2.4);
    EXPECT_EQ(roundHalfEven(12.5, 0), 12);
    EXPECT_EQ(roundHalfEven(13.5, 0), 14);
    EXPECT_EQ(roundHalfEven(-3.456, 2), -3.46);
    EXPECT_EQ(roundHalfEven(-0.005, 2), 0);
    EXPECT_EQ(roundHalfEven(-0.015, 2), -0.02);
}

namespace {
void expectScale(double vmax, double step, double max)
{
    const ValueAxisScale s = valueAxisScale(0, vmax);
    EXPECT_EQ(s.step, step) << "Vmax " << vmax;
    EXPECT_EQ(s.max, max) << "Vmax " << vmax;
}
} // namespace

TEST(ValueAxis, EveryRowOfTheIncrementTable)
{
    expectScale(0, 0.01, 0.1);
    expectScale(0.05, 0.01, 0.1);
    expectScale(0.099, 0.01, 0.1);
    expectScale(0.1, 0.1, 1);
    expectScale(0.99, 0.1, 1);
    expectScale(1, 0.1, 1.05);
    expectScale(1.99, 0.1, 2.05);
    expectScale(2, 0.1, 2.1);
    expectScale(2.25, 0.1, 2.3);
    expectScale(2.99, 0.1, 3.1);
    expectScale(3, 0.5, 3.5);
    expectScale(9.99, 0.5, 10.5);
    expectScale(10, 1, 11);
    expectScale(12.4, 1, 13);
    expectScale(12.5, 1, 13);
    expectScale(15.99, 1, 17);
    expectScale(16, 2, 18);
    expectScale(30, 2, 32);
    expectScale(45, 10, 50);
    expectScale(30.2, 10, 35);
    expectScale(1234.5, 10, 1239);
}

TEST(ValueAxis, GapsBetweenRowsAndNegativeMaximaFallToTheLastRow)
{
    expectScale(0.0995, 10, 5);
    expectScale(0.995, 10, 6);
    expectScale(1.995, 10, 7);
    expectScale(2.995, 10, 8);
    expectScale(9.995, 10, 15);
    expectScale(15.995, 10, 21);
    expectScale(30.0001, 10, 35);
    expectScale(-2.5, 10, 3);
    // Taken to 15 significant digits, a binary neighbour of 0.099 is still in the first row.
    expectScale(0.099000000000000004, 0.01, 0.1);
}

TEST(ValueAxis, MinimumIsZeroUnlessSomethingIsNegative)
{
    EXPECT_EQ(valueAxisScale(0, 5).min, 0);
    EXPECT_EQ(valueAxisScale(0.3, 5).min, 0);
    EXPECT_EQ(valueAxisScale(-3.456, 5).min, -3.46);
    EXPECT_EQ(valueAxisScale(-120, 5).min, -120);
}

TEST(ValueAxis, StepWidensOnlyWhenLabelsWouldCrowd)
{
    const ValueAxisScale small = valueAxisScale(0, 12.4);
    EXPECT_EQ(fittedStep(small, 500, 25), 1);
    const ValueAxisScale big = valueAxisScale(-120, 2400); // 10 by the table: 252 labels
    EXPECT_EQ(fittedStep(big, 500, 25), 200);
    EXPECT_EQ(fittedStep(big, 100000, 25), 10);
}

namespace {
// The ticks Qt Charts lays out on a value axis with a dynamic step anchored at 0: from the
// first multiple of the step at or above the minimum, adding the step while at or below the
// maximum. Counting stops at a million (a hang in the chart).
long axisTicks(double min, double max, double step)
{
    double value = -std::floor((0 - min) / step) * step;
    long n = 0;
    while (value <= max && n < 1000000) {
        ++n;
        value += step;
    }
    return n;
}
} // namespace

TEST(ValueAxis, TicksStayFewForAnyValues)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[][2] = {{0, 1.25121172614127e19}, {0, 2.98e16}, {-1e308, 1e308}, {-1e301, 1e301}, {1e18, 1e18},
                               {-1e17, -1e17}, {-1.7e308, -1.7e308}, {0, inf}, {-inf, 0}, {qQNaN(), qQNaN()},
                               {0, 1e-300}, {-5e-324, 0}, {-0.001, -0.001}, {1e15, 1e15 + 2}};
    for (const auto& c : cases) {
        const ValueAxisScale s = valueAxisScale(c[0], c[1]);
        ASSERT_TRUE(std::isfinite(s.min) && std::isfinite(s.max)) << c[0] << " " << c[1];
        ASSERT_GT(s.max, s.min) << c[0] << " " << c[1];
        for (int pixels : {-100, 0, 10, 610, 100000}) {
            const double step = fittedStep(s, pixels, 25);
            ASSERT_TRUE(std::isfinite(step) && step > 0) << c[0] << " " << c[1] << " " << pixels;
            EXPECT_LE(axisTicks(s.min, s.max, step), std::max(1, pixels / 25) + 1)
                << c[0] << " " << c[1] << " " << pixels << " step " << step;
        }
    }
}

namespace {
QDateTime at(const char* s)
{
    QDateTime d = QDateTime::fromString(t(s), t("yyyy/MM/dd HH:mm:ss"));
    d.setTimeSpec(Qt::UTC);
    return d;
}
double x(const char* s) { return timeX(at(s)); }
QString when(double x) { return wallClockAt(x).toString(t("yyyy/MM/dd HH:mm:ss")); }
int pixelsOf(const QString& format) { return 10 * int(format.size()); }
QStringList labels(const QVector<TimeTick>& ticks)
{
    QStringList out;
    for (const TimeTick& k : ticks)
        out << k.label;
    return out;
}
} // namespace

TEST(TimeAxis, TheRangeFollowsTheReadingsWithAFiftiethOfTheirSpanEachSide)
{
    // Two years ending 2024/06/01: no fifth of the plot left empty.
    TimeAxisPlan p = timeAxisPlan(QDate(2022, 6, 1), QDate(2024, 6, 1), x("2022/06/01 00:00:00"), x("2024/06/01 00:00:00"));
    EXPECT_EQ(p.format, t("yyyy/MM/dd"));
    EXPECT_EQ(p.title, QString());
    EXPECT_EQ(when(p.min), t("2022/05/17 09:07:12"));
    EXPECT_EQ(when(p.max), t("2024/06/15 14:52:48"));

    // Fifty seconds of one morning fill the plot; the day is the title.
    p = timeAxisPlan(QDate(2024, 3, 5), QDate(2024, 3, 5), x("2024/03/05 10:00:00"), x("2024/03/05 10:00:50"));
    EXPECT_EQ(p.format, t("hh:mm"));
    EXPECT_EQ(p.title, t("2024/03/05"));
    EXPECT_EQ(when(p.min), t("2024/03/05 09:59:59"));
    EXPECT_EQ(when(p.max), t("2024/03/05 10:00:51"));

    // Consecutive days: hours and minutes, the first day as the title.
    p = timeAxisPlan(QDate(2024, 3, 5), QDate(2024, 3, 6), x("2024/03/05 23:30:00"), x("2024/03/06 00:30:00"));
    EXPECT_EQ(p.format, t("hh:mm"));
    EXPECT_EQ(p.title, t("2024/03/05"));
}

TEST(TimeAxis, EachLabelStandsAtTheRoundTimeItNamesOnceWithinTheRange)
{
    // Hours: every two hours where six labels of "hh:mm" fit.
    QVector<TimeTick> ticks = timeTicks(x("2024/03/05 09:15:00"), x("2024/03/05 18:07:00"), false, 300, pixelsOf);
    EXPECT_EQ(labels(ticks), QStringList({"10:00", "12:00", "14:00", "16:00", "18:00"}));
    for (const TimeTick& k : ticks)
        EXPECT_EQ(wallClockAt(k.x).toString(t("hh:mm")), k.label);
    // Five labels fill 250 pixels; with a spare place of the axis they do not, and every third
    // hour is named instead.
    EXPECT_EQ(timeTicks(x("2024/03/05 09:15:00"), x("2024/03/05 18:07:00"), false, 250, pixelsOf).size(), 5);
    ticks = timeTicks(x("2024/03/05 09:15:00"), x("2024/03/05 18:07:00"), false, 250, pixelsOf, 1);
    EXPECT_EQ(labels(ticks), QStringList({"12:00", "15:00", "18:00"}));

    // Below a minute the seconds are named.
    ticks = timeTicks(x("2024/03/05 09:59:59"), x("2024/03/05 10:00:51"), false, 1000, pixelsOf);
    EXPECT_EQ(labels(ticks).first(), t("10:00:00"));
    EXPECT_EQ(labels(ticks).last(), t("10:00:50"));

    // Days inside a zoomed range: whole days only, none repeated, none outside.
    ticks = timeTicks(x("2026/12/02 10:00:00"), x("2026/12/05 17:00:00"), true, 1000, pixelsOf);
    EXPECT_EQ(labels(ticks), QStringList({"2026/12/03", "2026/12/04", "2026/12/05"}));
    // Under two days the day and the hour are named.
    ticks = timeTicks(x("2026/12/04 09:00:00"), x("2026/12/04 21:00:00"), true, 1000, pixelsOf);
    EXPECT_EQ(labels(ticks).first(), t("2026/12/04 10:00"));
    EXPECT_EQ(wallClockAt(ticks.first().x), at("2026/12/04 10:00:00"));

    // Two years: whole months from January, as many as fit.
    ticks = timeTicks(x("2022/05/16 09:36:00"), x("2024/06/15 14:24:00"), true, 500, pixelsOf);
    EXPECT_EQ(labels(ticks), QStringList({"2022/07/01", "2023/01/01", "2023/07/01", "2024/01/01"}));
    // Weeks begin on Mondays.
    ticks = timeTicks(x("2024/03/01 00:00:00"), x("2024/04/01 00:00:00"), true, 600, pixelsOf);
    EXPECT_EQ(labels(ticks).first(), t("2024/03/04"));
    EXPECT_EQ(ticks[1].x - ticks[0].x, 7 * 86400000.0);
}

TEST(TimeAxis, CenturiesAndNarrowPlotsGetFewLabels)
{
    // A mistyped year: eight thousand years still get no more labels than fit.
    for (int pixels : {1000, 10}) {
        const QVector<TimeTick> ticks = timeTicks(x("1024/03/05 10:00:00"), x("9024/03/05 10:00:00"), true, pixels, pixelsOf);
        EXPECT_LE(ticks.size() * 100, std::max(200, pixels)) << pixels;
        for (const TimeTick& k : ticks)
            EXPECT_TRUE(k.label.endsWith(t("/01/01"))) << qPrintable(k.label);
    }
    EXPECT_TRUE(timeTicks(5, 5, true, 1000, pixelsOf).isEmpty());
}

#include "charts/domain/Preparation.h"

namespace {
// Marked readings with channels 1..6 and the temperature; NaN is an empty field.
ReadingColumns columnsOf(const QVector<std::array<double, 7>>& rows)
{
    ReadingColumns c;
    for (int r = 0; r < rows.size(); ++r) {
        c.rowids << r + 1;
        c.moments << QDateTime(QDate(2024, 3, 5), QTime(8, r), Qt::UTC);
        c.temperatures << rows[r][0];
        for (int i = 0; i < 10; ++i) {
            c.channels[i] << (i < 6 ? rows[r][i + 1] : qQNaN());
            c.zeroed[i] << qQNaN();
        }
        c.numTemps << qQNaN();
        for (auto& l : c.loads)
            l << qQNaN();
    }
    return c;
}
const double E = qQNaN();
} // namespace

TEST(Preparation, ZerosComeFromTheFirstMarkedReadingAndLoadsFromTheZeros)
{
    ReadingColumns c = columnsOf({{21.5, 120.5, 10, E, 800, 5, 7}, {22, 130, E, 40, 1600, 305, 8}});
    const PassOutcome out = preparePass(c, 25);
    ASSERT_EQ(out.changed.size(), 2);
    EXPECT_EQ(out.loadFailures, 0);
    // The zero reading: 0 for every channel, also the empty ones; temperature unchanged.
    EXPECT_EQ(c.zeroed[0][0], 0);
    EXPECT_EQ(c.zeroed[2][0], 0);
    EXPECT_EQ(c.numTemps[0], 21.5);
    // Later: an empty channel is 0 although the zero reading had a value; an empty offset
    // leaves the raw value.
    EXPECT_EQ(c.zeroed[0][1], 9.5);
    EXPECT_EQ(c.zeroed[1][1], 0);
    EXPECT_EQ(c.zeroed[2][1], 40);
    EXPECT_EQ(c.numTemps[1], 22);
    // Load1 = (zero1 + zero4) / 2 / k; Load2 = zero2 / k ...
    EXPECT_DOUBLE_EQ(c.loads[0][1], (9.5 + 800) / 2 / 25);
    EXPECT_EQ(c.loads[1][1], 0);
    EXPECT_DOUBLE_EQ(c.loads[2][1], (40 + 1) / 2.0 / 25);
    EXPECT_DOUBLE_EQ(c.loads[3][1], 300.0 / 25);
    EXPECT_EQ(*out.changed[1].zeroed[0], 9.5);
    EXPECT_TRUE(out.changed[1].writeLoads);
}

TEST(Preparation, KFactorZeroKeepsTheStoredLoadsAndCountsEveryReading)
{
    ReadingColumns c = columnsOf({{20, 100, 0, 0, 100, 0, 0}, {20, 200, 0, 0, 300, 0, 0}, {20, 300, 0, 0, 300, 0, 0}});
    preparePass(c, 25);
    const double before = c.loads[0][1];
    c.channels[0][1] = 250; // the strain moves; the loads may not pretend to follow
    const PassOutcome out = preparePass(c, 0);
    EXPECT_EQ(out.loadFailures, 3);
    ASSERT_TRUE(out.loadError.has_value());
    EXPECT_EQ(out.loadError->number, 11);
    EXPECT_EQ(c.loads[0][1], before);
    EXPECT_EQ(c.zeroed[0][1], 150);
    ASSERT_EQ(out.changed.size(), 1); // only the reading whose strain changed is rewritten
    EXPECT_FALSE(out.changed[0].writeLoads);
    EXPECT_EQ(out.changed[0].rowid, 2);
}

TEST(Preparation, ASecondPassOverUnchangedReadingsWritesNothing)
{
    ReadingColumns c = columnsOf({{20, 100, 1, 2, 3, 4, 5}, {21, 101, 2, 3, 4, 5, 6}});
    EXPECT_EQ(preparePass(c, 25).changed.size(), 2);
    EXPECT_TRUE(preparePass(c, 25).changed.isEmpty());
    // A new k factor rewrites every reading whose loads change (the zero reading's stay 0).
    EXPECT_EQ(preparePass(c, 20).changed.size(), 1);
}

TEST(ChartPoints, ASeriesWiderThanThePlotKeepsWhatShapesItsLine)
{
    QVector<QPointF> pts;
    for (int i = 0; i < 10000; ++i)
        pts << QPointF(i, (i % 97) * (i == 5003 ? 100 : 1) - (i == 7777 ? 500 : 0));
    const QVector<QPointF> drawn = pointsToDraw(pts, 0, 10000, 100);
    EXPECT_LE(drawn.size(), 400);
    EXPECT_EQ(drawn.first(), pts.first());
    EXPECT_EQ(drawn.last(), pts.last());
    EXPECT_TRUE(drawn.contains(pts[5003])); // the peak
    EXPECT_TRUE(drawn.contains(pts[7777])); // the dip
    for (int i = 1; i < drawn.size(); ++i)
        EXPECT_LT(drawn[i - 1].x(), drawn[i].x());
    // Few points: all of them.
    EXPECT_EQ(pointsToDraw(pts.mid(0, 300), 0, 300, 100).size(), 300);
}

TEST(Zeroing, TheExponentFoundWithoutALogarithmRoundsAsTheLogarithmDid)
{
    // The rounding to 15 significant digits as first written, with the exponent from log10.
    const auto reference = [](double v) {
        const int e = int(std::floor(std::log10(std::fabs(v))));
        const double p = std::pow(10.0, std::abs(14 - e));
        return 14 - e >= 0 ? std::round(v * p) / p : std::round(v / p) * p;
    };
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> mantissa(1, 10);
    for (int i = 0; i < 200000; ++i) {
        const int exponent = int(random() % 36) - 8;
        double v = mantissa(random) * std::pow(10.0, exponent) * (random() % 2 ? 1 : -1);
        if (i % 5 == 0)
            v = std::nextafter(std::pow(10.0, exponent), i % 10 == 0 ? 0.0 : 1e300); // beside a power
        if (i % 7 == 0)
            v = (100.25 + double(random() % 1000 + 1) / 100) - 100.25; // a channel less its offset
        ASSERT_EQ(decimalValue(v), reference(v)) << QString::number(v, 'g', 17).toStdString();
    }
}
