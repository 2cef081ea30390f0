#include "core/Paths.h"

#include "db/Schema.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace rv {

QString dataDirFromArguments(const QStringList& arguments)
{
    const int i = arguments.indexOf(QStringLiteral("--data-dir"));
    if (i >= 0 && i + 1 < arguments.size())
        return QDir::cleanPath(QDir(arguments[i + 1]).absolutePath());
    const QString env = qEnvironmentVariable("ROCKVISTA_DATA_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).trimmed();
    return QDir::cleanPath(docs + QStringLiteral("/Kelderan/Rockvista"));
}

QString databaseFromArguments(const QStringList& arguments)
{
    const int i = arguments.indexOf(QStringLiteral("--database"));
    return i >= 0 && i + 1 < arguments.size() ? arguments[i + 1] : QString();
}

bool createDataFolder(const QString& dataDir)
{
    if (!QDir().mkpath(dataDir))
        return false;
    const QString path = dataDir + QLatin1Char('/') + kDatabaseFileName;
    try {
        auto db = Database::create(path);
        createSuppliedDatabase(*db, QLatin1String(""));
    } catch (const RvError&) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        QDir().rmdir(dataDir);
        return false;
    }
    return true;
}

} // namespace rv
