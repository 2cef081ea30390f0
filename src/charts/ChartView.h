#pragma once
// One of the four time-history charts as the user works with it: its series, axes and
// check-box legend, the mouse gestures of the graphing tips and the clicked-point line.
#include "charts/domain/ChartDef.h"

#include <QObject>
#include <QPoint>
#include <memory>

class QChartView;
class QLabel;
class QLineSeries;
class QValueAxis;
class QCategoryAxis;
class QCheckBox;
class QFrame;
class QRubberBand;

namespace rv {

class ChartView : public QObject {
    Q_OBJECT
public:
    ChartView(const ChartDef& def, QChartView* view, QLabel* pointLine);
    ~ChartView() override;

    const ChartDef& def() const { return m_def; }
    QChartView* view() const { return m_view; }

    // Clears the series (hidden) and the title, resets zoom and scroll.
    void clear();
    // Draws the chart from the marked readings (kept for the clicked-point line), with the
    // given limit lines.
    void draw(const QString& title, std::shared_ptr<const ChartData> data, const QVector<LimitLine>& lines = {});
    // The readings last drawn, null when none.
    std::shared_ptr<const ChartData> data() const { return m_data; }
    // Width of the plot in pixels (an estimate before the chart was first laid out).
    int plotPixels() const;

    // The text the clicked-point line shows for a reading of a series (for tests).
    QString pointText(int seriesIndex, int reading) const;
    // Shows the reading of the series point nearest to a viewport position; false when no
    // shown series passes within a few pixels.
    bool clickAt(const QPoint& viewportPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUp();
    void placeLegend();
    // Height of the value axis in pixels (an estimate before the chart was first laid out).
    int valuePixels() const;
    // The value axis's step and label format for its range, from the table step of the data.
    void fitValueStep();
    // The time axis's labels for its range: each at the round time it names.
    void placeTimeTicks();
    // Zooms into a rectangle of the plot (scene coordinates); zooming out goes back one zoom,
    // and from the first back to the drawn ranges.
    void zoomInto(const QRectF& rect);
    void zoomOut();
    struct Ranges {
        double xmin, xmax, ymin, ymax;
    };
    Ranges ranges() const;
    void setRanges(const Ranges& r);
    enum class Drag { None, Band, ScrollX, ScrollY };

    ChartDef m_def;
    QChartView* m_view;
    QLabel* m_pointLine;
    QValueAxis* m_valueAxis = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    QVector<QLineSeries*> m_series;
    QFrame* m_legend = nullptr;
    QVector<QCheckBox*> m_checks;
    QVector<QLineSeries*> m_limitSeries; // every limit line the chart can draw, hidden when not drawn
    QVector<QCheckBox*> m_limitChecks;
    QRubberBand* m_band = nullptr;
    Drag m_drag = Drag::None;
    double m_tableStep = 0; // the value step the data's scale gives, before fitting
    bool m_dayChart = true; // the time axis labels days (not hours)
    bool m_placingTicks = false;
    Ranges m_drawn{0, 1, 0, 1};
    QVector<Ranges> m_zooms; // the ranges before each zoom still in force
    QPoint m_pressPos, m_lastPos;
    std::shared_ptr<const ChartData> m_data;
};

} // namespace rv
