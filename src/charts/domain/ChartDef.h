#pragma once
// The four time-history charts: what each shows and how its series are built from the
// marked readings.
#include "charts/domain/Axes.h"
#include "readings/domain/ReadingStore.h"

#include <QPointF>
#include <QVector>
#include <array>
#include <cmath>

namespace rv {

// The marked readings as a chart reads them: the store's columns and, per reading, the x
// value the time axis places it at (timeX of its moment).
struct ChartData {
    ReadingColumns columns;
    QVector<double> x;
    int size() const { return columns.size(); }
};

ChartData chartData(ReadingColumns columns);

using Field = ComputedField;

struct SeriesSpec {
    const char* title;
    Field field;
    unsigned rgb; // 0xRRGGBB
};

struct ChartDef {
    int tab;                 // index on the tab strip
    const char* name;        // the chart control
    const char* valueTitle;  // "Strain (ustrain)" or "Load (tons)"
    QVector<SeriesSpec> series;
    const char* picture;     // file in the data folder
    const char* heading;     // report option and heading
    bool loads;              // draws loads (the k factor matters)
};

const QVector<ChartDef>& chartDefs();
// nullptr when the tab holds no chart.
const ChartDef* chartForTab(int tab);

// A stored field's column, or an empty vector when the columns lack it.
const QVector<double>& fieldColumn(const ReadingColumns& columns, Field field);

// Whether the chart draws any load at all from the columns (a load line needs a value).
bool drawsLoads(const ChartDef& def, const ReadingColumns& columns);

// The stored fields a chart draws, for reading only those.
QVector<Field> chartFields(const ChartDef& def);

// The raw channels a field derives from: channel numbers 1..6, 0 for the temperature.
QVector<int> sourceChannels(Field field);

// Points of one series (x: milliseconds since the epoch); Null values (and an overflowed,
// infinite one, which no axis can show) are left out.
QVector<QPointF> seriesPoints(const ChartData& data, Field field);

// The points a line of the given width in pixels needs to look as the full series does: when
// there are more than four per pixel column, the first, lowest, highest and last point of each
// column (all of them real readings, in their order); otherwise the points unchanged.
QVector<QPointF> pointsToDraw(const QVector<QPointF>& points, double xMin, double xMax, int pixels);

// A dashed horizontal line at one of the sensor's limits.
struct LimitLine {
    QString title;
    double value;
};

// The sensor's limits as stored (text, possibly empty).
struct SensorLimits {
    QString elastic, plastic, ultimate;
};

// The limit lines a chart draws: "Elastic limit" and "Plastic limit" on the strain charts,
// "Ultimate strength" on the load charts; a limit that is empty or 0 draws none.
QVector<LimitLine> limitLines(const ChartDef& def, const SensorLimits& limits);

struct BuiltChart {
    QVector<QVector<QPointF>> series; // in the def's order
    ValueAxisScale scale;
    TimeAxisPlan time;
    bool empty = true;                // no point at all
};

// Series and axis rules of one chart over the given columns; the value axis spans the limit
// lines too.
BuiltChart buildChart(const ChartDef& def, const ChartData& data, const QVector<LimitLine>& lines = {});

} // namespace rv
