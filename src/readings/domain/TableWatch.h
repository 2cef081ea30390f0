#pragma once
// Where a table's own triggers fire for every writer (Database::watchesByTableTriggers), a
// reading table carries permanent triggers doing what a connection's temporary ones do on the
// file: readings whose channels or plot box change are flagged dirty for the chart pass, and the
// chart blocks of readings added clean, moved, unmarked or deleted are marked stale. Every
// program, import, write-back and tool then keeps them, so nothing written escapes the pass.
#include <QString>

namespace rv {

class Database;

// Whether the table carries the triggers this program makes for its columns. When it does not
// (a table made before them, by a copy or a restore, or given a column since), they are made, with
// the functions and tables they use, and what the chart pass and the chart blocks remembered of
// the table is forgotten: no trigger saw its edits until then. false: they cannot be made (no
// IsDirty, or the connection may not alter the table); its passes are then whole and it keeps no
// blocks.
bool watchTable(Database& db, const QString& instrumentId);

// The seconds of a FullDate in the written form (as the program reads it: a real date and time),
// else Null, as the engine's SQL writes it; value is an SQL expression.
QString writtenSeconds(Database& db, const QString& value);

} // namespace rv
