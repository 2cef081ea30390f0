#include "charts/domain/Axes.h"

#include "charts/domain/Zeroing.h"

#include <algorithm>
#include <cmath>

namespace rv {

double roundHalfEven(double x, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double s = decimalValue(decimalValue(x) * scale);
    const double f = std::floor(s);
    const double frac = s - f;
    double r;
    if (std::fabs(frac - 0.5) <= 1e-9 * std::max(1.0, std::fabs(s)))
        r = std::fmod(f, 2.0) == 0 ? f : f + 1;
    else
        r = std::round(s);
    return decimalValue(r / scale);
}

ValueAxisScale valueAxisScale(double vmin, double vmax)
{
    // Beyond this the rounding below overflows and no axis could step over the range.
    constexpr double kLimit = 1e300;
    vmin = std::isnan(vmin) ? 0 : std::clamp(vmin, -kLimit, kLimit);
    vmax = std::isnan(vmax) ? 0 : std::clamp(vmax, -kLimit, kLimit);
    ValueAxisScale a;
    a.min = vmin >= 0 ? 0.0 : roundHalfEven(vmin, 2);
    const double m = decimalValue(vmax);
    const auto in = [m](double lo, double hi) { return m >= lo && m <= hi; };
    if (in(0, 0.099)) {
        a.step = 0.01;
        a.max = 0.1;
    } else if (in(0.1, 0.99)) {
        a.step = 0.1;
        a.max = 1;
    } else if (in(1, 1.99)) {
        a.step = 0.1;
        a.max = roundHalfEven(vmax, 1) + 0.05;
    } else if (in(2, 2.99)) {
        a.step = 0.1;
        a.max = roundHalfEven(vmax, 1) + 0.1;
    } else if (in(3, 9.99)) {
        a.step = 0.5;
        a.max = roundHalfEven(vmax, 1) + 0.5;
    } else if (in(10, 15.99)) {
        a.step = 1;
        a.max = roundHalfEven(vmax, 0) + 1;
    } else if (in(16, 30)) {
        a.step = 2;
        a.max = roundHalfEven(vmax, 0) + 2;
    } else {
        a.step = 10;
        a.max = roundHalfEven(vmax, 0) + 5;
    }
    a.max = decimalValue(a.max);
    // Above 1e15 the added margin is lost to the double's precision: the range may not vanish.
    if (!(a.max > a.min))
        a.max = a.min + std::max(a.step, std::fabs(a.min) * 1e-9);
    return a;
}

double fittedStep(const ValueAxisScale& scale, int axisPixels, int pixelsPerLabel)
{
    const double range = scale.max - scale.min;
    if (!(scale.step > 0) || !(range > 0) || !std::isfinite(range))
        return scale.step;
    // The axis counts its ticks by adding the step: the step stays far above the values'
    // precision, and there is room for one label at the least however small the axis.
    const double labels = std::max(1, pixelsPerLabel > 0 ? axisPixels / pixelsPerLabel : 1);
    const double least = std::max(std::fabs(scale.min), std::fabs(scale.max)) * 1e-12;
    static const double factors[] = {1, 2, 5};
    for (double decade = 1;; decade *= 10) {
        for (double f : factors) {
            const double step = decimalValue(scale.step * f * decade);
            if (range / step <= labels && step >= least)
                return step;
        }
    }
}

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kDay = 24 * 3600 * kSecond;

struct TimeStep {
    qint64 ms = 0;   // a fixed step, or
    int months = 0;  // a step of whole months (12 and more: whole years)
    double approxMs() const { return months ? months * 30.436875 * kDay : double(ms); }
};

// Round steps, smallest first; each of those below a day divides a day.
const QVector<TimeStep>& steps()
{
    static const QVector<TimeStep> all = [] {
        QVector<TimeStep> v;
        for (qint64 s : {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200})
            v.append({s * kSecond, 0});
        for (qint64 d : {1, 2, 7, 14})
            v.append({d * kDay, 0});
        for (int m : {1, 2, 3, 6})
            v.append({0, m});
        for (int y : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000})
            v.append({0, 12 * y});
        return v;
    }();
    return all;
}

