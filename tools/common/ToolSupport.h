#pragma once
// What the command-line tools share: printing, the data folder's database and its lock.
#include "db/DatabaseTarget.h"

#include <QLockFile>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace rv {

void printLine(FILE* stream, const QString& text);

// The database the arguments choose (--database URL, else ROCKVISTA_DATABASE, the data folder's
// database.conf, its file); none, with a message on stderr, when the setting cannot be read or
// the folder has no file.
std::optional<DatabaseTarget> chosenDatabase(const QString& tool, const QStringList& arguments);

// The program's single-copy lock on the data folder, taken for the tool's run. Null with a
// message on stderr when the program (or another tool) holds it.
std::unique_ptr<QLockFile> lockDataFolder(const QString& tool, const QString& dataDir);

} // namespace rv
