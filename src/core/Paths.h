#pragma once
#include <QStringList>

namespace rv {

// The data folder: --data-dir DIR among the arguments, else $ROCKVISTA_DATA_DIR,
// else <Documents>/Kelderan/Rockvista. No trailing separator.
QString dataDirFromArguments(const QStringList& arguments);

} // namespace rv
