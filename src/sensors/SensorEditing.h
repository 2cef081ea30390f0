#pragma once
// Adding a sensor from its nine-digit number and deleting the current one.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;
class SensorForm;
class SensorFilterPanel;

class SensorEditing : public QObject {
    Q_OBJECT
public:
    SensorEditing(AppState& state, FrmRockvista& form, SensorForm& sensorForm, SensorFilterPanel& filter);

    void imgAddSensor_Click();
    // Adds the sensor whose number is the pending sensor number.
    void AddTypedSensor();
    void imgDelete_Click();

private:
    // After "already exists": the existing sensor becomes the one shown, so that the form and
    // the current row stay the same sensor.
    void showExisting(const QString& number, qint64 previous);

    AppState& m_state;
    FrmRockvista& m_form;
    SensorForm& m_sensorForm;
    SensorFilterPanel& m_filter;
};

} // namespace rv
