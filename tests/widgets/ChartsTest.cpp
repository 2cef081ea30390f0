// The chart view's own behaviour (markers, the clicked-point line, zoom gestures, the legend)
// and the report document's order of pages.
#include "RunningProgram.h"
#include "TestApp.h"
#include "charts/ChartView.h"
#include "charts/ReportDocument.h"
#include "charts/domain/ChartDef.h"
#include "ui/FrmRockvista.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLineSeries>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QSet>
#include <QTextBlock>
#include <QValueAxis>
#include <gtest/gtest.h>

using namespace rv;

namespace {

// n marked readings seconds apart from first with zero1 = i, raw Channel1 = 100 + i.
std::shared_ptr<const ChartData> spaced(int n, const QDateTime& first, qint64 seconds)
{
    ReadingColumns c;
    for (int i = 0; i < n; ++i) {
        c.rowids << i + 1;
        c.moments << first.addSecs(seconds * i);
        c.temperatures << 20;
        c.numTemps << 20;
        for (int ch = 0; ch < 10; ++ch) {
            c.channels[ch] << 100 + i;
            c.zeroed[ch] << i;
        }
        for (auto& l : c.loads)
            l << i / 25.0;
    }
    return std::make_shared<const ChartData>(chartData(std::move(c)));
}

std::shared_ptr<const ChartData> hourly(int n)
{
    return spaced(n, QDateTime(QDate(2024, 3, 5), QTime(0, 0), Qt::UTC), 3600);
}

class Charts : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApp();
        w = std::make_unique<FrmRockvista>();
        w->show();
        w->SSTab1->setCurrentIndex(3);
        view = std::make_unique<ChartView>(*chartForTab(3), w->ChartSLong, w->lblPoint[3]);
    }
    QLineSeries* series(int i) const { return qobject_cast<QLineSeries*>(w->ChartSLong->chart()->series().at(i)); }
    QPoint pointPos(int seriesIndex, int i) const
    {
        QCoreApplication::sendPostedEvents();
        const QPointF scene = w->ChartSLong->chart()->mapToPosition(series(seriesIndex)->at(i), series(seriesIndex));
        return w->ChartSLong->mapFromScene(scene);
    }
    std::unique_ptr<FrmRockvista> w;
    std::unique_ptr<ChartView> view;
};

} // namespace

TEST_F(Charts, MarkersOnlyWhileThePlotHasRoomForThem)
{
    view->draw(QStringLiteral("KLD-201175001"), hourly(40));
    EXPECT_FALSE(series(1)->lightMarker().isNull());
    EXPECT_EQ(series(1)->count(), 40);
    view->draw(QStringLiteral("KLD-201175001"), hourly(view->plotPixels() + 10));
    EXPECT_TRUE(series(1)->lightMarker().isNull());
}

TEST_F(Charts, AClickOnASeriesShowsItsReadingBelowTheChart)
{
    view->draw(QStringLiteral("KLD-201175001"), hourly(12));
    // Series 1 is "# 1": the fifth reading, 04:00, zero1 = 4 from Channel1 = 104.
    QTest::mouseClick(w->ChartSLong->viewport(), Qt::LeftButton, {}, pointPos(1, 4));
    EXPECT_EQ(w->lblPoint[3]->text(), QStringLiteral("2024/03/05 04:00:00   # 1: raw 104.00, zeroed 4"));
    // Far from every line: nothing changes.
    EXPECT_FALSE(view->clickAt(pointPos(1, 4) + QPoint(0, -200)));
    EXPECT_EQ(view->pointText(0, 2), QStringLiteral("2024/03/05 02:00:00   Temp (C): raw 20.0, plotted 20"));
}

// Every time label names the moment its tick stands at, inside the range, each once.
void expectTimeLabelsTrue(QCategoryAxis* axis)
{
    QSet<QString> seen;
    for (const QString& label : axis->categoriesLabels()) {
        const double x = axis->endValue(label);
        EXPECT_GE(x, axis->min());
        EXPECT_LE(x, axis->max());
        const QString shown = QString(label).remove(QChar(0x200B));
        const QString format = shown.size() == 10 ? QStringLiteral("yyyy/MM/dd") : QStringLiteral("yyyy/MM/dd hh:mm");
        EXPECT_EQ(wallClockAt(x).toString(format), shown);
        EXPECT_FALSE(seen.contains(shown)) << shown.toStdString();
        seen.insert(shown);
    }
}

