#pragma once
// The readings tab's import of a readout file: choosing the file, the import window
// (frmNuboData) with its grid of lines and Append marks, and appending the marked lines as
// readings of the current sensor.
#include "core/State.h"
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"

#include <QObject>

class QModelIndex;

namespace rv {

class FrmRockvista;
class FrmNuboData;
class ReadingsPanel;
class ReadoutGridModel;

// The import window's handlers while it is shown.
class ReadoutWindow : public QObject {
    Q_OBJECT
public:
    ReadoutWindow(AppState& state, FrmNuboData& window, FrmRockvista& form, ReadingsPanel& readings,
                   const ReadoutFile& file, const QString& sensorId, const QString& readoutFolder);
    ~ReadoutWindow() override;

    void Form_Load();
    bool PopulateSFlexGrid();
    void MSFlexGrid1_Click(const QModelIndex& cell);
    void optDateFormat_Click(int index);
    void cmdAppend_Click();
    void Form_Unload();

    ReadoutGridModel& grid() { return *m_grid; }

private:
    DateLayout layout() const;
    ReadoutSensor sensor() const;
    // Appends the marked lines; returns how many readings were stored. failure is the
    // description of an error that stored none of them (a full disk), empty otherwise; remarks
    // what the final message adds about the stored lines.
    int appendMarked(QString& failure, QString& remarks);
    void archiveDownloadFile();

    AppState& m_state;
    FrmNuboData& m_window;
    FrmRockvista& m_form;
    ReadingsPanel& m_readings;
    const ReadoutFile& m_file;
    QString m_sensorId;
    QString m_readoutFolder;
    ReadoutGridModel* m_grid; // owned by the window
    DateLayout m_marksLayout = DateLayout::YearFirst; // the layout the default marks were read in
};

class ReadoutImport : public QObject {
    Q_OBJECT
public:
    ReadoutImport(AppState& state, FrmRockvista& form, ReadingsPanel& readings);
    void imgAddNuboData_Click();

private:
    AppState& m_state;
    FrmRockvista& m_form;
    ReadingsPanel& m_readings;
};

} // namespace rv
