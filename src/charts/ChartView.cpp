#include "charts/ChartView.h"

#include <algorithm>
#include <cmath>

#include "charts/domain/Zeroing.h"
#include "base/Formats.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCategoryAxis>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QSet>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>

namespace rv {

namespace {

QFont chartFont(int pixels, bool bold)
{
    QFont f(QStringLiteral("Trebuchet MS"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QImage diamond(int size, const QColor& colour)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double h = size / 2.0;
    p.drawPolygon(QPolygonF{{h, 0}, {double(size), h}, {h, double(size)}, {0, h}});
    return img;
}

QPen limitPen(const QColor& colour)
{
    QPen pen(colour, 2, Qt::DashLine);
    pen.setDashPattern({4, 3});
    return pen;
}

QPixmap swatch(const QColor& colour, bool dashed = false)
{
    QPixmap pm(18, 10);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(dashed ? limitPen(colour) : QPen(colour, 2));
    p.drawLine(0, 5, 18, 5);
    if (dashed)
        return pm;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{{9, 1}, {13, 5}, {9, 9}, {5, 5}});
    return pm;
}

// Decimals a step's labels need: 0.01 two, 0.5 one, 10 none.
int decimalsOf(double step)
{
    QString s = QString::number(decimalValue(step), 'f', 6);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    const int point = s.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(s.size() - point - 1);
}

QString shortValue(double v)
{
    return std::isnan(v) ? QStringLiteral("(empty)") : plainNumber(roundHalfEven(v, 3));
}

QString rawValue(double v, int decimals)
{
    return std::isnan(v) ? QStringLiteral("(empty)") : QString::number(v, 'f', decimals);
}

// The axis elides a label to "..." when its share of the axis is less than the label's
// height and padding: each label gets its line and a little more.
constexpr int kValueLabelRoom = 12;
constexpr int kMarkerSize = 7;
constexpr int kTempMarkerSize = 3;
constexpr int kHitPixels = 6;

double segmentDistance(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    double t = len2 > 0 ? QPointF::dotProduct(p - a, ab) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF q = a + t * ab;
    return std::hypot(p.x() - q.x(), p.y() - q.y());
}

} // namespace

ChartView::ChartView(const ChartDef& def, QChartView* view, QLabel* pointLine)
    : m_def(def), m_view(view), m_pointLine(pointLine)
{
    setUp();
}

ChartView::~ChartView() = default;

void ChartView::setUp()
{
    QChart* chart = m_view->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setDropShadowEnabled(false);
    chart->setTitleFont(chartFont(20, true));
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();

    const QPen grid(QColor(192, 192, 192), 1, Qt::SolidLine);
    m_valueAxis = new QValueAxis(chart);
    m_valueAxis->setLabelsFont(chartFont(17, true));
    m_valueAxis->setTitleFont(chartFont(17, true));
    m_valueAxis->setGridLinePen(grid);
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_valueAxis->setTickAnchor(0);
    chart->addAxis(m_valueAxis, Qt::AlignLeft);
    // Zooming changes the range under the same step: each zoom out doubles the ticks, until
    // the layout hangs over millions of them.
    connect(m_valueAxis, &QValueAxis::rangeChanged, this, [this] { fitValueStep(); });
    // The first drawing happens before the chart was ever laid out: the steps are fitted again
    // once the plot has its real size, and at every change of it.
    connect(chart, &QChart::plotAreaChanged, this, [this] {
        fitValueStep();
        placeTimeTicks();
    });

    // Labels placed on values: each tick stands at the round time it names, whatever the range.
    m_timeAxis = new QCategoryAxis(chart);
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_timeAxis->setLabelsFont(chartFont(17, true));
    m_timeAxis->setTitleFont(chartFont(17, true));
    m_timeAxis->setGridLinePen(grid);
    m_timeAxis->setLabelsAngle(345);
    // The category axis draws its own labels; its label format names what they show.
    m_timeAxis->setLabelFormat(QStringLiteral("yyyy/MM/dd"));
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    connect(m_timeAxis, &QValueAxis::rangeChanged, this, [this] { placeTimeTicks(); });

    m_legend = new QFrame(m_view);
    m_legend->setObjectName(QString::fromLatin1(m_def.name) + QStringLiteral("Legend"));
    m_legend->setFrameShape(QFrame::Box);
    m_legend->setStyleSheet(QStringLiteral("QFrame#%1 { background: white; border: 1px solid #c0c0c0; }")
                                .arg(m_legend->objectName()));
    auto* lv = new QVBoxLayout(m_legend);
    lv->setContentsMargins(8, 6, 8, 6);
    lv->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Node Locations:"), m_legend);
    title->setFont(chartFont(12, true));
    lv->addWidget(title);

    for (int i = 0; i < m_def.series.size(); ++i) {
        const SeriesSpec& s = m_def.series[i];
        const QColor colour = QColor::fromRgb(s.rgb);
        auto* series = new QLineSeries(chart);
        series->setName(QString::fromUtf8(s.title));
        series->setPen(QPen(colour, 2));
        series->setPointLabelsVisible(false);
        series->setMarkerSize(i == 0 ? kTempMarkerSize : kMarkerSize);
        chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(m_valueAxis);
        series->hide();
        connect(series, &QXYSeries::hovered, this, [this](const QPointF&, bool state) {
            if (state)
                m_view->viewport()->setCursor(Qt::PointingHandCursor);
            else
                m_view->viewport()->unsetCursor();
        });
        m_series.append(series);

        auto* check = new QCheckBox(series->name().replace(QLatin1Char('&'), QStringLiteral("&&")), m_legend);
        check->setObjectName(QStringLiteral("%1_%2").arg(m_legend->objectName()).arg(i));
        check->setFont(chartFont(12, true));
        check->setIcon(swatch(colour));
        check->setChecked(true);
        connect(check, &QCheckBox::toggled, series, &QLineSeries::setVisible);
        lv->addWidget(check);
        m_checks.append(check);
    }
    // Every line the chart can draw, in its order; those without a limit stay hidden.
    const QVector<LimitLine> all = limitLines(m_def, {QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")});
    for (int i = 0; i < all.size(); ++i) {
        const QColor colour = QColor::fromRgb(i == 0 && !m_def.loads ? 0xA07000 : 0xC00000);
        auto* series = new QLineSeries(chart);
        series->setName(all[i].title);
        series->setPen(limitPen(colour));
        chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(m_valueAxis);
        series->hide();
        m_limitSeries.append(series);
        auto* check = new QCheckBox(all[i].title, m_legend);
        check->setObjectName(QStringLiteral("%1_limit%2").arg(m_legend->objectName()).arg(i));
        check->setFont(chartFont(12, true));
        check->setIcon(swatch(colour, true));
        check->hide();
        connect(check, &QCheckBox::toggled, series, &QLineSeries::setVisible);
        lv->addWidget(check);
        m_limitChecks.append(check);
    }
    placeLegend();

    m_view->setRubberBand(QChartView::NoRubberBand);
    m_view->setDragMode(QGraphicsView::NoDrag);
    m_band = new QRubberBand(QRubberBand::Rectangle, m_view->viewport());
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);
}

void ChartView::placeLegend()
{
    m_legend->adjustSize();
    const int w = m_legend->sizeHint().width();
    m_view->chart()->setMargins(QMargins(8, 8, w + 16, 8));
    m_legend->move(m_view->width() - w - 10, 44);
    m_legend->raise();
}

int ChartView::plotPixels() const
{
    const int plot = int(m_view->chart()->plotArea().width());
    if (plot > 50 && m_view->chart()->plotArea().right() < m_view->width())
        return plot;
    return std::max(200, m_view->width() - m_legend->sizeHint().width() - 120);
}

int ChartView::valuePixels() const
{
    const QChart* chart = m_view->chart();
    return int(chart->plotArea().height() > 50 ? chart->plotArea().height() : m_view->height() - 160);
}

void ChartView::fitValueStep()
{
    if (!(m_tableStep > 0))
        return;
    const ValueAxisScale range{m_valueAxis->min(), m_valueAxis->max(), m_tableStep};
    const int perLabel = QFontMetrics(m_valueAxis->labelsFont()).height() + kValueLabelRoom;
    // One label more than steps: the first sits at the axis's end.
    const double step = fittedStep(range, valuePixels() - perLabel, perLabel);
    // Digits beyond a double's fifteen are noise, and hundreds of them would crowd out the plot.
    const bool huge = std::max(std::abs(range.min), std::abs(range.max)) >= 1e15;
    const QString format = huge ? QStringLiteral("%.6g") : QStringLiteral("%.%1f").arg(decimalsOf(step));
    if (step != m_valueAxis->tickInterval())
        m_valueAxis->setTickInterval(step);
    if (format != m_valueAxis->labelFormat())
        m_valueAxis->setLabelFormat(format);
}

void ChartView::placeTimeTicks()
{
    // Changing the labels lays the axis out again, which may report a new plot area.
    if (m_placingTicks)
        return;
    m_placingTicks = true;
    const QFontMetrics fm(m_timeAxis->labelsFont());
    // A label at 345 degrees takes its turned width and a gap.
    const auto labelPixels = [&](const QString& format) {
        const QString sample = QDateTime(QDate(2088, 8, 28), QTime(8, 8, 8)).toString(format);
        return int(fm.horizontalAdvance(sample) * 0.966 + fm.height() * 0.259) + 14;
    };
    // The axis shares its width among its labels and the start of the first one, and cuts a
    // label short to its share.
    const QVector<TimeTick> ticks =
        timeTicks(m_timeAxis->min(), m_timeAxis->max(), m_dayChart, plotPixels(), labelPixels, 1);
    const QStringList old = m_timeAxis->categoriesLabels();
    for (const QString& label : old)
        m_timeAxis->remove(label);
    if (!ticks.isEmpty())
        m_timeAxis->setStartValue(ticks.first().x - 1);
    QSet<QString> used;
    for (const TimeTick& t : ticks) {
        // The axis keys its labels by their text: the same hour of two days differs unseen.
        QString label = t.label;
        while (used.contains(label))
            label += QChar(0x200B);
        used.insert(label);
        m_timeAxis->append(label, t.x);
    }
    m_placingTicks = false;
}

ChartView::Ranges ChartView::ranges() const
{
    return {m_timeAxis->min(), m_timeAxis->max(), m_valueAxis->min(), m_valueAxis->max()};
}

void ChartView::setRanges(const Ranges& r)
{
    m_timeAxis->setRange(r.xmin, r.xmax);
    m_valueAxis->setRange(r.ymin, r.ymax);
}

void ChartView::zoomInto(const QRectF& rect)
{
    if (!(rect.width() > 1) || !(rect.height() > 1) || m_series.isEmpty())
        return;
    QChart* chart = m_view->chart();
    const QPointF a = chart->mapToValue(rect.bottomLeft(), m_series.first());
    const QPointF b = chart->mapToValue(rect.topRight(), m_series.first());
    m_zooms.append(ranges());
    setRanges({a.x(), b.x(), a.y(), b.y()});
}

void ChartView::zoomOut()
{
    setRanges(m_zooms.isEmpty() ? m_drawn : m_zooms.takeLast());
}

void ChartView::clear()
{
    QChart* chart = m_view->chart();
    chart->setTitle(QString());
    m_timeAxis->setTitleText(QString());
    for (QLineSeries* s : m_series + m_limitSeries) {
        s->clear();
        s->hide();
    }
    for (QCheckBox* c : m_limitChecks)
        c->hide();
    chart->zoomReset();
    m_zooms.clear();
    m_pointLine->clear();
}

void ChartView::draw(const QString& title, std::shared_ptr<const ChartData> data, const QVector<LimitLine>& lines)
{
    clear();
    QChart* chart = m_view->chart();
    chart->setTitle(title);
    m_valueAxis->setTitleText(QString::fromUtf8(m_def.valueTitle));
    m_data = std::move(data);
    const int width = plotPixels();
    const BuiltChart built = buildChart(m_def, *m_data, lines);

    // The axes first: every change of a range lays out each series again, which on 100,000
    // points costs far more than the change itself.
    // The axis lays its ticks out on every change: a new range under the old chart's fine step
    // (or the reverse) would make millions of them. A coarse interval bridges the two, and the
    // new range gets its fitted step as it is set.
    const double span = std::max(std::abs(built.scale.max - built.scale.min),
                                 std::abs(m_valueAxis->max() - m_valueAxis->min()));
    if (std::isfinite(span) && span > m_valueAxis->tickInterval())
        m_valueAxis->setTickInterval(span);
    m_tableStep = built.scale.step;
    m_valueAxis->setRange(built.scale.min, built.scale.max);
    fitValueStep();
    if (m_data->size() > 0) {
        m_dayChart = built.time.format == QLatin1String("yyyy/MM/dd");
        m_timeAxis->setLabelFormat(built.time.format);
        m_timeAxis->setTitleText(built.time.title);
        m_timeAxis->setRange(built.time.min, built.time.max);
        placeTimeTicks();
    }
    m_drawn = ranges();

    for (int i = 0; i < m_series.size(); ++i) {
        QLineSeries* s = m_series[i];
        const QVector<QPointF>& pts = built.series[i];
        // Markers on more points than the plot has pixels would merge into a thick line.
        const QColor colour = s->pen().color();
        s->setLightMarker(built.pointCounts[i] < width ? diamond(i == 0 ? kTempMarkerSize : kMarkerSize, colour) : QImage());
        // More readings than pixels: the line is drawn from the ones that shape it.
        const QVector<QPointF> drawn =
            pointsToDraw(pts, built.time.min, built.time.max, width);
        s->replace(QList<QPointF>(drawn.begin(), drawn.end()));
        s->setVisible(true);
        const QSignalBlocker block(m_checks[i]);
        m_checks[i]->setChecked(true);
    }
    for (int i = 0; i < m_limitSeries.size(); ++i) {
        QLineSeries* s = m_limitSeries[i];
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const LimitLine& l) { return l.title == s->name(); });
        if (line == lines.end())
            continue;
        s->replace(QList<QPointF>{{built.time.min, line->value}, {built.time.max, line->value}});
        s->setVisible(true);
        const QSignalBlocker block(m_limitChecks[i]);
        m_limitChecks[i]->setChecked(true);
        m_limitChecks[i]->show();
    }
    placeLegend();
}

QString ChartView::pointText(int seriesIndex, int r) const
{
    if (!m_data || seriesIndex < 0 || seriesIndex >= m_def.series.size() || r < 0 || r >= m_data->size())
        return {};
    const ReadingColumns& c = m_data->columns;
    const SeriesSpec& s = m_def.series[seriesIndex];
    const QString when = c.moments[r].toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    const QString name = QString::fromUtf8(s.title);
    const QVector<int> sources = sourceChannels(s.field);
    if (s.field == Field::NumTemp)
        return QStringLiteral("%1   %2: raw %3, plotted %4")
            .arg(when, name, rawValue(c.temperatures.value(r, qQNaN()), 1), shortValue(c.numTemps.value(r, qQNaN())));
    QStringList raw, zeroed;
    for (int ch : sources) {
        raw << rawValue(c.channels[ch - 1].value(r, qQNaN()), 2);
        zeroed << shortValue(c.zeroed[ch - 1].value(r, qQNaN()));
    }
    const QString and_ = QStringLiteral(" and ");
    QString text = QStringLiteral("%1   %2: raw %3, zeroed %4").arg(when, name, raw.join(and_), zeroed.join(and_));
    if (m_def.loads)
        text += QStringLiteral(", load %1 tons").arg(shortValue(fieldColumn(c, s.field).value(r, qQNaN())));
    return text;
}

bool ChartView::clickAt(const QPoint& pos)
{
    if (!m_data)
        return false;
    QChart* chart = m_view->chart();
    const QPointF scenePos = m_view->mapToScene(pos);
    double best = kHitPixels + 0.5;
    int bestSeries = -1;
    double bestX = 0;
    for (int i = 0; i < m_series.size(); ++i) {
        QLineSeries* s = m_series[i];
        if (!s->isVisible() || s->count() == 0)
            continue;
        const QList<QPointF> pts = s->points();
        const double x = chart->mapToValue(scenePos, s).x();
        const auto it = std::lower_bound(pts.begin(), pts.end(), x,
                                         [](const QPointF& p, double v) { return p.x() < v; });
        const int hi = std::min(int(it - pts.begin()), int(pts.size()) - 1);
        const int lo = std::max(0, hi - 1);
        const QPointF a = chart->mapToPosition(pts[lo], s);
        const QPointF b = chart->mapToPosition(pts[hi], s);
        const double d = segmentDistance(scenePos, a, b);
        if (d < best) {
            best = d;
            bestSeries = i;
            bestX = std::fabs(scenePos.x() - a.x()) <= std::fabs(scenePos.x() - b.x()) ? pts[lo].x() : pts[hi].x();
        }
    }
    if (bestSeries < 0)
        return false;
    const QVector<double>& xs = m_data->x;
    const auto it = std::lower_bound(xs.begin(), xs.end(), bestX);
    if (it == xs.end())
        return false;
    m_pointLine->setText(pointText(bestSeries, int(it - xs.begin())));
    return true;
}

bool ChartView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            placeLegend();
        return false;
    }
    // The viewport outlives the view's own part while it is destroyed: touch the view only for our events.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    QChart* chart = m_view->chart();
    switch (type) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton)
            return false;
        const QPoint pos = e->position().toPoint();
        const QPointF sp = m_view->mapToScene(pos);
        const QRectF plot = chart->plotArea();
        m_pressPos = m_lastPos = pos;
        if (plot.contains(sp))
            m_drag = Drag::Band;
        else if (sp.y() > plot.bottom() && sp.x() >= plot.left() && sp.x() <= plot.right())
            m_drag = Drag::ScrollX;
        else if (sp.x() < plot.left() && sp.y() >= plot.top() && sp.y() <= plot.bottom())
            m_drag = Drag::ScrollY;
        else
            m_drag = Drag::None;
        return m_drag != Drag::None;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        switch (m_drag) {
        case Drag::Band:
            m_band->setGeometry(QRect(m_pressPos, pos).normalized());
            m_band->show();
            return true;
        case Drag::ScrollX:
            chart->scroll(m_lastPos.x() - pos.x(), 0);
            m_lastPos = pos;
            return true;
        case Drag::ScrollY:
            chart->scroll(0, pos.y() - m_lastPos.y());
            m_lastPos = pos;
            return true;
        case Drag::None:
            return false;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || m_drag == Drag::None)
            return false;
        const Drag drag = m_drag;
        m_drag = Drag::None;
        m_band->hide();
        if (drag != Drag::Band)
            return true;
        const QPoint pos = e->position().toPoint();
        const QPoint delta = pos - m_pressPos;
        if (std::abs(delta.x()) < 4 && std::abs(delta.y()) < 4) {
            clickAt(pos);
        } else if (delta.x() > 0) {
            const QRectF rect = QRectF(m_view->mapToScene(m_pressPos), m_view->mapToScene(pos)).normalized();
            zoomInto(rect.intersected(chart->plotArea()));
        } else {
            zoomOut();
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace rv
