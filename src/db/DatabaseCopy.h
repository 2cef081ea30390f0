#pragma once
// Moving a Rockvista file into another database (a team's server): the five supplied tables and
// every sensor's reading table, with their columns and the indexes both engines know, in one
// transaction that is kept only when every table's row count and checksum read back agree.
// What the program keeps for itself beside them (the chart passes' memory and blocks) stays
// behind: the program makes it again.
#include "db/Database.h"

#include <QPair>
#include <functional>

namespace rv {

// The database must hold no table at all; else throws 3012 naming it (without its password) and
// saying that nothing was changed.
void requireEmptyDatabase(Database& db);

// An engine-neutral checksum of a table's rows in rowid order over the named columns: a number
// counts as its double's bits, whichever engine or column type holds it; a text as its UTF-8 bytes.
quint64 tableChecksum(Database& db, const QString& table, const QStringList& columns);

struct CopyReport {
    int tables = 0;           // copied, the reading tables included
    QVector<QPair<QString, qint64>> counts; // each table copied and its rows, as checked
    int sensors = 0;          // reading tables copied
    qint64 rows = 0;          // of every table copied
    qint64 readings = 0;      // of the reading tables
    quint64 readingsSum = 0;  // the reading tables' checksums combined, in sensor order
    QStringList leftOut;      // tables of the file that were not copied
};

// Empty: the target must hold no table. Replace: the target must be empty or a Rockvista
// database, and every table it holds is dropped in the copy's transaction (a restore).
enum class CopyInto { Empty, Replace };

// Copies from (a Rockvista database of either engine, read only) into to. Throws RvError: the
// target refused or the source not a Rockvista database (nothing changed), a table that cannot
// be made or a value the target refuses, a count or checksum that differs (all rolled back).
// progress, if given, hears of each table as it is copied. The supplied tables and their columns
// keep the program's spelling whatever case the source folded them to.
CopyReport copyDatabase(Database& from, Database& to, const std::function<void(const QString& table)>& progress = {},
                        CopyInto mode = CopyInto::Empty);

} // namespace rv
