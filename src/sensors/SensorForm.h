#pragma once
// The identification and installation tabs: showing the current sensor (fillfields), writing
// it back (savefields), adapting the readings tab to the sensor's type, the destroyed switch.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;

class SensorForm : public QObject {
    Q_OBJECT
public:
    SensorForm(AppState& state, FrmRockvista& form);

    void fillfields();
    // Writes the form back to the current sensor. False, and nothing stored, when a numeric box
    // holds something that is not a number (the box has the focus) or the database refused the
    // row; the user has been told, and the caller's action must not happen.
    bool savefields();
    // At a termination signal: stores what can be stored and logs each box that cannot.
    void saveWhatCan();
    // Whether every numeric box holds a number or nothing; otherwise says which and focuses it.
    bool numbersStorable();
    void ConfigureForm();
    void cboDestroyed_Click();
    // Swallows every key; y/Y and n/N switch the state. Returns false (the key is discarded).
    bool cboDestroyed_KeyPress(int key);
    // Entering the installation tab: the head caption and the paddle copies.
    void showInstallationTab();

signals:
    // The form shows another sensor, or none, or has just stored the shown one.
    void sensorShown();

private:
    void clearForEmptyRegister();
    bool writeFields(bool lenient); // false when the database refused the row (the user was told)
    AppState& m_state;
    FrmRockvista& m_form;
};

} // namespace rv
