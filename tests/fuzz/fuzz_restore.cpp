// Arbitrary bytes as a backup to restore: the check must refuse or pass them without crashing,
// and a refused file never replaces the working database.
#include "db/Maintenance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("backup.mdb"));
    const QString target = dir.filePath(QStringLiteral("RockvistagSTAY.mdb"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    {
        QFile t(target);
        if (!t.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        t.write("working");
    }
    const QString problem = rv::maintenance::checkDatabaseFile(path);
    try {
        rv::maintenance::restoreFile(path, target);
        if (!problem.isEmpty())
            std::abort(); // restored what the check refused
    } catch (...) {
        QFile t(target);
        if (!t.open(QIODevice::ReadOnly) || t.readAll() != "working")
            std::abort(); // a refused restore touched the working file
    }
    QFile::remove(path);
    QFile::remove(target);
    QFile::remove(path + QStringLiteral("-journal"));
    return 0;
}
