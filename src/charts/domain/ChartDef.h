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
using Field = ComputedField;
constexpr int kFieldCount = int(Field::Load5) + 1;

struct ChartData {
    ReadingColumns columns;
    QVector<double> x;
    // The marked readings in all: the columns may hold only those drawn.
    int readings = 0;
    // Read thinned for a plot of a given width: per field (by its number) the positions in the
    // columns of the points to draw, and how many points the field has in all.
    bool thinned = false;
    bool fromBlocks = false; // read from the kept blocks, not the rows
    std::array<QVector<int>, kFieldCount> drawn;
    std::array<int, kFieldCount> pointCount{};
    int size() const { return columns.size(); }
};

// Every reading of the columns.
ChartData chartData(ReadingColumns columns);

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

// pointsToDraw over a series that streams in, holding at most four points per pixel column:
// points come in drawing order, each with an id (its position, a rowid), and the ids of those
// to draw come out, in that order.
class SeriesThinner {
public:
    SeriesThinner(double xMin, double xMax, int pixels);
    void add(qint64 id, double x, double y);
    // The points added.
    int count() const { return m_count; }
    // The points added stand for that many (a kept block's first, lowest, highest and last for
    // all of its values): thinned as that many would be. Call before finish().
    void countAs(int points) { m_count = points; }
    QVector<qint64> finish();

private:
    struct Point {
        qint64 id;
        int order;
        double y;
    };
    void closeColumn();

    double m_xMin, m_perPixel;
    int m_limit; // more points than this are thinned; below 0: never
    int m_count = 0;
    QVector<qint64> m_all;    // every point while there are few
    QVector<qint64> m_picked; // the thinned ones
    bool m_open = false;
    double m_column = 0;
    Point m_first{}, m_low{}, m_high{}, m_last{};
};

// The marked readings (from span, the store's markedSpan) as a plot that many pixels wide
// draws the fields, thinned as they are read so that no more than the drawn ones are ever held
// (with every column a point of any chart shows, for the clicked-point line). Throws what the
// store throws.
// A large series is read from its kept blocks (SeriesStore) when there are at least
// kBlocksPerColumn of them to a pixel column: each block gives its first, lowest, highest and
// last value of a field to the thinning, in place of all of them. Where a block straddles the
// edge of a pixel column its points still fall in the columns of their own moments, but a
// column may then miss a value of that block that is neither of these four (its lowest or
// highest within the column, or its first or last): the one-block edge effect. The first read
// of such a series (and after any change the blocks cannot follow) builds the blocks as the
// rows stream.
constexpr int kBlocksPerColumn = 4;
ChartData readChartData(const ReadingStore& store, const QVector<Field>& fields, int pixels, const MarkedSpan& span);
// The same for the fields of one chart.
ChartData readChartData(const ReadingStore& store, const ChartDef& def, int pixels);
// Every field any chart draws.
QVector<Field> allChartFields();

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
    QVector<int> pointCounts;         // the points of each series before any thinning
    ValueAxisScale scale;
    TimeAxisPlan time;
    bool empty = true;                // no point at all
};

// Series and axis rules of one chart over the given columns; the value axis spans the limit
// lines too.
BuiltChart buildChart(const ChartDef& def, const ChartData& data, const QVector<LimitLine>& lines = {});

} // namespace rv
