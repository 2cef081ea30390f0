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
constexpr qint64 kDay = 24 * 3600;

// Seconds since local midnight of the day.
qint64 secondsIntoDay(const QDateTime& t) { return t.time().msecsSinceStartOfDay() / 1000; }
} // namespace

TimeAxisPlan timeAxisPlan(const QDate& firstDay, const QDate& lastDay, const QDateTime& first,
                          const QDateTime& last, int plotPixels, int labelPixels)
{
    TimeAxisPlan p;
    const qint64 span = firstDay.daysTo(lastDay);
    const QDateTime startOfFirstDay = first.date().startOfDay();
    const qint64 total = first.secsTo(last) > 0 ? first.secsTo(last) : 0;
    if (span == 0 || span == 1) {
        p.format = QStringLiteral("hh:mm");
        p.title = firstDay.toString(QStringLiteral("yyyy/MM/dd"));
        p.stepSeconds = span == 0 ? 2 * 3600 : 6 * 3600;
        const qint64 into = secondsIntoDay(first);
        p.min = startOfFirstDay.addSecs(into - into % p.stepSeconds);
    } else {
        p.format = QStringLiteral("yyyy/MM/dd");
        p.min = startOfFirstDay;
        const qint64 fit = std::max<qint64>(2, plotPixels / std::max(1, labelPixels));
        static const qint64 days[] = {1, 2, 7, 14, 28, 56, 91, 182, 364, 728, 1456, 3640};
        const qint64 whole = p.min.secsTo(last);
        for (qint64 d : days) {
            p.stepSeconds = d * kDay;
            if (whole / p.stepSeconds + 2 <= fit)
                break;
        }
        // Centuries of readings (a mistyped year): the step grows on until the labels fit.
        while (whole / p.stepSeconds + 2 > fit)
            p.stepSeconds *= 2;
    }
    const qint64 covered = p.min.secsTo(first) + total;
    qint64 steps = (covered + p.stepSeconds - 1) / p.stepSeconds;
    if (steps < 1)
        steps = 1;
    p.max = p.min.addSecs(steps * p.stepSeconds);
    p.tickCount = int(steps + 1);
    return p;
}

} // namespace rv
