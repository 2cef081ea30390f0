#include "ui/FrmRockvista.h"

#include "ui/Layout.h"
#include "ui/Pickers.h"

#include <QCloseEvent>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace rv {

using pictures::Kind;
using namespace layout;

namespace {

QLineEdit* display(QLineEdit* box)
{
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    return box;
}

QChartView* chartView(QWidget* page, const char* name)
{
    auto* chart = new QChart;
    chart->setBackgroundBrush(Qt::white);
    chart->legend()->hide();
    auto* view = named(new QChartView(chart, page), name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setBackgroundBrush(Qt::white);
    return view;
}

} // namespace

FrmRockvista::FrmRockvista(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmRockvista"));
    setWindowTitle(QStringLiteral("Rockvista g-STAY"));

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 8, 8, 8);
    SSTab1 = named(new QTabWidget(central), "SSTab1");
    outer->addWidget(SSTab1);
    setCentralWidget(central);

    buildIdentification();
    buildInstallation();
    buildReadings();
    buildCharts();
    buildUtilities();
    guardWheels(this);

    resize(1280, 800);
}

void FrmRockvista::buildIdentification()
{
    auto* page = new QWidget;
    SSTab1->addTab(page, QStringLiteral("1. Identification"));
    auto* row = new QHBoxLayout(page);

    // Choosing and stepping through sensors.
    auto* select = group(page, "Sensor Selection");
    auto* sv = new QVBoxLayout(select);
    sv->addWidget(new QLabel(QStringLiteral("Add or Select Sensor:"), select));
    cboSensors = named(new QComboBox(select), "cboSensors");
    cboSensors->setEditable(true);
    cboSensors->setInsertPolicy(QComboBox::NoInsert);
    cboSensors->setCompleter(nullptr); // the handlers do their own type-ahead
    cboSensors->setMinimumWidth(220);
    sv->addWidget(cboSensors);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(imageCell(select, imgAddSensor, "imgAddSensor", Kind::Add, Label57, "Label57", "Add New"));
    buttons->addWidget(imageCell(select, imgDelete, "imgDelete", Kind::Delete, Label55, "Label55", "Delete"));
    buttons->addWidget(imageCell(select, imgPrevious, "imgPrevious", Kind::Previous, Label56, "Label56", "Previous"));
    buttons->addWidget(imageCell(select, imgNext, "imgNext", Kind::Next, Label59, "Label59", "Next"));
    buttons->addWidget(
        imageCell(select, imgOverview, "imgOverview", Kind::Datasheet, lblOverview, "lblOverview", "Site Overview"));
    sv->addSpacing(6);
    sv->addLayout(buttons);
    sv->addSpacing(6);
    auto* navForm = form();
    txtSnav = display(named(new QLineEdit(select), "txtSnav"));
    txtSnav->setMaximumWidth(120);
    navForm->addRow(QStringLiteral("Record Navigation:"), txtSnav);
    sv->addLayout(navForm);

    // Status picture of the sensor: alive or destroyed.
    auto* status = group(page, "Sensor Status");
    auto* hv = new QVBoxLayout(status);
    imgheart = named(new QLabel(status), "imgheart");
    imgheart->setPixmap(pictures::make(Kind::Alive, 64));
    imgheart->setAlignment(Qt::AlignCenter);
    hv->addWidget(imgheart);
    lblBoltStatus = named(new QLabel(status), "lblBoltStatus");
    lblBoltStatus->setAlignment(Qt::AlignCenter);
    lblBoltStatus->setWordWrap(true);
    lblBoltStatus->setMargin(3);
    hv->addWidget(lblBoltStatus);
    imgalive = pictureHolder(page, "imgalive", Kind::Alive, 64);
    imgdead = pictureHolder(page, "imgdead", Kind::Dead, 64);

    auto* left = new QVBoxLayout;
    left->addWidget(select);
    left->addWidget(status);
    left->addStretch();
    row->addLayout(left);

    // Identification: the parts of the sensor number.
    auto* ident = group(page, "Identification");
    auto* iv = new QVBoxLayout(ident);
    auto* idForm = form();
    txtSensor = display(named(new QLineEdit(ident), "txtSensor"));
    txtSensor->setMinimumWidth(200);
    idForm->addRow(QStringLiteral("Instrument ID:"), txtSensor);
    iv->addLayout(idForm);
    auto* codes = new QGridLayout;
    codes->setHorizontalSpacing(10);
    const struct {
        QLineEdit** box;
        const char* name;
        const char* caption;
    } parts[] = {{&txtMineID, "txtMineID", "Mine ID"},
                 {&txtDateID, "txtDateID", "Date ID"},
                 {&txtTypeID, "txtTypeID", "S Type"},
                 {&txtSensorNo, "txtSensorNo", "S Number"}};
    int col = 0;
    for (const auto& part : parts) {
        auto* box = named(new QLineEdit(ident), part.name);
        box->setMaximumWidth(100);
        *part.box = box;
        auto* caption = new QLabel(QString::fromUtf8(part.caption), ident);
        caption->setAlignment(Qt::AlignCenter);
        codes->addWidget(caption, 0, col, Qt::AlignBottom);
        codes->addWidget(box, 1, col);
        ++col;
    }
    display(txtMineID);
    iv->addSpacing(8);
    iv->addLayout(codes);
    iv->addSpacing(8);
    auto* famForm = form();
    txtFamily = named(new QLineEdit(ident), "txtFamily");
    famForm->addRow(QStringLiteral("Family:"), txtFamily);
    iv->addLayout(famForm);

    // Bolt properties.
    auto* bolt = group(page, "Bolt Properties");
    auto* bf = form(bolt);
    auto field = [&](QLineEdit*& box, const char* name, const char* caption) {
        box = named(new QLineEdit(bolt), name);
        box->setMaximumWidth(120);
        bf->addRow(QString::fromUtf8(caption), box);
    };
    field(txtLengthLongG, "txtLengthLongG", "Length of long gauge (m):");
    field(txtLengthShortG, "txtLengthShortG", "Length of short gauge (m):");
    field(txtBoltkfactor, "txtBoltkfactor", "Elastic k factor (ustrain/ton):");
    field(txtElasticLimit, "txtElasticLimit", "Elastic Limit (ustrain):");
    field(txtPerfectPlasticLimit, "txtPerfectPlasticLimit", "Perfect Plastic Limit (ustrain):");
    field(txtUltimateStrength, "txtUltimateStrength", "Ultimate Strength (tons):");
    field(txtElongation, "txtElongation", "Elongation (ustrain):");
    field(txtNumGauges, "txtNumGauges", "# Gauges");
    auto* nodes = new QHBoxLayout;
    for (int i = 1; i <= 3; ++i) {
        txtNode[i] = named(new QLineEdit(bolt), indexed("txtNode", i));
        txtNode[i]->setMaximumWidth(70);
        nodes->addWidget(txtNode[i]);
    }
    nodes->addStretch();
    bf->addRow(QStringLiteral("Paddle Locations:"), nodes);

    auto* right = new QVBoxLayout;
    right->addWidget(ident);
    right->addStretch();
    auto* right2 = new QVBoxLayout;
    right2->addWidget(bolt);
    right2->addStretch();
    row->addLayout(right, 1);
    row->addLayout(right2, 1);
}

