#include "charts/domain/ChartDef.h"

#include "base/Formats.h"
#include "db/Errors.h"
#include "readings/domain/SeriesStore.h"

#include <QHash>
#include <algorithm>
#include <limits>

namespace rv {

namespace {
constexpr unsigned kBlack = 0x000000, kBlue = 0x0000FF, kRed = 0xFF0000, kGreen = 0x008000, kOrange = 0xFF8000;
}

ChartData chartData(ReadingColumns columns)
{
    ChartData d;
    d.columns = std::move(columns);
    d.readings = d.columns.size();
    d.x.reserve(d.columns.size());
    for (const QDateTime& m : d.columns.moments)
        d.x.append(timeX(m));
    return d;
}

const QVector<ChartDef>& chartDefs()
{
    static const QVector<ChartDef> defs = {
        {3, "ChartSLong", "Strain (ustrain)",
         {{"Temp (C)", Field::NumTemp, kBlack},
          {"# 1", Field::Zero1, kBlue},
          {"# 3", Field::Zero3, kRed},
          {"# 4", Field::Zero4, kGreen},
          {"# 6", Field::Zero6, kOrange}},
         "ChartSLong.jpg", "Load v Time", false},
        {4, "ChartLLong", "Load (tons)",
         {{"Temp (C)", Field::NumTemp, kBlack}, {"# 1 & 4", Field::Load1, kBlue}, {"# 3 & 6", Field::Load3, kRed}},
         "ChartLLong.jpg", "Disp v Time", true},
        {5, "ChartSShort", "Strain (ustrain)",
         {{"Temp (C)", Field::NumTemp, kBlack}, {"# 2", Field::Zero2, kBlue}, {"# 5", Field::Zero5, kRed}},
         "ChartSShort.jpg", "Load v Length", false},
        {6, "ChartLShort", "Load (tons)",
         {{"Temp (C)", Field::NumTemp, kBlack}, {"# 2", Field::Load2, kBlue}, {"# 5", Field::Load5, kRed}},
         "ChartLShort.jpg", "Disp v Length", true},
    };
    return defs;
}

const ChartDef* chartForTab(int tab)
{
    for (const ChartDef& s : chartDefs())
        if (s.tab == tab)
            return &s;
    return nullptr;
}

const QVector<double>& fieldColumn(const ReadingColumns& c, Field field)
{
    switch (field) {
    case Field::NumTemp: return c.numTemps;
    case Field::Zero1: return c.zeroed[0];
    case Field::Zero2: return c.zeroed[1];
    case Field::Zero3: return c.zeroed[2];
    case Field::Zero4: return c.zeroed[3];
    case Field::Zero5: return c.zeroed[4];
    case Field::Zero6: return c.zeroed[5];
    case Field::Load1: return c.loads[0];
    case Field::Load2: return c.loads[1];
    case Field::Load3: return c.loads[2];
    case Field::Load5: return c.loads[3];
    }
    return c.numTemps;
}

bool drawsLoads(const ChartDef& def, const ReadingColumns& columns)
{
    for (const SeriesSpec& s : def.series) {
        if (s.field < Field::Load1)
            continue;
        const QVector<double>& ys = fieldColumn(columns, s.field);
        if (std::any_of(ys.begin(), ys.end(), [](double y) { return std::isfinite(y); }))
            return true;
    }
    return false;
}

QVector<Field> chartFields(const ChartDef& def)
{
    QVector<Field> out;
    for (const SeriesSpec& s : def.series)
        out << s.field;
    return out;
}

QVector<int> sourceChannels(Field field)
{
    switch (field) {
    case Field::NumTemp: return {0};
    case Field::Zero1: return {1};
    case Field::Zero2: return {2};
    case Field::Zero3: return {3};
    case Field::Zero4: return {4};
    case Field::Zero5: return {5};
    case Field::Zero6: return {6};
    case Field::Load1: return {1, 4};
    case Field::Load2: return {2};
    case Field::Load3: return {3, 6};
    case Field::Load5: return {5};
    }
    return {};
}

QVector<QPointF> seriesPoints(const ChartData& data, Field field)
{
    const QVector<double>& ys = fieldColumn(data.columns, field);
    if (data.thinned) {
        QVector<QPointF> points;
        for (const int i : data.drawn[size_t(field)])
            points.append(QPointF(data.x[i], ys[i]));
        return points;
    }
    const int n = std::min(int(ys.size()), int(data.x.size()));
    QVector<QPointF> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i)
        if (std::isfinite(ys[i]))
            points.append(QPointF(data.x[i], ys[i]));
    return points;
}

