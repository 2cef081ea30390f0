#pragma once
// The register's record operations: a sensor's rows and reading table, created and removed,
// and the sensor list the selection box shows.
#include "db/RecordSet.h"
#include "sensors/domain/SensorNumber.h"

#include <QDate>
#include <QStringList>
#include <functional>

namespace rv {

// Whether the Sensors table holds the number, whatever the register's filter shows.
bool sensorRowExists(Database& db, const QString& instrumentId);

// Appends the Sensors row of a new sensor to the register, with the defaults of the type row
// the type table stands on, and stores it; the new row is the register's current row.
void addSensorRow(RecordSet& registerSet, const RecordSet& typeRow, const SensorNumber& number, const QDate& today);

// The sensor's row in the logger network: not yet placed.
void addNetworkRow(Database& db, const QString& instrumentId);

// Deletes the register's current sensor: its reading table, its network row and its Sensors
// row, in that order, each attempted even when an earlier one failed. Returns the number
// that was deleted ("" when the register stood on no row). A failed commit rolls all three
// back, re-reads the register and throws.
QString deleteCurrentSensor(Database& db, RecordSet& registerSet);

// The InstrumentID of every row the register shows, in its order.
QStringList instrumentIds(const RecordSet& registerSet);

// The list search of the sensor box: the first entry, after the first one and wrapping
// around to it, that begins with the prefix (letter case ignored); -1 when none does.
int findPrefix(int count, const std::function<QString(int)>& entry, const QString& prefix);

} // namespace rv
