#pragma once
// Scaling of the charts' value axis and time axis.
#include <QDateTime>
#include <QString>

namespace rv {

// x rounded to the given decimals, halves going to the even digit: R(2.25, 1) = 2.2,
// R(2.75, 1) = 2.8. A half is judged on the decimal value (15 significant digits), not on
// its binary neighbour, so R(2.35, 1) = 2.4 as written.
double roundHalfEven(double x, int decimals);

struct ValueAxisScale {
    double min = 0;
    double max = 0;
    double step = 0;
};

// The value axis for the smallest and largest value over all shown series; values beyond
// ±1e300 count as ±1e300, and the range never collapses to nothing.
ValueAxisScale valueAxisScale(double vmin, double vmax);

// The step the axis is drawn with: the scale's own step while one label per step fits the
// axis's length in pixels, else the smallest of step × 2, 5, 10, 20, 50 … that fits. At least
// one label fits, and the step stays above a millionth of a millionth of the largest value, so
// that the ticks are few and countable for any values.
double fittedStep(const ValueAxisScale& scale, int axisPixels, int pixelsPerLabel);

struct TimeAxisPlan {
    QString format;         // "hh:mm" for spans of 0 and 1 day, else "yyyy/MM/dd"
    QString title;          // the first day "yyyy/MM/dd" for spans of 0 and 1 day, else empty
    qint64 stepSeconds = 0; // 2 hours (span 0), 6 hours (span 1), whole days otherwise
    QDateTime min;          // first tick: a whole step at or before the first point
    QDateTime max;          // last tick: at or after the last point
    int tickCount = 2;
};

// firstDay and lastDay are the ReadingDate of the first and last charted reading, first and
// last their moments. For spans of two days or more the step is one day, or the smallest of
// 2, 7, 14, 28 … days whose labels (each labelPixels wide) fit into plotPixels.
TimeAxisPlan timeAxisPlan(const QDate& firstDay, const QDate& lastDay, const QDateTime& first,
                          const QDateTime& last, int plotPixels, int labelPixels = 120);

} // namespace rv
