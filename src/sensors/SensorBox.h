#pragma once
// The sensor box `cboSensors` and the register it lists, kept in step by every panel that
// moves the register; and the construction of the sensor register's panels.
#include "sensors/SensorSets.h"

#include <QObject>
#include <memory>
#include <vector>

class QComboBox;

namespace rv {

class FrmRockvista;
class SensorForm;

// Refills the box's list with the InstrumentID of every row the register shows, in its order,
// in one step and without raising the box's selection signals.
void fillSensorList(QComboBox& box, const RecordSet& registerSet);

// Shows the register's current sensor in the box (its text, and its list entry when the
// list mirrors the register) without running the selection handling.
void showCurrentInBox(QComboBox& box, const RecordSet& registerSet);

// Refills the box, moves the register to its first row and shows it (`fillfields`), the box's
// text and the count; an empty register shows "No records".
void showFirstSensor(AppState& state, FrmRockvista& form, SensorForm& sensorForm);

// The panels of the sensor register: selection and navigation, adding and deleting, the filter.
void addSensorPanels(std::vector<std::unique_ptr<QObject>>& panels, AppState& state, FrmRockvista& form,
                     SensorForm& sensorForm);

} // namespace rv
