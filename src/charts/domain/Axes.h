#pragma once
// Scaling of the charts' value axis and time axis.
#include <QDateTime>
#include <QString>
#include <QVector>

#include <functional>

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

// A moment on the time axis: its wall-clock date and time as milliseconds since the epoch, read
// as UTC, so that every day is 24 hours long and a label names the time as stored.
double timeX(const QDateTime& wallClock);
QDateTime wallClockAt(double x);

struct TimeAxisPlan {
    QString format;  // "hh:mm" for spans of 0 and 1 day, else "yyyy/MM/dd"
    QString title;   // the first day "yyyy/MM/dd" for spans of 0 and 1 day, else empty
    double min = 0;  // the first reading, less a fiftieth of the readings' span
    double max = 0;  // the last reading, plus a fiftieth of the span
};

// firstDay and lastDay are the ReadingDate of the first and last charted reading, firstX and
// lastX their moments on the axis.
TimeAxisPlan timeAxisPlan(const QDate& firstDay, const QDate& lastDay, double firstX, double lastX);

struct TimeTick {
    double x;
    QString label; // the moment the tick stands at, in the step's format
};

// The ticks of the range [min, max] at round times: every step-th second, minute, hour, day,
// week (from Monday), month or year inside it, the smallest step whose labels fit into
// plotPixels; labelPixels gives the room a label of a format needs. A chart of days
// (dayChart) labels whole days "yyyy/MM/dd" while at least two days are shown, and steps below
// a day with the day and the time; a chart of hours labels "hh:mm" (or "hh:mm:ss" below a
// minute) while its steps are below a day. An axis that shares its length among more places
// than it has labels names the spare places: the labels then fit into their share.
QVector<TimeTick> timeTicks(double min, double max, bool dayChart, int plotPixels,
                            const std::function<int(const QString& format)>& labelPixels, int sparePlaces = 0);

} // namespace rv