void FrmRockvista::buildInstallation()
{
    auto* page = new QWidget;
    SSTab1->addTab(page, QStringLiteral("2. Installation"));
    auto* row = new QHBoxLayout(page);

    auto* inst = group(page, "Installation");
    auto* f = form(inst);
    auto field = [&](QLineEdit*& box, const char* name, const char* caption, int width) {
        box = named(new QLineEdit(inst), name);
        box->setMinimumWidth(width);
        f->addRow(QString::fromUtf8(caption), box);
    };
    field(txtSensor2, "txtSensor2", "Instrument ID:", 200);
    display(txtSensor2);
    field(txtLevel, "txtLevel", "Level:", 240);
    field(txtLocation, "txtLocation", "Location:", 240);
    field(txtBorehole, "txtBorehole", "Borehole:", 240);
    field(txtInstallDate, "txtInstallDate", "Install Date:", 120);
    field(txtInstallBy, "txtInstallBy", "Installed By:", 240);
    field(txtPurpose, "txtPurpose", "Purpose:", 240);
    cboDestroyed = named(new QComboBox(inst), "cboDestroyed");
    cboDestroyed->addItems({QStringLiteral("Yes"), QStringLiteral("No")});
    cboDestroyed->setCurrentIndex(1);
    cboDestroyed->setMaximumWidth(90);
    f->addRow(QStringLiteral("Destroyed:"), cboDestroyed);
    field(txtDestructionDate, "txtDestructionDate", "Destruction Date:", 120);
    for (QLineEdit* narrow : {txtInstallDate, txtDestructionDate})
        narrow->setMaximumWidth(140);

    auto* left = new QVBoxLayout;
    left->addWidget(inst);
    left->addStretch();
    row->addLayout(left, 2);

    auto* paddles = group(page, "Paddle Locations:");
    auto* pv = new QVBoxLayout(paddles);
    lbloption = named(new QLabel(QStringLiteral("Head at Borehole Collar"), paddles), "lbloption");
    pv->addWidget(lbloption);
    auto* pf = form();
    for (int i = 1; i <= 3; ++i) {
        txtNodeI[i] = display(named(new QLineEdit(paddles), indexed("txtNodeI", i)));
        txtNodeI[i]->setMaximumWidth(90);
        pf->addRow(QStringLiteral("Paddle %1 (m):").arg(i), txtNodeI[i]);
    }
    pv->addLayout(pf);

    auto* notes = group(page, "Notes");
    auto* nv = new QVBoxLayout(notes);
    lblNotes = named(new QLabel(QStringLiteral("Notes:"), notes), "lblNotes");
    nv->addWidget(lblNotes);
    txtNotes = named(new QPlainTextEdit(notes), "txtNotes");
    txtNotes->setTabChangesFocus(true);
    nv->addWidget(txtNotes);

    auto* right = new QVBoxLayout;
    right->addWidget(paddles);
    right->addWidget(notes, 1);
    row->addLayout(right, 3);
}

