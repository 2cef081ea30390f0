#pragma once
// The readings tab: the current sensor's readings, one at a time.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;

class ReadingsPanel : public QObject {
    Q_OBJECT
public:
    ReadingsPanel(AppState& state, FrmRockvista& form);
    ~ReadingsPanel() override;

    // The tab switchboard's steps for the readings tab.
    void enterTab();
    void leaveTab(); // remembers the current reading, then saves it

    bool ReadingValid();
    void SaveReadings();

    // Shared with the deletion and datasheet windows.
    void OpenSensorData();
    void fillreadings();
    void showPosition(); // "3 of 17" into txtRcount ("0 of 0" for an empty table)

private:
    AppState& m_state;
    FrmRockvista& m_form;
};

} // namespace rv
