#include "core/Paths.h"

#include <QDir>
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

} // namespace rv