QString stepFormat(const TimeStep& step, bool dayChart)
{
    if (step.months || step.ms >= kDay)
        return QStringLiteral("yyyy/MM/dd");
    const bool seconds = step.ms < 60 * kSecond;
    if (dayChart)
        return seconds ? QStringLiteral("yyyy/MM/dd hh:mm:ss") : QStringLiteral("yyyy/MM/dd hh:mm");
    return seconds ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm");
}

QVector<double> tickXs(double min, double max, const TimeStep& step)
{
    QVector<double> xs;
    if (step.months) {
        // Steps of months start in January: 1, 4, 7, 10 by three months, every fifth year by five.
        const QDate first = wallClockAt(min).date();
        qint64 index = qint64(first.year()) * 12 + first.month() - 1;
        index += (step.months - index % step.months) % step.months;
        for (;; index += step.months) {
            const QDate d(int(index / 12), int(index % 12) + 1, 1);
            if (!d.isValid())
                break;
            const double x = timeX(d.startOfDay(Qt::UTC));
            if (x > max)
                break;
            if (x >= min)
                xs.append(x);
        }
        return xs;
    }
    // Weeks begin on a Monday (the epoch's day is a Thursday).
    const double anchor = step.ms % (7 * kDay) == 0 ? 4.0 * kDay : 0.0;
    const double size = double(step.ms);
    for (double k = std::ceil((min - anchor) / size); anchor + k * size <= max; ++k)
        xs.append(anchor + k * size);
    return xs;
}

} // namespace

double timeX(const QDateTime& wallClock)
{
    // A stored moment is read as UTC already: no new date-time for each of a million readings.
    if (wallClock.isValid() && wallClock.timeSpec() == Qt::UTC)
        return double(wallClock.toMSecsSinceEpoch());
    return double(QDateTime(wallClock.date(), wallClock.time(), Qt::UTC).toMSecsSinceEpoch());
}

QDateTime wallClockAt(double x) { return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(x)), Qt::UTC); }

TimeAxisPlan timeAxisPlan(const QDate& firstDay, const QDate& lastDay, double firstX, double lastX)
{
    TimeAxisPlan p;
    const qint64 span = firstDay.daysTo(lastDay);
    if (span == 0 || span == 1) {
        p.format = QStringLiteral("hh:mm");
        p.title = firstDay.toString(QStringLiteral("yyyy/MM/dd"));
    } else {
        p.format = QStringLiteral("yyyy/MM/dd");
    }
    // The axis follows the readings, with a little room for the markers at its ends; readings
    // of one moment get a minute around them.
    const double margin = lastX > firstX ? (lastX - firstX) / 50 : 30.0 * kSecond;
    p.min = firstX - margin;
    p.max = std::max(firstX, lastX) + margin;
    return p;
}

QVector<TimeTick> timeTicks(double min, double max, bool dayChart, int plotPixels,
                            const std::function<int(const QString& format)>& labelPixels, int sparePlaces)
{
    QVector<TimeTick> ticks;
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        return ticks;
    // A chart of days keeps its day labels while two days or more are shown.
    const bool wholeDays = dayChart && max - min >= 2.0 * kDay;
    const TimeStep* chosen = nullptr;
    double labels = 0;
    for (const TimeStep& step : steps()) {
        if (wholeDays && !step.months && step.ms < kDay)
            continue;
        chosen = &step;
        labels = std::floor((max - min) / step.approxMs()) + 1;
        // Counted exactly where that is cheap: a range of two days and a bit holds two midnights.
        if (labels <= 1000)
            labels = double(tickXs(min, max, step).size());
        if ((labels + std::max(0, sparePlaces)) * std::max(1, labelPixels(stepFormat(step, dayChart))) <= plotPixels)
            break;
    }
    // A range zoomed out beyond all reason: no labels rather than more than the plot has pixels.
    if (!chosen || labels > std::max(2, plotPixels))
        return ticks;
    const QString format = stepFormat(*chosen, dayChart);
    for (double x : tickXs(min, max, *chosen))
        ticks.append({x, wallClockAt(x).toString(format)});
    return ticks;
}

} // namespace rv
