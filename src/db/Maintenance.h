#pragma once
// Whole-file work on a database: consistent backup copies, the check of a file before it may
// replace the working database, and compaction. Every file is written under a temporary name
// beside its target and renamed into place, so that a failure or a crash never leaves a
// half-written file under a real name. Failures throw RvError.
#include "db/DatabaseCopy.h"
#include "db/DatabaseTarget.h"

#include <QString>

namespace rv::maintenance {

// Removes the temporary copies that backups and restores cut short (a crash, a kill) left in
// folder for the files whose names match targetPattern ("gSTAYbackup*.mdb"). Call only while
// no backup or restore into folder runs.
void removeLeftTemporaries(const QString& folder, const QString& targetPattern);

// A consistent copy of the database at source, written to target (replacing a file of that
// name). The source is only read.
void backupFile(const QString& source, const QString& target);

// The same portable backup file as backupFile's, of a database of either engine (a team's server):
// the copy of copyDatabase into a new file, read in one snapshot of the source, kept under target
// only when its counts and checksums agree and checkDatabaseFile passes it. What the program keeps
// for itself (the chart passes' memory) stays behind. On any failure target stays as it was.
CopyReport backupDatabase(Database& source, const QString& target);

// Replaces the data of target (either engine; a server, as restoreFile cannot) with the backup
// file's, after checkDatabaseFile, in one transaction: every table of target dropped, the file's
// copied in and checked as copyDatabase does. On any failure target's data stays as it was.
CopyReport restoreDatabase(const QString& backup, Database& target);

// Empty when the file is a Rockvista database (an SQLite file with the five supplied tables
// and their columns, and a reading table for each sensor of its register) that passes
// PRAGMA quick_check; otherwise why not. The file is opened read-only.
QString checkDatabaseFile(const QString& path);

// Replaces target with a byte copy of backup, after checkDatabaseFile; target stays exactly as
// it was when anything fails. Call with every connection to target closed.
void restoreFile(const QString& backup, const QString& target);

// Compaction is for a file: a server reclaims its free space itself.
// Rewrites the database at path without free space into copyPath, then renames that over path.
// A copy left behind by an earlier, interrupted compaction is replaced. Returns false when the
// file had no free pages and was left as it was. Call with every connection to path closed.
bool compactFile(const QString& path, const QString& copyPath);

// The same for the database a target names, as the program's backup window does it: the file by
// backupFile, restoreFile and compactFile; a server's through a connection of their own (it must
// hold a Rockvista database) by backupDatabase and restoreDatabase, and never compacted (false).
// Call with the program's own connection closed.
void backup(const DatabaseTarget& target, const QString& backupPath);
void restore(const QString& backupPath, const DatabaseTarget& target);
bool compact(const DatabaseTarget& target, const QString& copyPath);

} // namespace rv::maintenance
