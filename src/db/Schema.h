#pragma once
// The supplied database: its five tables, the reading tables made from the template,
// and the sample data a newcomer sees with --demo.
#include "db/Database.h"

namespace rv {

inline const QString kDatabaseFileName = QStringLiteral("RockvistagSTAY.mdb");

// Creates the five tables with the type "75" row and the one Prefs row.
void createSuppliedDatabase(Database& db, const QString& mineId);
// Adds a few sensors with some months of readings (today's date as the end).
void addDemoData(Database& db);

// Why db is not whole as the supplied database defines it: one of the five tables lacks one of
// its columns, or a sensor of the register has no reading table with the columns a reading is
// stored with (the computed ones may be missing: the charts add them).
// Empty when whole. Names are compared without regard to case, as the program uses them.
QString schemaProblem(Database& db);

// A table or column name as SQL: a plain word as it is (a server folds it to lower case, as it
// folds the same word in every statement), anything else quoted.
QString sqlName(const QString& name);

// A column of a table to be made: its type as SQLite declares it (REAL, NUMERIC TEXT ...), and
// what follows the type (UNIQUE NOT NULL, DEFAULT ''), written alike on both engines.
struct TableColumn {
    QString name, declaredType, constraint;
};
// The CREATE TABLE text of the engine: its spelling of each type, its surrogate row id if any.
QString tableSql(const Database& db, const QString& table, const QVector<TableColumn>& columns);

// Reading tables, named by the nine-digit sensor number.
void createReadingTable(Database& db, const QString& instrumentId); // from the template sensordata
void dropReadingTable(Database& db, const QString& instrumentId);
void deleteAllReadings(Database& db, const QString& instrumentId);

} // namespace rv
