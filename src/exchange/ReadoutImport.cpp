#include "exchange/ReadoutImport.h"

#include "exchange/ReadoutGridModel.h"
#include "exchange/domain/ExchangeNames.h"
#include "exchange/domain/ReadoutReading.h"
#include "readings/DatasheetModel.h"
#include "readings/ReadingsPanel.h"
#include "readings/domain/ReadingStore.h"
#include "sensors/SensorBox.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmNuboData.h"
#include "ui/FrmRockvista.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace rv {

namespace {

const QString kCaption = QStringLiteral("Kelderan's Rockvista");
const QString kCaptionUpper = QStringLiteral("Kelderan's ROCKVISTA");

int twipsToPixels(const QWidget* widget, int twips)
{
    return twips * widget->logicalDpiX() / 1440;
}

} // namespace

// --- the window ---

NuboDataWindow::NuboDataWindow(AppState& state, FrmNuboData& window, FrmRockvista& form, ReadingsPanel& readings,
                               const ReadoutFile& file, const QString& sensorId, const QString& readoutFolder)
    : m_state(state), m_window(window), m_form(form), m_readings(readings), m_file(file), m_sensorId(sensorId),
      m_readoutFolder(readoutFolder),
      m_grid(new ReadoutGridModel(window.img_x_on->pixmap(), window.img_x_off->pixmap(), &window))
{
    QTableView* view = window.MSFlexGrid1;
    view->setItemDelegate(new FlagDelegate(view));
    view->setModel(m_grid);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(view, &QTableView::clicked, this, &NuboDataWindow::MSFlexGrid1_Click);
    for (int i = 0; i < 3; ++i)
        connect(window.optDateFormat[i], &QRadioButton::clicked, this, [this, i] { optDateFormat_Click(i); });
    connect(window.cmdAppend, &QPushButton::clicked, this, &NuboDataWindow::cmdAppend_Click);
}

NuboDataWindow::~NuboDataWindow() = default;

DateLayout NuboDataWindow::layout() const
{
    for (int i = 0; i < 3; ++i)
        if (m_window.optDateFormat[i]->isChecked())
            return static_cast<DateLayout>(i);
    return DateLayout::YearFirst;
}

void NuboDataWindow::Form_Load()
{
    ignoreErrors([&] {
        if (m_state.readings)
            m_state.readingBookmark = m_state.readings->bookmark();
    });
    ignoreErrors([&] { m_readings.OpenSensorData(); });
    ignoreErrors([&] {
        m_window.lblHeader->setText(QStringLiteral("Click to download textfile data to Sensor ") + m_sensorId);
        m_window.cmdAppend->setEnabled(true);
    });
    ignoreErrors([&] { PopulateSFlexGrid(); });
}

bool NuboDataWindow::PopulateSFlexGrid()
{
    const int interval = markInterval(m_form.cboNuboInt->currentText());
    QTableView* view = m_window.MSFlexGrid1;
    m_grid->populate(&m_file);
    view->setRowHidden(0, true); // row 0 is the header row: the view shows it as its fixed header
    if (!m_grid->hasLines())
        return false;
    m_grid->setMarks(defaultMarks(m_file, interval, layout()));
    // 120 twips per character of the header; wider where our font needs it for the header or
    // the first lines' texts.
    const QFontMetrics metrics = view->fontMetrics();
    const int sample = std::min(m_grid->lineCount(), 200);
    for (int c = 0; c < ReadoutGrid::kColumns; ++c) {
        const QString header = ReadoutGrid::header(c);
        int width = std::max(twipsToPixels(view, 120 * static_cast<int>(header.trimmed().size())),
                             metrics.horizontalAdvance(header) + 12);
        if (c != ReadoutGrid::kAppendColumn)
            for (int line = 0; line < sample; ++line)
                width = std::max(width, metrics.horizontalAdvance(m_file.text(line, c)) + 12);
        view->setColumnWidth(c, width);
    }
    return true;
}

void NuboDataWindow::MSFlexGrid1_Click(const QModelIndex& cell)
{
    if (cell.isValid())
        m_grid->toggle(cell.row(), cell.column());
}

void NuboDataWindow::optDateFormat_Click(int)
{
    // The marks depend on the moments the dates name, and those on the layout they are read in.
    if (m_grid->hasLines())
        m_grid->setMarks(defaultMarks(m_file, markInterval(m_form.cboNuboInt->currentText()), layout()));
}

void NuboDataWindow::cmdAppend_Click()
{
    const Answer answer = m_state.dialogs().question(
        QStringLiteral("All the checked data will be added to sensor:  ") + m_sensorId + QStringLiteral(" ?"), {},
        Icon::None, Buttons::YesNo, Answer::Yes);
    if (answer == Answer::Yes) {
        int appended = 0;
        QString failure;
        ignoreErrors([&] { appended = appendMarked(failure); });
        if (!failure.isEmpty()) {
            // Not "no data": the lines were there, the write failed and none of them is stored.
            m_state.dialogs().message(QStringLiteral("The data was not appended: ") + failure, kCaption, Icon::Exclamation);
        } else if (appended == 0) {
            m_state.dialogs().message(QStringLiteral(" No data was found to append"));
        } else {
            m_state.dialogs().message(QString::number(appended) + QStringLiteral(" records appended to ") + m_sensorId);
            ignoreErrors([&] { archiveDownloadFile(); });
        }
    }
    m_grid->clear();
    m_window.cmdAppend->setEnabled(false);
    m_window.close();
}