void FrmRockvista::buildReadings()
{
    auto* page = new QWidget;
    SSTab1->addTab(page, QStringLiteral("3. Readings"));
    auto* row = new QHBoxLayout(page);

    // The reading itself.
    auto* reading = group(page, "Reading");
    auto* rf = form(reading);
    txtSensor3 = display(named(new QLineEdit(reading), "txtSensor3"));
    txtSensor3->setMinimumWidth(200);
    rf->addRow(QStringLiteral("Instrument ID:"), txtSensor3);
    txtReadingID = display(named(new QLineEdit(reading), "txtReadingID"));
    txtReadingID->setMinimumWidth(260);
    rf->addRow(QStringLiteral("Reading ID:"), txtReadingID);
    dtpRdate = named(new DatePicker(QDate::currentDate(), reading), "dtpRdate");
    dtpRdate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    dtpRdate->setCalendarPopup(false); // a popup would steal the focus and fire the leave checks
    dtpRdate->setMinimumWidth(130);
    rf->addRow(QStringLiteral("Reading Date:"), dtpRdate);
    dtpRtime = named(new TimePicker(QTime(12, 0), reading), "dtpRtime");
    dtpRtime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    dtpRtime->setMinimumWidth(130);
    rf->addRow(QStringLiteral("Reading Time:"), dtpRtime);
    Label47 = named(new QLabel(QStringLiteral("Temperature:"), reading), "Label47");
    txtChannelT = named(new QLineEdit(reading), "txtChannelT");
    txtChannelT->setMaximumWidth(100);
    lblTemp = named(new QLabel(QStringLiteral("deg C"), reading), "lblTemp");
    auto* temp = new QHBoxLayout;
    temp->addWidget(txtChannelT);
    temp->addWidget(lblTemp);
    temp->addStretch();
    rf->addRow(Label47, temp);

    lblError = named(new QLabel(page), "lblError");
    lblError->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    lblError->setWordWrap(true);
    QSizePolicy keep = lblError->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblError->setSizePolicy(keep);
    lblError->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(reading);
    left->addWidget(lblError);
    left->addStretch();
    row->addLayout(left, 3);

    // The gauges of the bolt.
    auto* gauges = group(page, "Gauge Readings");
    auto* gv = new QVBoxLayout(gauges);
    auto* g = new QGridLayout;
    g->setHorizontalSpacing(10);
    static const char* const names[] = {"", "#1 (long)", "#2 (short)", "#3 (long)",
                                        "#4 (long)", "#5 (short)", "#6 (long)"};
    for (int i = 1; i <= 6; ++i) {
        lbln[i] = named(new QLabel(QString::fromUtf8(names[i]), gauges), indexed("lbln", i));
        lbln[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        txtChannel[i] = named(new QLineEdit(gauges), indexed("txtChannel", i));
        txtChannel[i]->setMaximumWidth(110);
        lblmm[i] = named(new QLabel(QStringLiteral("µ strain"), gauges), indexed("lblmm", i));
        g->addWidget(lbln[i], i - 1, 0);
        g->addWidget(txtChannel[i], i - 1, 1);
        g->addWidget(lblmm[i], i - 1, 2);
    }
    g->setColumnStretch(3, 1);
    gv->addLayout(g);
    gv->addSpacing(10);
    auto* plot = new QGridLayout;
    chkTemporal = named(new QCheckBox(gauges), "chkTemporal");
    auto* plotCaption = new ClickLabel(QStringLiteral("Plot Temporal"), gauges);
    connect(plotCaption, &ClickLabel::clicked, chkTemporal, &QCheckBox::toggle);
    plot->addWidget(chkTemporal, 0, 0);
    plot->addWidget(plotCaption, 0, 1);
    plot->addWidget(new QLabel(QStringLiteral("(Strain/Load v Time)"), gauges), 1, 1);
    plot->setColumnStretch(2, 1);
    gv->addLayout(plot);
    auto* middle = new QVBoxLayout;
    middle->addWidget(gauges);
    middle->addStretch();
    row->addLayout(middle, 2);

    // Moving among readings, adding, deleting, the grid and the readout import.
    auto* records = group(page, "Reading Records");
    auto* tv = new QVBoxLayout(records);
    auto* nav = new QHBoxLayout;
    nav->addWidget(imageCell(records, imgFirst, "imgFirst", Kind::First, Label61, "Label61", "First"));
    nav->addWidget(imageCell(records, imgPrevData, "imgPrevData", Kind::Previous, Label62, "Label62", "Previous"));
    nav->addWidget(imageCell(records, imgNextData, "imgNextData", Kind::Next, Label60, "Label60", "Next"));
    nav->addWidget(imageCell(records, imgLast, "imgLast", Kind::Last, Label64, "Label64", "Last"));
    tv->addLayout(nav);
    auto* countForm = form();
    txtRcount = display(named(new QLineEdit(records), "txtRcount"));
    // Wide enough for the position among ten million readings.
    txtRcount->setFixedWidth(txtRcount->fontMetrics().horizontalAdvance(QStringLiteral("10000000 of 10000000"))
                             + 2 * txtRcount->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
    countForm->addRow(QStringLiteral("Reading:"), txtRcount);
    tv->addLayout(countForm);
    tv->addSpacing(8);
    auto* edit = new QHBoxLayout;
    edit->addWidget(imageCell(records, imgAddReading, "imgAddReading", Kind::Add, Label63, "Label63", "Add New"));
    edit->addWidget(
        imageCell(records, imgDeleteReading, "imgDeleteReading", Kind::Delete, Label65, "Label65", "Delete/Batch"));
    tv->addLayout(edit);

    auto* tools = group(page, "Tools");
    auto* tg = new QGridLayout(tools);
    tg->addWidget(new QLabel(QStringLiteral("Datasheet View:"), tools), 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    tg->addWidget(imageCell(tools, imgDatasheet, "imgDatasheet", Kind::Datasheet, Label45, "Label45", "Datasheet"),
                  0, 1);
    tg->addWidget(new QLabel(QStringLiteral("Import Datafiles:"), tools), 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    imgAddNuboData = named(new ImageButton(pictures::make(Kind::Import), tools), "imgAddNuboData");
    imgAddNuboData->setToolTip(QStringLiteral("Import a readout text file"));
    tg->addWidget(imgAddNuboData, 1, 1, Qt::AlignHCenter); // its focus frame hugs the picture
    tg->addWidget(new QLabel(QStringLiteral("Mark every (hours):"), tools), 2, 0, Qt::AlignRight | Qt::AlignVCenter);
    cboNuboInt = named(new QComboBox(tools), "cboNuboInt");
    cboNuboInt->addItems({QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("24")});
    cboNuboInt->setCurrentText(QStringLiteral("24"));
    tg->addWidget(cboNuboInt, 2, 1);
    tg->setColumnStretch(2, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(records);
    right->addWidget(tools);
    right->addStretch();
    row->addLayout(right, 2);
}

void FrmRockvista::buildCharts()
{
    const struct {
        const char* tab;
        QChartView** view;
        const char* viewName;
        QPushButton** exportButton;
        const char* buttonName;
        int index;
        bool loads;
    } charts[] = {{"4. Strain v t (Long)", &ChartSLong, "ChartSLong", &cmdTemp, "cmdTemp", 3, false},
                  {"5. Load v t (Long)", &ChartLLong, "ChartLLong", &Command1, "Command1", 4, true},
                  {"6. Strain v t (Short)", &ChartSShort, "ChartSShort", &Command2, "Command2", 5, false},
                  {"7. Load v t (Short)", &ChartLShort, "ChartLShort", &Command3, "Command3", 6, true}};
    for (const auto& c : charts) {
        auto* page = new QWidget;
        SSTab1->addTab(page, QString::fromUtf8(c.tab));
        auto* v = new QVBoxLayout(page);
        *c.view = chartView(page, c.viewName);
        v->addWidget(*c.view, 1);
        auto* buttons = new QHBoxLayout;
        lblPoint[c.index] = named(new QLabel(page), indexed("lblPoint", c.index));
        lblPoint[c.index]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        buttons->addWidget(lblPoint[c.index], 1);
        chkLimits[c.index] = named(new QCheckBox(QStringLiteral("Show limits"), page),
                                   QStringLiteral("chkLimits") + QLatin1String(c.viewName + 5));
        buttons->addWidget(chkLimits[c.index]);
        if (c.loads) {
            lblNotice[c.index] = named(new QLabel(page), indexed("lblNotice", c.index));
            lblNotice[c.index]->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
            lblNotice[c.index]->hide();
            v->insertWidget(1, lblNotice[c.index]);
        }
        if (c.view == &ChartSLong) {
            cmdTHelp = named(new QPushButton(QStringLiteral("?"), page), "cmdTHelp");
            cmdTHelp->setToolTip(QStringLiteral("Graphing tips"));
            cmdTHelp->setFixedWidth(32);
            buttons->addWidget(cmdTHelp);
        }
        *c.exportButton = named(new QPushButton(QStringLiteral("Export as JPG"), page), c.buttonName);
        buttons->addWidget(*c.exportButton);
        v->addLayout(buttons);
    }
}

void FrmRockvista::buildUtilities()
{
    auto* page = new QWidget;
    SSTab1->addTab(page, QStringLiteral("8. Utilities"));
    auto* row = new QHBoxLayout(page);

    // Filter of the sensor register.
    auto* filter = group(page, "Filter Installed Sensors:");
    auto* fv = new QVBoxLayout(filter);
    auto* ff = form();
    txtFilterType = named(new QComboBox(filter), "txtFilterType");
    txtFilterType->setEditable(true);
    txtFilterType->setInsertPolicy(QComboBox::NoInsert);
    txtFilterType->addItem(QStringLiteral("75: g6STAY"));
    txtFilterType->setCurrentIndex(-1);
    txtFilterType->setEditText(QString());
    txtFilterType->setMinimumWidth(160);
    ff->addRow(QStringLiteral("Filter by Sensor Type:"), txtFilterType);
    txtFilterLevel = named(new QLineEdit(filter), "txtFilterLevel");
    txtFilterLevel->setMinimumWidth(160);
    ff->addRow(QStringLiteral("Filter by Level:"), txtFilterLevel);
    txtFilterLocation = named(new QLineEdit(filter), "txtFilterLocation");
    txtFilterLocation->setMinimumWidth(160);
    ff->addRow(QStringLiteral("Filter by Location:"), txtFilterLocation);
    auto* dates = new QLabel(QStringLiteral("Filter by Install Date: (yyyy/mm/dd)"), filter);
    ff->addRow(dates);
    txtStartDate = named(new QLineEdit(filter), "txtStartDate");
    txtStartDate->setMaximumWidth(120);
    txtStartDate->setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    ff->addRow(QStringLiteral("Start Date:"), txtStartDate);
    txtEndDate = named(new QLineEdit(filter), "txtEndDate");
    txtEndDate->setMaximumWidth(120);
    txtEndDate->setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    ff->addRow(QStringLiteral("End Date:"), txtEndDate);
    fv->addLayout(ff);
    chkDontShowDestroyed =
        named(new QCheckBox(QStringLiteral("Do Not Show Destroyed Sensors"), filter), "chkDontShowDestroyed");
    fv->addWidget(chkDontShowDestroyed);
    fv->addSpacing(8);
    auto* apply = new QHBoxLayout;
    apply->addWidget(
        imageCell(filter, imgFilter, "imgFilter", Kind::Filter, lblFilterState, "lblFilterState", "Apply Filter"));
    lblFilter = named(new QLabel(QStringLiteral("* Filter Applied *"), filter), "lblFilter");
    lblFilter->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    QSizePolicy keep = lblFilter->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblFilter->setSizePolicy(keep);
    lblFilter->hide();
    apply->addWidget(lblFilter);
    apply->addStretch();
    fv->addLayout(apply);
    imgApplyFilter = pictureHolder(page, "imgApplyFilter", Kind::Filter);
    imgRemoveFilter = pictureHolder(page, "imgRemoveFilter", Kind::FilterOff);

    auto* reg = group(page, "Sensor Register");
    auto* rf = form(reg);
    txtSCount = display(named(new QLineEdit(reg), "txtSCount"));
    txtSCount->setMaximumWidth(80);
    rf->addRow(QStringLiteral("# of Instruments:"), txtSCount);

    auto* left = new QVBoxLayout;
    left->addWidget(reg);
    left->addWidget(filter);
    left->addStretch();
    row->addLayout(left, 4);

    // Backups of the database file.
    auto* backup = group(page, "Backup and Restore");
    auto* bv = new QVBoxLayout(backup);
    auto* bb = new QHBoxLayout;
    bb->addWidget(imageCell(backup, imgBackup, "imgBackup", Kind::Backup, Label42, "Label42", "Backup Database"));
    bb->addWidget(
        imageCell(backup, imgRestore, "imgRestore", Kind::Restore, Label27, "Label27", "Restore from Backup"));
    bv->addLayout(bb);
    lstFiles = named(new QListWidget(backup), "lstFiles");
    lstFiles->setMinimumHeight(260);
    bv->addWidget(lstFiles);
    auto* middle = new QVBoxLayout;
    middle->addWidget(backup);
    middle->addStretch();
    row->addLayout(middle, 3);

    // Report, manual, web site and version.
    auto* more = group(page, "Reports and Help");
    auto* mv = new QVBoxLayout(more);
    mv->addWidget(imageCell(more, imgReport, "imgReport", Kind::Report, Label46, "Label46", "Report"));
    mv->addWidget(imageCell(more, imgHelp, "imgHelp", Kind::Help, Label66, "Label66", "View Rockvista Manual"));
    mv->addWidget(
        imageCell(more, imgInternet, "imgInternet", Kind::Internet, Label40, "Label40", "Visit the Kelderan website"));
    mv->addWidget(
        imageCell(more, imgAbout, "imgAbout", Kind::About, Label29, "Label29", "About Kelderan's Rockvista"));
    auto* right = new QVBoxLayout;
    right->addWidget(more);
    right->addStretch();
    row->addLayout(right, 2);
}

void FrmRockvista::closeEvent(QCloseEvent* event)
{
    if (onUnload && !onUnload()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace rv
