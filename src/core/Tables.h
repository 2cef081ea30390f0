#pragma once
// Reading tables of sensors: the existence test and the creation from the template,
// shared by the sensor register and the readings.
#include "core/State.h"

namespace rv {

// Whether the database holds a table of exactly that name. Errors are logged
// (" Module1_TableExists") and give false.
bool TableExists(const AppState& state, const QString& tableName);

// Creates the reading table of the register's current sensor from the template; when it
// exists already, asks whether to overwrite it. Errors are logged (" Module1_AddDataTable").
void AddDataTable(AppState& state);

} // namespace rv