TEST_F(Charts, ZoomsLabelTheirTimesTrulyAndZoomingOutReturnsToTheDrawing)
{
    // Five days of readings seven hours apart, the lowest -398.8.
    ReadingColumns c;
    for (int i = 0; i < 18; ++i) {
        c.rowids << i + 1;
        c.moments << QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addSecs(7 * 3600LL * i);
        c.temperatures << 20;
        c.numTemps << 20;
        for (int ch = 0; ch < 10; ++ch) {
            c.channels[ch] << 100;
            c.zeroed[ch] << (i == 9 ? -398.8 : 10.0 * i);
        }
        for (auto& l : c.loads)
            l << 0;
    }
    view->draw(QStringLiteral("KLD-201175001"), std::make_shared<const ChartData>(chartData(std::move(c))));
    QChart* chart = w->ChartSLong->chart();
    auto* time = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).first());
    auto* value = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    ASSERT_TRUE(time && value);
    QCoreApplication::sendPostedEvents();
    const double x0 = time->min(), x1 = time->max(), y0 = value->min(), y1 = value->max();
    EXPECT_LE(y0, -398.8);
    expectTimeLabelsTrue(time);

    QWidget* vp = w->ChartSLong->viewport();
    const auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        QTest::mouseMove(vp, to);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
        QCoreApplication::sendPostedEvents();
    };
    const QRect plot = w->ChartSLong->mapFromScene(chart->plotArea()).boundingRect();
    // Diagonally left to right: in, twice; the second to less than two days, labelled by hour.
    drag(plot.topLeft() + QPoint(plot.width() / 5, 20), plot.center() + QPoint(plot.width() / 4, 0));
    EXPECT_GT(time->min(), x0);
    EXPECT_LT(time->max(), x1);
    expectTimeLabelsTrue(time);
    drag(plot.topLeft() + QPoint(20, 20), plot.center());
    expectTimeLabelsTrue(time);
    EXPECT_FALSE(time->categoriesLabels().isEmpty());
    // Scrolling along the time axis keeps every label true.
    drag(QPoint(plot.center().x(), plot.bottom() + 8), QPoint(plot.center().x() - 137, plot.bottom() + 8));
    expectTimeLabelsTrue(time);
    // Right to left: out, as far as it goes, back to the drawing.
    for (int i = 0; i < 4; ++i)
        drag(plot.center() + QPoint(100, 0), plot.center() - QPoint(100, -30));
    EXPECT_EQ(time->min(), x0);
    EXPECT_EQ(time->max(), x1);
    EXPECT_EQ(value->min(), y0);
    EXPECT_EQ(value->max(), y1);
    expectTimeLabelsTrue(time);
}

TEST_F(Charts, DrawingAgainResetsTheZoomAndTheLegendHidesSeries)
{
    view->draw(QStringLiteral("KLD-201175001"), hourly(12));
    QChart* chart = w->ChartSLong->chart();
    auto* time = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).first());
    const double drawnMin = time->min(), drawnMax = time->max();
    QWidget* vp = w->ChartSLong->viewport();
    const QPoint a = pointPos(1, 2), b = pointPos(1, 8);
    QTest::mousePress(vp, Qt::LeftButton, {}, a);
    QTest::mouseMove(vp, b);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, b);
    EXPECT_GT(time->min(), drawnMin);
    view->draw(QStringLiteral("KLD-201175001"), hourly(12));
    EXPECT_EQ(time->min(), drawnMin);
    EXPECT_EQ(time->max(), drawnMax);

    auto* temp = w->ChartSLong->findChild<QCheckBox*>(QStringLiteral("ChartSLongLegend_0"));
    ASSERT_NE(temp, nullptr);
    temp->click();
    EXPECT_FALSE(series(0)->isVisible());
    temp->click();
    EXPECT_TRUE(series(0)->isVisible());
}

