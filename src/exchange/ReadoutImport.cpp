#include "exchange/ReadoutImport.h"

#include "monitoring/Worsening.h"

#include "exchange/ReadoutGridModel.h"
#include "exchange/domain/ExchangeNames.h"
#include "exchange/domain/ReadoutAppend.h"
#include "readings/DatasheetModel.h"
#include "readings/ReadingsPanel.h"
#include "readings/domain/ReadingStore.h"
#include "sensors/SensorSets.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmNuboData.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMap>

#include <algorithm>

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

ReadoutWindow::ReadoutWindow(AppState& state, FrmNuboData& window, FrmRockvista& form, ReadingsPanel& readings,
                               const ReadoutFile& file, const QString& sensorId, const QString& readoutFolder)
    : m_state(state), m_window(window), m_form(form), m_readings(readings), m_file(file), m_sensorId(sensorId),
      m_readoutFolder(readoutFolder),
      m_grid(new ReadoutGridModel(window.img_x_on->pixmap(), window.img_x_off->pixmap(), &window))
{
    QTableView* view = window.MSFlexGrid1;
    view->setItemDelegate(new FlagDelegate(view));
    view->setModel(m_grid);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(view, &QTableView::clicked, this, &ReadoutWindow::MSFlexGrid1_Click);
    // Space switches the mark of the line the keyboard stands on, whichever cell of it.
    onKeyPress(view, [this, view](QKeyEvent* key) {
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
            return true;
        if (view->currentIndex().isValid())
            m_grid->toggle(view->currentIndex().row(), ReadoutGrid::kAppendColumn);
        return false;
    });
    for (int i = 0; i < 3; ++i)
        connect(window.optDateFormat[i], &QRadioButton::clicked, this, [this, i] { optDateFormat_Click(i); });
    connect(window.cmdAppend, &QPushButton::clicked, this, &ReadoutWindow::cmdAppend_Click);
}

ReadoutWindow::~ReadoutWindow() = default;

DateLayout ReadoutWindow::layout() const
{
    for (int i = 0; i < 3; ++i)
        if (m_window.optDateFormat[i]->isChecked())
            return static_cast<DateLayout>(i);
    return DateLayout::YearFirst;
}

void ReadoutWindow::Form_Load()
{
    // A table gone meanwhile is made afresh, as the readings tab does, before anything goes in.
    ignoreErrors([&] {
        if (!ReadingStore(opened(m_state.db), m_sensorId).tableExists())
            m_readings.OpenSensorData();
    });
    ignoreErrors([&] {
        m_window.lblHeader->setText(QStringLiteral("Click to download textfile data to Sensor ") + m_sensorId);
        m_window.cmdAppend->setEnabled(true);
    });
    ignoreErrors([&] { PopulateSFlexGrid(); });
}

