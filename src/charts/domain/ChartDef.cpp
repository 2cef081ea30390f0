#include "charts/domain/ChartDef.h"

#include "base/Formats.h"

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
    if (pixels <= 0 || points.size() <= 4 * pixels || !(xMax > xMin))
        return points;
    QVector<QPointF> out;
    out.reserve(4 * pixels + 4);
    const double perPixel = (xMax - xMin) / pixels;
    int i = 0;
    const int n = int(points.size());
    while (i < n) {
        const double column = std::floor((points[i].x() - xMin) / perPixel);
        int first = i, low = i, high = i;
        int j = i + 1;
        while (j < n && std::floor((points[j].x() - xMin) / perPixel) == column) {
            if (points[j].y() < points[low].y())
                low = j;
            if (points[j].y() > points[high].y())
                high = j;
            ++j;
        }
        const int last = j - 1;
        int picks[4] = {first, std::min(low, high), std::max(low, high), last};
        int previous = -1;
        for (int p : picks)
            if (p != previous) {
                out.append(points[p]);
                previous = p;
            }
        i = j;
    }
    return out;
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
