#pragma once
// The main window's layout: every control is a public member named as its objectName.
// Control arrays are std::array indexed from 1 (index 0 unused) as the design numbers them.
// The window only lays out; the panels of each subsystem connect the behaviour.
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QChartView>
#include <array>
#include <functional>

namespace rv {

class FrmRockvista : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmRockvista(QWidget* parent = nullptr);

    // Set by the program: runs on closing (unloading) and may refuse it.
    std::function<bool()> onUnload; // false keeps the window open

    QTabWidget* SSTab1 = nullptr;

    // Tab 0 "1. Identification"
    QComboBox* cboSensors = nullptr;            // editable; "Add or Select Sensor:"
    ImageButton* imgAddSensor = nullptr;  ClickLabel* Label57 = nullptr;  // "Add New"
    ImageButton* imgDelete = nullptr;     ClickLabel* Label55 = nullptr;  // "Delete"
    ImageButton* imgPrevious = nullptr;   ClickLabel* Label56 = nullptr;  // "Previous"
    ImageButton* imgNext = nullptr;       ClickLabel* Label59 = nullptr;  // "Next"
    ImageButton* imgOverview = nullptr;   ClickLabel* lblOverview = nullptr;  // "Site Overview"
    QLineEdit* txtSnav = nullptr;               // "Record Navigation:"
    QLineEdit* txtSensor = nullptr;             // "Instrument ID:"
    QLineEdit* txtMineID = nullptr;
    QLineEdit* txtDateID = nullptr;
    QLineEdit* txtTypeID = nullptr;
    QLineEdit* txtSensorNo = nullptr;
    QLineEdit* txtFamily = nullptr;
    QLineEdit* txtLengthLongG = nullptr;
    QLineEdit* txtLengthShortG = nullptr;
    QLineEdit* txtBoltkfactor = nullptr;
    QLineEdit* txtElasticLimit = nullptr;
    QLineEdit* txtPerfectPlasticLimit = nullptr;
    QLineEdit* txtUltimateStrength = nullptr;
    QLineEdit* txtElongation = nullptr;
    QLineEdit* txtNumGauges = nullptr;
    std::array<QLineEdit*, 4> txtNode{};        // 1..3 "Paddle Locations:"
    QLabel* imgheart = nullptr;                 // shows the alive or the dead picture
    QLabel* lblBoltStatus = nullptr;            // how the bolt stands against its limits
    QLabel* imgalive = nullptr;                 // hidden picture holders
    QLabel* imgdead = nullptr;

    // Tab 1 "2. Installation"
    QLineEdit* txtSensor2 = nullptr;
    QLineEdit* txtLevel = nullptr;
    QLineEdit* txtLocation = nullptr;
    QLineEdit* txtBorehole = nullptr;
    QLineEdit* txtInstallDate = nullptr;
    QLineEdit* txtInstallBy = nullptr;
    QLineEdit* txtPurpose = nullptr;
    QPlainTextEdit* txtNotes = nullptr;
    QLabel* lblNotes = nullptr;                 // "Notes:"
    QComboBox* cboDestroyed = nullptr;          // "Yes" / "No"
    QLineEdit* txtDestructionDate = nullptr;
    std::array<QLineEdit*, 4> txtNodeI{};       // 1..3, read-only copies of txtNode
    QLabel* lbloption = nullptr;                // "Head at Borehole Collar"