TEST_F(Charts, TheReportHasTheHeaderThenOnePagePerChartInOrder)
{
    ReportHeader h;
    h.instrumentId = QStringLiteral("201175001");
    h.date = QStringLiteral("07/12/2026");
    h.family = QStringLiteral("g-STAY");
    h.model = QStringLiteral("g6STAY");
    h.level = QStringLiteral("L12");
    ReportDocument doc(h);
    view->draw(QStringLiteral("KLD-201175001"), hourly(12));
    QCoreApplication::sendPostedEvents();
    const QImage picture = w->ChartSLong->grab().toImage();
    doc.addChart(QStringLiteral("Load v Time"), picture);
    doc.addNoChart(QStringLiteral("Disp v Time"), QStringLiteral("No chart: fewer than 2 readings."));
    doc.addChart(QStringLiteral("Disp v Length"), picture);

    QStringList lines;
    QVector<bool> breaks, bold;
    for (QTextBlock b = doc.document().begin(); b.isValid(); b = b.next()) {
        lines << b.text();
        breaks << (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
        bold << (b.charFormat().fontWeight() == QFont::Bold);
    }
    const QString obj(QChar::ObjectReplacementCharacter);
    const QStringList expected = {"", "REPORT 201175001", "", "   Date: 07/12/2026", "   Sensor Number: 201175001",
                                  "   Sensor Type: g-STAY g6STAY", "   Date Installed: ", "   Installed By: ",
                                  "   Level: L12", "   Location: ", "   Purpose: ", "   Notes: ", "Load v Time",
                                  obj + "   Notes:", "Disp v Time", "No chart: fewer than 2 readings.", "   Notes:",
                                  "Disp v Length", obj + "   Notes:", ""};
    EXPECT_EQ(lines, expected);
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(breaks[i], lines[i] == "Load v Time" || lines[i] == "Disp v Time" || lines[i] == "Disp v Length") << i;
    EXPECT_EQ(doc.document().begin().next().charFormat().fontWeight(), QFont::Bold);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Report 201175001.odt"));
    ASSERT_TRUE(doc.write(path));
    EXPECT_GT(QFileInfo(path).size(), 1000);
    EXPECT_FALSE(doc.write(dir.filePath(QStringLiteral("missing/r.odt"))));

    // For a look at the pages: RV_REPORT_PDF=file.pdf.
    const QString pdf = qEnvironmentVariable("RV_REPORT_PDF");
    if (!pdf.isEmpty()) {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        const_cast<QTextDocument&>(doc.document()).print(&writer);
    }
}

TEST_F(Charts, ZoomingOutKeepsTheValueLabelsFew)
{
    // Found by hand after the walk's chart hang: a drag leftwards zooms out twice as far under the
    // same step; ten of them laid out tens of thousands of ticks and hung the chart.
    view->draw(QStringLiteral("KLD-201175001"), hourly(12));
    QChart* chart = w->ChartSLong->chart();
    auto* axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    QCoreApplication::sendPostedEvents();
    const double drawn = axis->tickInterval();
    const double labels = chart->plotArea().height() / 25;
    for (int i = 0; i < 40; ++i) {
        chart->zoomOut();
        QCoreApplication::sendPostedEvents();
        ASSERT_LE((axis->max() - axis->min()) / axis->tickInterval(), labels + 1) << i;
    }
    chart->zoomReset();
    EXPECT_EQ(axis->tickInterval(), drawn);
}

// The time labels as drawn: the turned text items below the plot.
QStringList drawnTimeLabels(const QChartView* view)
{
    QCoreApplication::sendPostedEvents();
    const QRectF plot = view->chart()->plotArea();
    QList<QPair<double, QString>> labels;
    for (const QGraphicsItem* item : view->scene()->items()) {
        const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (text && text->isVisible() && text->rotation() != 0 && text->sceneBoundingRect().top() > plot.bottom())
            labels.append({text->sceneBoundingRect().center().x(), text->toPlainText()});
    }
    std::sort(labels.begin(), labels.end());
    QStringList out;
    for (const auto& l : labels)
        out << l.second;
    return out;
}

TEST_F(Charts, TimeLabelsShowWholeInASmallWindow)
{
    // Half a year of daily readings in a chart as narrow as a small window leaves it, and wider:
    // fewer labels where the text would not fit its share of the axis, never a label cut short.
    const auto data = spaced(180, QDateTime(QDate(2022, 1, 3), QTime(9, 0), Qt::UTC), 86400);
    for (int width = 500; width <= 1000; width += 20) {
        w->ChartSLong->setFixedWidth(width);
        QCoreApplication::processEvents();
        view->draw(QStringLiteral("KLD-201175001"), data);
        const QStringList labels = drawnTimeLabels(w->ChartSLong);
        EXPECT_FALSE(labels.isEmpty()) << width;
        for (const QString& label : labels)
            EXPECT_FALSE(label.contains(QStringLiteral("..."))) << width << " " << label.toStdString();
    }
}

namespace {
class ChartTabs : public test::RunningProgram<> {};
} // namespace

TEST_F(ChartTabs, AKFactorOfZeroIsReportedOncePerOpeningNotOncePerReading)
{
    FrmRockvista& f = form();
    f.SSTab1->setCurrentIndex(3);
    ASSERT_EQ(f.SSTab1->currentIndex(), 3);
    const int marked = int(qobject_cast<QLineSeries*>(f.ChartSLong->chart()->series().at(1))->count());
    f.SSTab1->setCurrentIndex(0);
    f.txtBoltkfactor->setText(QStringLiteral("0"));
    sink.reports.clear();
    f.SSTab1->setCurrentIndex(4);
    f.SSTab1->setCurrentIndex(6);
    ASSERT_EQ(f.SSTab1->currentIndex(), 6);
    const QString line = QStringLiteral("Err #11: Division by zero G_SetStackedLoad: %1 marked readings left without new loads")
                             .arg(marked);
    EXPECT_EQ(sink.reports, QStringList({line, line}));
}
