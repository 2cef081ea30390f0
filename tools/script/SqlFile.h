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

} // namespace script