QVector<QPointF> pointsToDraw(const QVector<QPointF>& points, double xMin, double xMax, int pixels)
{
    SeriesThinner thinner(xMin, xMax, pixels);
    for (int i = 0; i < points.size(); ++i)
        thinner.add(i, points[i].x(), points[i].y());
    const QVector<qint64> keep = thinner.finish();
    if (keep.size() == points.size())
        return points;
    QVector<QPointF> out;
    out.reserve(keep.size());
    for (const qint64 i : keep)
        out.append(points[int(i)]);
    return out;
}

SeriesThinner::SeriesThinner(double xMin, double xMax, int pixels)
    : m_xMin(xMin), m_perPixel(pixels > 0 ? (xMax - xMin) / pixels : 0), m_limit(pixels > 0 && xMax > xMin ? 4 * pixels : -1)
{
}

void SeriesThinner::add(qint64 id, double x, double y)
{
    ++m_count;
    if (m_limit < 0 || m_count <= m_limit) {
        m_all.append(id);
        if (m_limit < 0)
            return;
    } else if (!m_all.isEmpty()) {
        m_all = {};
    }
    const double column = std::floor((x - m_xMin) / m_perPixel);
    const Point p{id, m_count, y};
    if (m_open && column == m_column) {
        if (y < m_low.y)
            m_low = p;
        if (y > m_high.y)
            m_high = p;
        m_last = p;
        return;
    }
    closeColumn();
    m_open = true;
    m_column = column;
    m_first = m_low = m_high = m_last = p;
}

void SeriesThinner::closeColumn()
{
    if (!m_open)
        return;
    // The lowest and highest in the order they came; a point is drawn once.
    const bool lowFirst = m_low.order <= m_high.order;
    const Point picks[4] = {m_first, lowFirst ? m_low : m_high, lowFirst ? m_high : m_low, m_last};
    int previous = 0; // orders start at 1
    for (const Point& p : picks)
        if (p.order != previous) {
            m_picked.append(p.id);
            previous = p.order;
        }
    m_open = false;
}

QVector<qint64> SeriesThinner::finish()
{
    closeColumn();
    return m_limit < 0 || m_count <= m_limit ? m_all : m_picked;
}

ChartData readChartData(const ReadingStore& store, const ChartDef& def, int pixels)
{
    return readChartData(store, chartFields(def), pixels, store.markedSpan());
}

QVector<Field> allChartFields()
{
    QVector<Field> fields;
    for (int f = 0; f < kFieldCount; ++f)
        fields << Field(f);
    return fields;
}

