#pragma once
// The readings tab's delete button: the current reading, a date range or every reading,
// chosen in frmBatchDel.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;
class FrmBatchDel;
class ReadingsPanel;

class BatchDelete : public QObject {
    Q_OBJECT
public:
    BatchDelete(AppState& state, FrmRockvista& form, ReadingsPanel& readings);

    void imgDeleteReading_Click();
    // The window's loading: no choice made, both calendars on today.
    void Form_Load(FrmBatchDel& window);
    // Beside BATCH DELETE: the range the calendars give and how many readings it holds.
    void showRange(FrmBatchDel& window);

private:
    void deleteCurrent();
    void deleteRange();
    void deleteEverything();

    AppState& m_state;
    FrmRockvista& m_form;
    ReadingsPanel& m_readings;
};

} // namespace rv
