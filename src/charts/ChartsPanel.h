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

    // The marked readings of the current sensor as the chart draws them on a plot that many
    // pixels wide; a missing reading table is reported and created. Empty when there is no
    // current sensor or the table could not be read.
    std::optional<ChartData> OpenGraphData(const ChartDef& def, int pixels);
    // Computes and stores zeroed values, temperature and loads of the marked readings that need
    // it (columns: what the chart read, for the k factor notice). True when the columns are
    // stale: the pass wrote new values, or failed (it was logged).
    bool GetTemporalData(const ReadingColumns& columns);
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

    AppState& m_state;
    FrmRockvista& m_form;
    QObject* m_tabStrip; // compared only: the form is gone when its last events arrive
    std::array<std::unique_ptr<ChartView>, 7> m_charts; // by tab, 3..6
    QPointer<FrmReport> m_report; // owned by the main window: hidden, not destroyed, between uses
    // The report window's flags: the four options and whether it was closed with OK.
    std::array<bool, 4> m_reportOptions{};
    bool m_reportOK = false;
    int m_entering = 0;
};

} // namespace rv
