#pragma once
// Reading tables of sensors: the existence test and the creation from the template,
// shared by the sensor register and the readings.
#include "core/State.h"

namespace rv {

// Whether the database holds a table of exactly that name. Errors are logged
// (" Module1_TableExists") and give false.
bool TableExists(const AppState& state, const QString& tableName);

// What AddDataTable does with the sensor's reading table.
enum class DataTableChoice { Create, Overwrite, Keep };

// The questions of AddDataTable, asked on their own so that a caller can ask them before it
// opens a transaction: Create when no table of that name exists, else the user's answer
// ("Table … Already Exists", then whether to overwrite it).
DataTableChoice askDataTable(const AppState& state, const QString& instrumentId);

// Creates the reading table of the sensor (the register's current one) from the template; when
// it exists already, asks whether to overwrite it. Errors are logged (" Module1_AddDataTable").
void AddDataTable(AppState& state, const QString& instrumentId);
// As above, with the questions already answered.
void AddDataTable(AppState& state, const QString& instrumentId, DataTableChoice choice);

} // namespace rv
