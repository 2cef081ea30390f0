#include "ToolSupport.h"

#include "core/Paths.h"
#include "db/Errors.h"
#include "db/Schema.h"

#include <QDir>
#include <QFileInfo>

namespace rv {

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

std::optional<DatabaseTarget> chosenDatabase(const QString& tool, const QStringList& arguments)
{
    const QString dataDir = dataDirFromArguments(arguments);
    const QString path = dataDir + QLatin1Char('/') + kDatabaseFileName;
    try {
        const DatabaseTarget target = DatabaseTarget::choose(databaseFromArguments(arguments), dataDir, path);
        if (target.isServer() || QFileInfo::exists(path))
            return target;
    } catch (const RvError& e) {
        printLine(stderr, tool + QStringLiteral(": ") + e.description);
        return std::nullopt;
    }
    printLine(stderr, tool + QStringLiteral(": no database ") + QDir::toNativeSeparators(path)
                          + QStringLiteral("; rockvista-setup makes one."));
    return std::nullopt;
}

std::unique_ptr<QLockFile> lockDataFolder(const QString& tool, const QString& dataDir)
{
    auto lock = std::make_unique<QLockFile>(dataDir + QStringLiteral("/rockvista.lock"));
    lock->setStaleLockTime(0); // a lock left by a crashed copy is taken over, as the program does
    if (lock->tryLock(0))
        return lock;
    if (lock->error() != QLockFile::LockFailedError)
        return lock; // a folder we cannot write to: nothing will be written there either
    printLine(stderr, tool + QStringLiteral(": Rockvista has the data folder ") + QDir::toNativeSeparators(dataDir)
                          + QStringLiteral(" open; close the program and run again."));
    return nullptr;
}

} // namespace rv