    // Tab 2 "3. Readings"
    QLineEdit* txtSensor3 = nullptr;
    QLineEdit* txtReadingID = nullptr;
    QDateEdit* dtpRdate = nullptr;              // "yyyy/MM/dd"
    QTimeEdit* dtpRtime = nullptr;              // "HH:mm:ss"
    QLineEdit* txtChannelT = nullptr;
    QLabel* Label47 = nullptr;                  // "Temperature:"
    QLabel* lblTemp = nullptr;                  // "deg C"
    std::array<QLineEdit*, 7> txtChannel{};     // 1..6
    std::array<QLabel*, 7> lbln{};              // 1..6 "#1 (long)" ...
    std::array<QLabel*, 7> lblmm{};             // 1..6 "µ strain"
    QCheckBox* chkTemporal = nullptr;           // beside "Plot Temporal" / "(Strain/Load v Time)"
    QLineEdit* txtRcount = nullptr;
    QLabel* lblError = nullptr;
    ImageButton* imgFirst = nullptr;        ClickLabel* Label61 = nullptr;  // "First"
    ImageButton* imgPrevData = nullptr;     ClickLabel* Label62 = nullptr;  // "Previous"
    ImageButton* imgNextData = nullptr;     ClickLabel* Label60 = nullptr;  // "Next"
    ImageButton* imgLast = nullptr;         ClickLabel* Label64 = nullptr;  // "Last"
    ImageButton* imgAddReading = nullptr;   ClickLabel* Label63 = nullptr;  // "Add New"
    ImageButton* imgDeleteReading = nullptr; ClickLabel* Label65 = nullptr; // "Delete/Batch"
    ImageButton* imgDatasheet = nullptr;    ClickLabel* Label45 = nullptr;  // "Datasheet"
    ImageButton* imgAddNuboData = nullptr;      // "Import Datafiles:"
    QComboBox* cboNuboInt = nullptr;            // "1", "8", "24"

    // Tabs 3..6: the charts
    QChartView* ChartSLong = nullptr;
    QChartView* ChartLLong = nullptr;
    QChartView* ChartSShort = nullptr;
    QChartView* ChartLShort = nullptr;
    QPushButton* cmdTemp = nullptr;             // "Export as JPG" (tab 3)
    QPushButton* Command1 = nullptr;            // tab 4
    QPushButton* Command2 = nullptr;            // tab 5
    QPushButton* Command3 = nullptr;            // tab 6
    QPushButton* cmdTHelp = nullptr;            // "?"
    // Under each chart (indexed by its tab, 3..6): the clicked reading, and on the load charts
    // the notice that the loads could not be computed.
    std::array<QLabel*, 7> lblPoint{};
    std::array<QLabel*, 7> lblNotice{};
    std::array<QCheckBox*, 7> chkLimits{};       // "Show limits": chkLimitsSLong ... chkLimitsLShort

    // Tab 7 "8. Utilities"
    QLineEdit* txtSCount = nullptr;             // "# of Instruments:"
    QComboBox* txtFilterType = nullptr;         // editable; "75: g6STAY"
    QLineEdit* txtFilterLevel = nullptr;
    QLineEdit* txtFilterLocation = nullptr;
    QLineEdit* txtStartDate = nullptr;
    QLineEdit* txtEndDate = nullptr;
    QCheckBox* chkDontShowDestroyed = nullptr;
    ImageButton* imgFilter = nullptr;
    ClickLabel* lblFilterState = nullptr;       // "Apply Filter" / "Remove Filter"
    QLabel* lblFilter = nullptr;                // "* Filter Applied *"
    QLabel* imgApplyFilter = nullptr;           // hidden picture holders
    QLabel* imgRemoveFilter = nullptr;
    ImageButton* imgBackup = nullptr;       ClickLabel* Label42 = nullptr;  // "Backup Database"
    ImageButton* imgRestore = nullptr;      ClickLabel* Label27 = nullptr;  // "Restore from Backup"
    QListWidget* lstFiles = nullptr;
    ImageButton* imgReport = nullptr;       ClickLabel* Label46 = nullptr;  // "Report"
    ImageButton* imgHelp = nullptr;         ClickLabel* Label66 = nullptr;  // "View Rockvista Manual"
    ImageButton* imgInternet = nullptr;     ClickLabel* Label40 = nullptr;  // "Visit the Kelderan website"
    ImageButton* imgAbout = nullptr;        ClickLabel* Label29 = nullptr;  // "About Kelderan's Rockvista"

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildIdentification();
    void buildInstallation();
    void buildReadings();
    void buildCharts();
    void buildUtilities();
};

} // namespace rv
