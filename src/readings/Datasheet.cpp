#include "readings/Datasheet.h"

#include "readings/DatasheetModel.h"
#include "readings/ReadingsPanel.h"
#include "readings/domain/ReadingStore.h"
#include "readings/domain/XlsxExport.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmDatasheet.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

#include <QHeaderView>

namespace rv {

namespace {

const QString kCaption = QStringLiteral("Kelderan's Rockvista");

// Column widths are given in twips (1/1440 inch).
int twipsToPixels(const QWidget* widget, int twips)
{
    return twips * widget->logicalDpiX() / 1440;
}

} // namespace

// --- the window ---

DatasheetWindow::DatasheetWindow(AppState& state, FrmDatasheet& window, ReadingsPanel& readings,
                                 const QString& sensorId)
    : m_state(state), m_window(window), m_readings(readings), m_sensorId(sensorId),
      m_grid(new DatasheetModel(window.img_x_on->pixmap(), window.img_x_off->pixmap(), &window))
{
    QTableView* view = window.MSFlexGrid1;
    view->setItemDelegate(new FlagDelegate(view));
    view->setModel(m_grid);
    onKeyPress(view, [this](QKeyEvent* key) {
        const int ascii = keyAscii(key);
        return ascii == 0 || MSFlexGrid1_KeyPress(ascii);
    });
    connect(view, &QTableView::clicked, this, &DatasheetWindow::MSFlexGrid1_Click);
    connect(window.Image1, &ImageButton::clicked, this, &DatasheetWindow::Image1_Click);
    window.onQueryUnload = [this] { return Form_QueryUnload(); };
    // The grid reads from its reading set: it lets go before the connection closes, storing its
    // edits first, and refills from the current sensor's readings once it is open again.
    connect(&state.events, &DataEvents::sessionClosing, this, [this] {
        if (m_grid->changed() && !m_written)
            Read_Values_From_Grid();
        m_grid->clear();
        m_set.reset();
    });
    connect(&state.events, &DataEvents::sessionOpened, this, [this] {
        trap(m_state, " frmDatasheet.Form_Load", [&] {
            m_written = false;
            m_sensorId = opened(m_state.sensors).text(sensorField::instrumentId);
            openSet();
            m_window.lblHeader->setText(QStringLiteral("Data for Sensor ") + m_sensorId);
            PopulateFlexGrid();
        });
    });
}

DatasheetWindow::~DatasheetWindow() = default;

void DatasheetWindow::openSet()
{
    m_set.reset();
    const ReadingStore store(opened(m_state.db), m_sensorId);
    if (!store.tableExists())
        m_readings.OpenSensorData(); // tells the user and makes the table afresh
    m_set = store.openAll(true); // the grid shows the first readings
}

void DatasheetWindow::Form_Load()
{
    trap(m_state, " frmDatasheet.Form_Load", [&] {
        openSet();
        m_window.lblHeader->setText(QStringLiteral("Data for Sensor ") + m_sensorId);
        PopulateFlexGrid();
    });
}

bool DatasheetWindow::PopulateFlexGrid()
{
    RowWindowView* view = m_window.MSFlexGrid1;
    try {
        if (!m_set)
            return false;
        m_grid->populate(*m_set, m_sensorId);
        // Row 0 is the header row: the view shows it as its fixed header.
        view->setRowHidden(0, true);
        if (!m_grid->hasReadings())
            return true;
        const int plot = m_grid->plotColumn();
        for (int c = 0; c <= plot; ++c) {
            // A column without a header would vanish at zero width.
            const int chars = std::max(static_cast<int>(m_grid->header(c).trimmed().size()), 8);
            view->setColumnWidth(c, twipsToPixels(view, 120 * chars));
        }
        // 2600 twips held the key in the classic font; ours may need more.
        const int keyWidth = view->fontMetrics().horizontalAdvance(m_grid->text(1, 0)) + 16;
        view->setColumnWidth(0, std::max(twipsToPixels(view, 2600), keyWidth));
        view->setCurrentIndex(view->showCell(1, 0));
        // The keys move through the grid at once, not after a click (the export button came first).
        view->setFocus();
        return true;
    } catch (const std::exception&) {
        return false; // the grid shows what was filled
    }
}

bool DatasheetWindow::MSFlexGrid1_KeyPress(int key)
{
    trap(m_state, " frmDatasheet.MSFlexGri1_KeyPress", [&] {
        RowWindowView* view = m_window.MSFlexGrid1;
        int row = view->currentRow() >= 0 ? view->currentRow() : 1;
        int column = view->currentColumn();
        switch (m_grid->keyPress(row, column, key)) {
        case DatasheetGrid::KeyResult::Move:
            view->setCurrentIndex(view->showCell(row, column));
            break;
        case DatasheetGrid::KeyResult::DatesNotEditable:
            m_state.dialogs().message(DatasheetGrid::kMessageA, kCaption, Icon::Information);
            break;
        case DatasheetGrid::KeyResult::NotNumeric:
            m_state.dialogs().message(DatasheetGrid::kMessageB, kCaption, Icon::Information);
            break;
        case DatasheetGrid::KeyResult::Edited:
        case DatasheetGrid::KeyResult::Ignored:
            break;
        }
    });
    return false; // the grid itself never sees the key
}

void DatasheetWindow::MSFlexGrid1_Click(const QModelIndex& cell)
{
    if (cell.isValid())
        m_grid->toggleFlag(m_window.MSFlexGrid1->allRow(cell), cell.column());
}

void DatasheetWindow::Image1_Click()
{
    FlexGridToExcel(m_state, *m_grid, m_sensorId);
}

bool DatasheetWindow::Read_Values_From_Grid()
{
    // At a termination signal the rest of the grid is stored without the cells it cannot take.
    for (DatasheetGrid::BadCell bad = m_grid->firstBadCell(); m_readings.terminating() && bad.row > 0;
         bad = m_grid->firstBadCell()) {
        m_state.report(typeMismatch(), " frmDatasheet.G_ReadValuesFromGrid");
        m_grid->dropEdit(bad.row, bad.column);
    }
    const DatasheetGrid::BadCell bad = m_grid->firstBadCell();
    if (bad.row > 0) {
        m_state.dialogs().message(QStringLiteral("The datasheet was not saved: ") + m_grid->describeCell(bad)
                                      + QStringLiteral(" is not a number.\nCorrect it, then close the datasheet again."),
                                  kCaption, Icon::Exclamation);
        m_window.MSFlexGrid1->setCurrentIndex(m_window.MSFlexGrid1->showCell(bad.row, bad.column));
        return false;
    }
    QString failure;
    const bool written = trap(m_state, " frmDatasheet.G_ReadValuesFromGrid", [&] {
        if (!m_set || !m_state.db)
            throw noCurrentRecord();
        try {
            m_grid->writeBack(*m_state.db, *m_set);
        } catch (const RvError& e) {
            failure = e.description;
            throw;
        }
    });
    if (!written) {
        if (m_readings.terminating())
            return false;
        m_state.dialogs().message(QStringLiteral("The datasheet was not saved: ")
                                      + (failure.isEmpty() ? QStringLiteral("the readings are not open") : failure),
                                  kCaption, Icon::Exclamation);
        return false;
    }
    m_written = true;
    m_grid->clear();
    m_set.reset();
    return true;
}

bool DatasheetWindow::Form_QueryUnload()
{
    if (!m_grid->changed() || m_written)
        return true;
    // A termination signal closes the grid whatever could be stored (the rest is logged).
    return Read_Values_From_Grid() || m_readings.terminating();
}

void DatasheetWindow::Form_Unload()
{
    if (m_grid->changed() && !m_written)
        Read_Values_From_Grid();
    m_grid->clear(); // before the reading set it reads from goes
    m_set.reset();
    // A written grid has had the readings tab shown again.
}

// --- the button on the readings tab ---

Datasheet::Datasheet(AppState& state, FrmRockvista& form, ReadingsPanel& readings)
    : m_state(state), m_form(form), m_readings(readings)
{
    connect(form.imgDatasheet, &ImageButton::clicked, this, &Datasheet::imgDatasheet_Click);
    connect(form.Label45, &ClickLabel::clicked, this, &Datasheet::imgDatasheet_Click);
}

void Datasheet::imgDatasheet_Click()
{
    if (!m_readings.commitPickers())
        return;
    trap(m_state, " imgDatasheet_Click", [&] {
        const QString id = opened(m_state.sensors).text(sensorField::instrumentId);
        opened(m_state.db);
        // A box the reading cannot be stored with would be lost behind the grid.
        if (!m_readings.ReadingStorable() || !m_readings.SaveReadings())
            return;
        FrmDatasheet window(&m_form);
        DatasheetWindow handlers(m_state, window, m_readings, id);
        handlers.Form_Load();
        window.exec();
        handlers.Form_Unload();
    });
}

void FlexGridToExcel(AppState& state, const DatasheetGrid& grid, const QString& sheetName)
{
    trap(state, " Module1_FlexGridToExcel", [&] {
        const QString path = state.path((sheetName.isEmpty() ? QStringLiteral("Datasheet") : sheetName)
                                        + QStringLiteral(".xlsx"));
        try {
            exportDatasheet(grid, path, sheetName);
        } catch (const RvError& e) {
            state.report(e, " Module1_FlexGridToExcel");
            state.dialogs().message(QStringLiteral("The workbook could not be written: ") + e.description, kCaption,
                                    Icon::Exclamation);
            return;
        }
        if (!state.desktop().openSpreadsheet(path))
            state.dialogs().message(QStringLiteral("You need to have Microsoft Excel installed to use this function"),
                                    kCaption, Icon::Exclamation);
    });
}

} // namespace rv
