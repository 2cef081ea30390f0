#pragma once
#include <QStringList>

namespace rv {

// The data folder: --data-dir DIR among the arguments, else $ROCKVISTA_DATA_DIR,
// else <Documents>/Kelderan/Rockvista. No trailing separator.
QString dataDirFromArguments(const QStringList& arguments);

// The value of --database URL among the arguments; empty when not given (then the environment,
// the data folder's database.conf or its file decide, see DatabaseTarget::choose).
QString databaseFromArguments(const QStringList& arguments);

// A first start on a new computer: the data folder made with the supplied database, as
// rockvista-setup makes it. False, with nothing left behind, when either cannot be made.
bool createDataFolder(const QString& dataDir);

} // namespace rv
