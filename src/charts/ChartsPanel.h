#pragma once
// The four chart tabs: the chart sequence run when a chart tab is entered (the preparation
// pass, then the drawing), the graphing tips, the picture export and the report.
#include "charts/ChartView.h"
#include "charts/domain/Preparation.h"
#include "core/State.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <array>
#include <memory>

namespace rv {

class FrmRockvista;
class FrmReport;

class ChartsPanel : public QObject {
    Q_OBJECT
public:
    ChartsPanel(AppState& state, FrmRockvista& form);
    ~ChartsPanel() override;

    // Entering chart tab 3..6 from previousTab: prepares and draws, or with fewer than two
    // marked readings switches back and says why.
    void enterChartTab(int tab, int previousTab);

    // The marked readings of the current sensor as the charts draw them on a plot that many
    // pixels wide (the same read for every chart tab until the readings change); a missing
    // reading table is reported and created. Null when there is no current sensor or the table
    // could not be read.
    std::shared_ptr<const ChartData> OpenGraphData(int pixels);
    // Computes and stores zeroed values, temperature and loads of the marked readings that need
    // it. True when the k factor gives no loads (it was logged).
    bool GetTemporalData();
    void drawChart(int tab, std::shared_ptr<const ChartData> data);

    void ShowGraphTips();
    // Writes the chart's picture, as shown, into the data folder; the path, or empty when it
    // could not be written. The picture itself is handed back too.
    QString savePicture(int tab, QImage* picture = nullptr);
    void exportPicture(int tab); // cmdTemp_Click, Command1_Click ...
    void imgReport_Click();

    ChartView* chart(int tab) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString instrumentId() const;
    void showKFactorNotice(bool kFailed, const ReadingColumns& columns);
    // Reads through the current sensor's store; a failure is told and logged, and a missing
    // table made anew.
    template <class T>
    std::optional<T> readGraph(const std::function<T(ReadingStore&)>& read);

    AppState& m_state;
    FrmRockvista& m_form;
    std::shared_ptr<const ChartData> m_read; // the last series read, for that sensor, width and file version
    QString m_readId;
    int m_readPixels = 0;
    qint64 m_readVersion = 0;
    QObject* m_tabStrip; // compared only: the form is gone when its last events arrive
    std::array<std::unique_ptr<ChartView>, 7> m_charts; // by tab, 3..6
    QPointer<FrmReport> m_report; // owned by the main window: hidden, not destroyed, between uses
    // The report window's flags: the four options and whether it was closed with OK.
    std::array<bool, 4> m_reportOptions{};
    bool m_reportOK = false;
    int m_entering = 0;
};

} // namespace rv
