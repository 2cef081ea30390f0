#pragma once
// Choosing and stepping through sensors: the sensor box's list and type-ahead, and the arrows.
// Every move stores the form into the old sensor first.
#include "core/State.h"

#include <QObject>

class QKeyEvent;

namespace rv {

class FrmRockvista;
class SensorForm;
class SensorEditing;

class SensorSelection : public QObject {
    Q_OBJECT
public:
    SensorSelection(AppState& state, FrmRockvista& form, SensorForm& sensorForm, SensorEditing& editing);

    void cboSensors_Click();
    // A key in the sensor box; false when the box must not see it.
    bool cboSensors_Key(QKeyEvent* key);
    void imgNext_Click();
    void imgPrevious_Click();

private:
    // Discards a character typed into a box that already holds ten or more characters.
    bool cboSensors_KeyPress(int keyAscii);
    // Jumps to the first entry that begins with the box's text and selects the completion.
    void typeAhead();
    void step(const char* label, const QString& stopMessage, bool forward);
    // After a commit: a register that gained or lost rows is listed afresh.
    void followRegister();
    // After another program's commit: the register is read again and listed, the form keeps what
    // it shows (and what was typed there); a save compares it with the stored row.
    void followOthers();

    AppState& m_state;
    FrmRockvista& m_form;
    SensorForm& m_sensorForm;
    SensorEditing& m_editing;
};

} // namespace rv
