#pragma once
// The readings tab's datasheet: every reading of the current sensor in an editable grid
// (frmDatasheet), written back when the window closes, and its copy as a spreadsheet.
#include "core/State.h"

#include <QObject>
#include <memory>

class QModelIndex;

namespace rv {

class FrmRockvista;
class FrmDatasheet;
class ReadingsPanel;
class DatasheetModel;
class DatasheetGrid;

// The window's handlers while it is shown.
class DatasheetWindow : public QObject {
    Q_OBJECT
public:
    DatasheetWindow(AppState& state, FrmDatasheet& window, ReadingsPanel& readings, const QString& sensorId);
    ~DatasheetWindow() override;

    void Form_Load();
    bool PopulateFlexGrid();
    bool MSFlexGrid1_KeyPress(int key); // false: the key is discarded
    void MSFlexGrid1_Click(const QModelIndex& cell);
    void Image1_Click();
    // False when the grid could not be written: the user has been told which reading and
    // column, and the grid keeps its edits.
    bool Read_Values_From_Grid();
    // Closing writes a changed grid back first; a grid that cannot be written stays open.
    bool Form_QueryUnload();
    void Form_Unload();

private:
    void openSet();

    DatasheetModel& grid() { return *m_grid; }

private:
    AppState& m_state;
    FrmDatasheet& m_window;
    ReadingsPanel& m_readings;
    QString m_sensorId;
    DatasheetModel* m_grid; // owned by the window
    // The grid's own reading set: the readings tab keeps its reading meanwhile.
    std::unique_ptr<RecordSet> m_set;
    bool m_written = false;
};

class Datasheet : public QObject {
    Q_OBJECT
public:
    Datasheet(AppState& state, FrmRockvista& form, ReadingsPanel& readings);
    void imgDatasheet_Click();

private:
    AppState& m_state;
    FrmRockvista& m_form;
    ReadingsPanel& m_readings;
};

// Copies the grid's rows and first ten columns into a new workbook in the data folder, named
// after the sheet, and opens it with the desktop's spreadsheet program.
void FlexGridToExcel(AppState& state, const DatasheetGrid& grid, const QString& sheetName);

} // namespace rv
