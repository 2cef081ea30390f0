#pragma once
// What the command-line tools share: printing, the data folder's database and its lock.
#include <QLockFile>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace rv {

void printLine(FILE* stream, const QString& text);

// The database of the data folder the arguments name; empty, with a message on stderr, when
// there is none.
QString existingDatabase(const QString& tool, const QStringList& arguments);

// The program's single-copy lock on the data folder, taken for the tool's run. Null with a
// message on stderr when the program (or another tool) holds it.
std::unique_ptr<QLockFile> lockDataFolder(const QString& tool, const QString& dataDir);

} // namespace rv