int NuboDataWindow::appendMarked(QString& failure)
{
    if (!m_grid->hasLines() || !m_state.db)
        return 0;
    ReadoutSensor sensor;
    sensor.instrumentId = m_sensorId;
    sensor.sensorType = sensorRegister(m_state).text(QStringLiteral("SensorType"));
    if (const auto type = SensorStore(*m_state.db).type(sensor.sensorType))
        sensor.tempChannel = type->tempChannel;

    // Each line not appended is reported in line order, after the one transaction is done.
    QVector<QString> reports(m_file.lineCount());
    QVector<Reading> batch;
    QVector<int> lineOf;
    const DateLayout dates = layout();
    for (int line = 0; line < m_file.lineCount(); ++line) {
        if (!m_grid->marked(line))
            continue;
        const ReadoutReading r = readoutReading(m_file, line, sensor, dates);
        if (!r.when.valid) {
            reports[line] = invalidDateMessage(m_file.text(line, 0));
            continue;
        }
        batch.push_back(r.reading);
        lineOf.push_back(line);
    }
    InsertOutcome outcome;
    try {
        outcome = ReadingStore(*m_state.db, m_sensorId).insert(batch);
    } catch (const RvError& e) {
        m_state.report(e, " frmNuboData.cmdAppend_Click");
        failure = e.description;
        return 0;
    }
    for (int i = 0; i < outcome.refusedIndex.size(); ++i)
        reports[lineOf[outcome.refusedIndex[i]]] = duplicateMessage(outcome.refusedKeys[i]);
    for (const QString& text : reports)
        if (!text.isEmpty())
            m_state.dialogs().message(text);
    return outcome.inserted;
}

void NuboDataWindow::archiveDownloadFile()
{
    const QDir folder(m_readoutFolder);
    const QString source = folder.filePath(downloadFileName(m_sensorId));
    if (!QFileInfo::exists(source))
        return;
    if (!folder.exists(kBackupFolder) && !folder.mkdir(kBackupFolder))
        return;
    const QString target = folder.filePath(kBackupFolder + QLatin1Char('/') + archiveFileName(m_sensorId, m_state.clock().today()));
    // The archive of the day is replaced; the download file goes only once its copy stands.
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial))
        return;
    QFile::remove(target);
    if (QFile::rename(partial, target))
        QFile::remove(source);
    else
        QFile::remove(partial);
}

void NuboDataWindow::Form_Unload()
{
    m_grid->clear();
    m_readings.OpenSensorData();
    m_readings.moveToRememberedReading();
    ignoreErrors([&] { m_readings.fillreadings(); });
    ignoreErrors([&] { m_readings.showPosition(); });
}

// --- the button on the readings tab ---

ReadoutImport::ReadoutImport(AppState& state, FrmRockvista& form, ReadingsPanel& readings)
    : m_state(state), m_form(form), m_readings(readings)
{
    connect(form.imgAddNuboData, &ImageButton::clicked, this, &ReadoutImport::imgAddNuboData_Click);
}

void ReadoutImport::imgAddNuboData_Click()
{
    trap(m_state, " imgAddNuboData_Click", [&] {
        // A box the reading cannot be stored with would be lost behind the import.
        if (!m_readings.ReadingStorable())
            return;
        m_readings.SaveReadings();
        const QString id = sensorRegister(m_state).text(QStringLiteral("InstrumentID"));
        const QString path = m_state.dialogs().openFile(QStringLiteral("Text (*.txt) | *.txt"));
        if (path.isEmpty())
            return;
        const QFileInfo info(path);
        if (info.fileName() != id + QStringLiteral(".txt")) {
            const Answer answer = m_state.dialogs().question(
                QStringLiteral("WARNING:\n") + info.fileName() + QStringLiteral(" is not a match for the current sensor of ")
                    + id + QStringLiteral("\nAre you sure you want to append this data to the database?\n\n")
                    + QStringLiteral("This may cause undesirable results including corruption and loss of database"),
                kCaptionUpper, Icon::Warning, Buttons::YesNo, Answer::No);
            if (answer != Answer::Yes)
                return;
        }
        ReadoutFile file;
        const ReadoutFile::Status status = file.load(path);
        m_state.importFileNotFound = status == ReadoutFile::Status::Missing;
        if (m_state.importFileNotFound) {
            m_state.dialogs().message(QStringLiteral("There was no data found for this sensor."), {}, Icon::Information);
            return;
        }
        if (status != ReadoutFile::Status::Ok) {
            m_state.dialogs().message(ReadoutFile::refusal(status, info.fileName()), kCaption, Icon::Exclamation);
            return;
        }
        FrmNuboData window(&m_form);
        NuboDataWindow handlers(m_state, window, m_form, m_readings, file, id, info.absolutePath());
        handlers.Form_Load();
        window.exec();
        handlers.Form_Unload();
    });
}

} // namespace rv
