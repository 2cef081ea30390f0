#pragma once
// Statements run straight on the database, beside (or before) the program.
#include "db/DatabaseTarget.h"

#include <QString>
#include <QStringList>

namespace script {

// Runs every statement of sql on the database and returns the rows, values joined by "|",
// NULL as <null>, numbers in their shortest form. Only with create does a missing file
// come into being (a script making a foreign database); a query never creates one.
// Throws StepFailure with the engine's message.
QStringList runSql(const rv::DatabaseTarget& target, const QString& sql, bool create);

// Writes the database as the program's backup window does (a portable file; of a server's too).
void copyDatabase(const rv::DatabaseTarget& target, const QString& path);

// Makes each sensor's reading table as the program makes it (from the template sensordata).
void makeReadingTables(const rv::DatabaseTarget& target, const QStringList& instrumentIds);

// The tables whose names match a wildcard pattern (* and ?, regardless of case), in name order:
// what the engine's own catalogue holds, asked without its own SQL.
QStringList tableNames(const rv::DatabaseTarget& target, const QString& pattern);

} // namespace script