bool ReadoutWindow::PopulateSFlexGrid()
{
    const int interval = markInterval(m_form.cboNuboInt->currentText());
    QTableView* view = m_window.MSFlexGrid1;
    m_grid->populate(&m_file);
    m_grid->setSensor(sensor());
    view->setRowHidden(0, true); // row 0 is the header row: the view shows it as its fixed header
    if (!m_grid->hasLines())
        return false;
    m_marksLayout = layout();
    m_grid->setMarks(defaultMarks(m_file, interval, m_marksLayout));
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

void ReadoutWindow::MSFlexGrid1_Click(const QModelIndex& cell)
{
    if (cell.isValid())
        m_grid->toggle(cell.row(), cell.column());
}

void ReadoutWindow::optDateFormat_Click(int index)
{
    // The default marks depend on the moments the dates name, and those on the layout they are
    // read in; what the user marked by hand stays as it is.
    const auto chosen = static_cast<DateLayout>(index);
    if (chosen == m_marksLayout || !m_grid->hasLines())
        return;
    m_marksLayout = chosen;
    m_grid->setUntouchedMarks(defaultMarks(m_file, markInterval(m_form.cboNuboInt->currentText()), chosen));
}

void ReadoutWindow::cmdAppend_Click()
{
    const Answer answer = m_state.dialogs().question(
        QStringLiteral("All the checked data will be added to sensor:  ") + m_sensorId + QStringLiteral(" ?"), {},
        Icon::None, Buttons::YesNo, Answer::Yes);
    if (answer == Answer::Yes) {
        int appended = 0;
        QString failure, remarks;
        std::optional<StatusWatch> watch;
        ignoreErrors([&] { watch.emplace(*m_state.db, QStringList{m_sensorId}); });
        ignoreErrors([&] { appended = appendMarked(failure, remarks); });
        if (!failure.isEmpty()) {
            // Not "no data": the lines were there, the write failed and none of them is stored.
            m_state.dialogs().message(QStringLiteral("The data was not appended: ") + failure, kCaption, Icon::Exclamation);
        } else if (appended == 0) {
            m_state.dialogs().message(QStringLiteral(" No data was found to append"));
        } else {
            m_state.dialogs().message(QString::number(appended) + QStringLiteral(" records appended to ") + m_sensorId
                                      + remarks);
            ignoreErrors([&] { archiveDownloadFile(); });
            if (watch)
                ignoreErrors([&] { tellWorsened(m_state, watch->worsened()); });
        }
    }
    m_grid->clear();
    m_window.cmdAppend->setEnabled(false);
    m_window.close();
}

ReadoutSensor ReadoutWindow::sensor() const
{
    if (!m_state.db)
        return readoutSensor(m_sensorId, {}, std::nullopt);
    const QString type = sensorRegister(m_state).text(sensorField::sensorType);
    return readoutSensor(m_sensorId, type, SensorStore(*m_state.db).type(type));
}

int ReadoutWindow::appendMarked(QString& failure, QString& remarks)
{
    if (!m_grid->hasLines() || !m_state.db)
        return 0;
    AppendOutcome outcome;
    try {
        outcome = appendMarkedLines(*m_state.db, m_file, m_grid->marks(), sensor(), layout());
    } catch (const RvError& e) {
        m_state.report(e, " frmNuboData.cmdAppend_Click");
        failure = e.description;
        return 0;
    }
    remarks = appendedRemarks(outcome.withNotNumbers, outcome.outsideLimits);

    // Thousands of refusals of one kind (a file imported again) are told in one message; their
    // items are read again from the file, so that only the refused lines' numbers are held.
    QMap<Refusal, int> counts;
    for (const AppendRefusal& r : outcome.refusals)
        ++counts[r.kind];
    const auto item = [&](const AppendRefusal& r) { return refusalItem(m_file, r, m_sensorId, layout()); };
    for (const AppendRefusal& r : outcome.refusals)
        if (counts[r.kind] <= kRefusalsTold)
            m_state.dialogs().message(refusalMessage(r.kind, item(r)));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() <= kRefusalsTold)
            continue;
        QStringList first;
        QString all;
        int n = 0;
        for (const AppendRefusal& r : outcome.refusals) {
            if (r.kind != it.key())
                continue;
            const QString text = item(r);
            if (n++ > 0)
                all += QLatin1Char('\n');
            all += text;
            if (first.size() < kRefusalsTold)
                first << text;
        }
        m_state.writeToLog(refusalsLogText(it.key(), m_sensorId, it.value(), all));
        m_state.dialogs().message(refusalsMessage(it.key(), it.value(), first));
    }
    return outcome.inserted;
}

void ReadoutWindow::archiveDownloadFile()
{
    const QDir folder(m_readoutFolder);
    const QString source = folder.filePath(downloadFileName(m_sensorId));
    if (!QFileInfo::exists(source))
        return;
    if (!folder.exists(kBackupFolder) && !folder.mkdir(kBackupFolder))
        return;
    // An earlier archive of the day holds lines never imported: a later one takes the next free
    // name. The download file goes only once its copy stands.
    const QDir archive(folder.filePath(kBackupFolder));
    QString target;
    for (int n = 1; target.isEmpty() || QFileInfo::exists(target); ++n)
        target = archive.filePath(archiveFileName(m_sensorId, m_state.clock().today(), n));
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial))
        return;
    // rename never replaces a file that came meanwhile.
    if (QFile::rename(partial, target))
        QFile::remove(source);
    else
        QFile::remove(partial);
}

void ReadoutWindow::Form_Unload()
{
    m_grid->clear();
    // What went in has had the readings tab shown again, on the reading it showed.
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
        const QString id = sensorRegister(m_state).text(sensorField::instrumentId);
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
        ReadoutWindow handlers(m_state, window, m_form, m_readings, file, id, info.absolutePath());
        handlers.Form_Load();
        window.exec();
        handlers.Form_Unload();
    });
}

} // namespace rv
