#pragma once
// The report options window. It is hidden, not destroyed, so the choices last the run.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace rv {

class FrmReport : public QDialog {
    Q_OBJECT
public:
    explicit FrmReport(QWidget* parent = nullptr);

    QGroupBox* fraPlots = nullptr;     // "Plots:"
    QLabel* lblSelect = nullptr;
    QCheckBox* chkTemp = nullptr;      // "Load v Time"
    QCheckBox* chkRate = nullptr;      // "Disp v Time"
    QCheckBox* chkSpatial = nullptr;   // "Load v Length"
    QCheckBox* chkDvL = nullptr;       // "Disp v Length"
    QGroupBox* fraFormat = nullptr;    // "Format:"
    QRadioButton* optOdt = nullptr;    // "OpenDocument (editable)", the default
    QRadioButton* optPdf = nullptr;    // "PDF"
    QPushButton* cmdOK = nullptr;      // accepts
    QPushButton* cmdCancel = nullptr;  // rejects
};

} // namespace rv