namespace {

using Thinners = std::vector<SeriesThinner>;

// What a drawn point of any chart is shown with (ChartView::pointText): each field's value, the
// raw channels it derives from and their zeroed values. The channels no chart draws are not read.
const QStringList& drawnColumns()
{
    static const QStringList columns = [] {
        const QVector<Field> fields = allChartFields();
        const QStringList values = computedFieldColumns(fields);
        QStringList c;
        for (int f = 0; f < fields.size(); ++f) {
            c << values[f];
            for (const int channel : sourceChannels(fields[f]))
                c << (channel == 0 ? QStringList{readingField::channelT}
                                   : QStringList{readingField::channel(channel), readingField::zero(channel)});
        }
        c.removeDuplicates();
        return c;
    }();
    return columns;
}

// The readings the thinners picked, read whole, with the first and last (they set the time
// axis, drawn or not).
void readDrawn(ChartData& d, const ReadingStore& store, const QVector<Field>& fields, const MarkedSpan& span,
               Thinners& thinners)
{
    std::vector<QVector<qint64>> picked;
    QVector<qint64> rows{span.firstRowid, span.lastRowid};
    for (size_t f = 0; f < thinners.size(); ++f) {
        d.pointCount[size_t(fields[int(f)])] = thinners[f].count();
        picked.push_back(thinners[f].finish());
        rows += picked.back();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    d.columns = store.markedColumnsOf(rows, drawnColumns());
    d.x.reserve(d.columns.size());
    QHash<qint64, int> at;
    for (int i = 0; i < d.columns.size(); ++i) {
        d.x.append(timeX(d.columns.moments[i]));
        at.insert(d.columns.rowids[i], i);
    }
    for (size_t f = 0; f < picked.size(); ++f) {
        QVector<int>& drawn = d.drawn[size_t(fields[int(f)])];
        for (const qint64 rowid : picked[f])
            if (const auto it = at.constFind(rowid); it != at.constEnd())
                drawn.append(*it);
    }
}

// The series from the kept blocks: false when they cannot serve it (a field of so few values
// that all of them are drawn, a block that cannot be read, readings the blocks cannot hold).
bool readBlocks(ChartData& d, SeriesStore& series, const SeriesGeometry& kept, const ReadingStore& store,
                const QVector<Field>& fields, int pixels, Thinners& thinners)
{
    if (!series.refresh(store, kept))
        return false;
    std::vector<int> total(size_t(fields.size())), fed(size_t(fields.size()));
    const bool whole = series.forEachBlock([&](const SeriesBlock& b) {
        d.readings += b.readings;
        for (size_t f = 0; f < thinners.size(); ++f) {
            const SeriesBlockField& v = b.fields[size_t(fields[int(f)])];
            if (v.count == 0)
                continue;
            total[f] += v.count;
            // In the readings' order, each once.
            const bool lowFirst = v.low.order <= v.high.order;
            const SeriesPoint* points[4] = {&v.first, lowFirst ? &v.low : &v.high, lowFirst ? &v.high : &v.low, &v.last};
            int previous = -1;
            for (const SeriesPoint* p : points)
                if (p->order != previous) {
                    thinners[f].add(p->rowid, double(p->secs) * 1000.0, p->y);
                    ++fed[f];
                    previous = p->order;
                }
        }
    });
    if (!whole)
        return false;
    for (size_t f = 0; f < thinners.size(); ++f) {
        if (total[f] <= 4 * pixels && fed[f] != total[f])
            return false;
        thinners[f].countAs(total[f]);
    }
    return true;
}

} // namespace

ChartData readChartData(const ReadingStore& store, const QVector<Field>& fields, int pixels, const MarkedSpan& span)
{
    ChartData d;
    d.thinned = true;
    if (span.firstRowid == 0)
        return d;
    const TimeAxisPlan plan = timeAxisPlan(span.first.date(), span.last.date(), timeX(span.first), timeX(span.last));
    const auto thinners = [&] { return Thinners(size_t(fields.size()), SeriesThinner(plan.min, plan.max, pixels)); };
    SeriesStore series(store.database(), store.instrumentId());
    const SeriesSizing sizing = SeriesStore::sizing();
    const qint64 first = qint64(std::floor(timeX(span.first) / 1000)), last = qint64(std::floor(timeX(span.last) / 1000));
    std::optional<SeriesGeometry> kept, build;
    qint64 tableRows = 0;
    // Only a table that may hold enough marked readings (counted once while it stays) keeps blocks.
    if (series.keepable() && (tableRows = store.database().rowCount(store.instrumentId())) >= sizing.minReadings) {
        kept = series.geometry();
        if (kept && !series.sealHolds(tableRows)) {
            try {
                series.drop();
            } catch (const RvError&) {
                // A file locked: the rows then, the blocks left to the next look.
                series.forgetSeal();
            }
            kept.reset();
        }
        if (!kept || !kept->suits(first, last, sizing.blocks)) {
            kept.reset();
            build = SeriesGeometry::forSpan(first, last, sizing.blocks);
        }
    }
    if (kept && pixels > 0 && (plan.max - plan.min) / pixels >= kBlocksPerColumn * 1000.0 * double(kept->width)) {
        Thinners fromBlocks = thinners();
        bool read = false;
        try {
            read = readBlocks(d, series, *kept, store, fields, pixels, fromBlocks);
        } catch (const RvError&) {
            // Stale blocks not written (a file locked by another program): the rows then.
        }
        if (read) {
            try {
                series.seal(tableRows);
            } catch (const RvError&) {
            }
            readDrawn(d, store, fields, span, fromBlocks);
            d.fromBlocks = true;
            return d;
        }
        d = ChartData();
        d.thinned = true;
        build = series.geometry() ? std::nullopt : std::optional(SeriesGeometry::forSpan(first, last, sizing.blocks));
    }

    Thinners rows = thinners();
    const auto take = [&](qint64 rowid, const QDateTime& moment, const double* values, bool allFields) {
        ++d.readings;
        const double x = timeX(moment);
        for (size_t f = 0; f < rows.size(); ++f) {
            const double y = values[allFields ? int(fields[int(f)]) : int(f)];
            if (std::isfinite(y))
                rows[f].add(rowid, x, y);
        }
    };
    std::optional<SeriesStore::Rebuild> rebuild;
    if (build) {
        try {
            rebuild.emplace(series, *build);
        } catch (const RvError&) {
            // A file locked or full: the chart is read all the same.
        }
    }
    if (rebuild) {
        // The blocks are built as the rows stream, with every field the charts draw.
        bool kept = true;
        SeriesBuilder builder(*build, [&](const SeriesBlock& b) {
            try {
                if (kept)
                    rebuild->add(b);
            } catch (const RvError&) {
                kept = false;
            }
        });
        store.forEachMarkedWritten([&](qint64 rowid, const QDateTime& moment, bool written, const double* values) {
            take(rowid, moment, values, true);
            builder.add(rowid, moment, written, values);
        });
        builder.finish();
        try {
            if (kept && !builder.refused()) {
                rebuild->commit(builder.readings());
                series.seal(tableRows);
            }
        } catch (const RvError&) {
        }
        rebuild.reset();
    } else {
        store.forEachMarked(fields, [&](qint64 rowid, const QDateTime& moment, const double* values) {
            take(rowid, moment, values, false);
        });
    }
    if (d.readings == 0)
        return d;
    readDrawn(d, store, fields, span, rows);
    return d;
}

QVector<LimitLine> limitLines(const ChartDef& def, const SensorLimits& limits)
{
    QVector<LimitLine> lines;
    const auto add = [&](const char* title, const QString& text) {
        const double v = text.trimmed().isEmpty() ? 0.0 : leadingNumber(text);
        if (v != 0 && std::isfinite(v))
            lines.append({QString::fromLatin1(title), v});
    };
    if (def.loads) {
        add("Ultimate strength", limits.ultimate);
    } else {
        add("Elastic limit", limits.elastic);
        add("Plastic limit", limits.plastic);
    }
    return lines;
}

BuiltChart buildChart(const ChartDef& def, const ChartData& data, const QVector<LimitLine>& lines)
{
    BuiltChart b;
    double vmin = std::numeric_limits<double>::infinity();
    double vmax = -vmin;
    for (const SeriesSpec& s : def.series) {
        QVector<QPointF> pts = seriesPoints(data, s.field);
        for (const QPointF& p : pts) {
            vmin = std::min(vmin, p.y());
            vmax = std::max(vmax, p.y());
        }
        b.empty = b.empty && pts.isEmpty();
        b.pointCounts.append(data.thinned ? data.pointCount[size_t(s.field)] : int(pts.size()));
        b.series.append(std::move(pts));
    }
    if (b.empty)
        vmin = vmax = 0;
    for (const LimitLine& l : lines) {
        vmin = std::min(vmin, l.value);
        vmax = std::max(vmax, l.value);
    }
    b.scale = valueAxisScale(vmin, vmax);
    // A value beyond the axis's bounds is drawn at its end: a line to a point a billion
    // pixels away upsets the chart's whole layout.
    if (vmin < b.scale.min || vmax > b.scale.max)
        for (QVector<QPointF>& pts : b.series)
            for (QPointF& p : pts)
                p.setY(std::clamp(p.y(), b.scale.min, b.scale.max));
    if (data.size() > 0)
        b.time = timeAxisPlan(data.columns.moments.first().date(), data.columns.moments.last().date(), data.x.first(),
                              data.x.last());
    return b;
}

} // namespace rv
