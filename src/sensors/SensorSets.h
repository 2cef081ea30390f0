#pragma once
// The long-lived sets every sensors handler reaches, each failing with error 91 when the
// database never opened it. Kept apart from the sensor box so the form and the box need not
// include each other.
#include "core/State.h"

namespace rv {

// The register record set.
RecordSet& sensorRegister(AppState& state);
// The type table.
RecordSet& typeTable(AppState& state);
// The one connection.
Database& connection(AppState& state);

} // namespace rv
