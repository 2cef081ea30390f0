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
    void savefields();
    void ConfigureForm();
    void cboDestroyed_Click();
    // Swallows every key; y/Y and n/N switch the state. Returns false (the key is discarded).
    bool cboDestroyed_KeyPress(int key);
    // Entering the installation tab: the head caption and the paddle copies.
    void showInstallationTab();

private:
    void clearForEmptyRegister();
    AppState& m_state;
    FrmRockvista& m_form;
};

} // namespace rv
