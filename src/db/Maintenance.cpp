#include "db/Maintenance.h"

#include "db/Database.h"
#include "db/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace rv::maintenance {

namespace {

constexpr int kFileError = 75; // "Path/File access error"

[[noreturn]] void fileError(const QString& what, const QString& path)
{
    throw RvError(kFileError, what + QStringLiteral(": ") + QDir::toNativeSeparators(path)
                                  + QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char(')'));
}

const QString kTemporaryMark = QStringLiteral(".tmp-");

// A name beside target that no one else uses.
QString temporaryBeside(const QString& target)
{
    // Hidden, so that the backup list never offers an unfinished copy.
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + kTemporaryMark
           + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

void syncPath(const QString& path, bool directory)
{
    const int fd = ::open(QFile::encodeName(path).constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0) {
        if (directory)
            return; // not every file system lets a folder be opened; the data is synced
        fileError(QStringLiteral("Cannot open"), path);
    }
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0 && !directory)
        fileError(QStringLiteral("Cannot write"), path);
}

// Puts a finished temporary file in target's place in one step.
void renameInto(const QString& temporary, const QString& target)
{
    syncPath(temporary, false);
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0)
        fileError(QStringLiteral("Cannot rename"), temporary);
    syncPath(QFileInfo(target).absolutePath(), true);
}

// Removes a temporary file when the work on it did not finish.
class TemporaryFile {
public:
    explicit TemporaryFile(QString path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_kept) {
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
        }
    }
    const QString& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// A journal beside a database would be played back into whatever file takes its name.
void requireNoJournal(const QString& path)
{
    if (QFileInfo::exists(path + QStringLiteral("-journal")))
        throw RvError(SQLITE_BUSY, QStringLiteral("The database is in use or was left unfinished: ")
                                       + QDir::toNativeSeparators(path));
}

} // namespace

void removeLeftTemporaries(const QString& folder, const QString& targetPattern)
{
    // One running copy of the program owns the data folder, so no one else can be writing them.
    QDir dir(folder);
    const QString pattern = QLatin1Char('.') + targetPattern + kTemporaryMark + QLatin1Char('*');
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden))
        dir.remove(name);
}

void backupFile(const QString& source, const QString& target)
{
    auto from = Database::open(source); // rolls back what a crashed writer left
    removeLeftTemporaries(QFileInfo(target).absolutePath(), QFileInfo(target).fileName());
    TemporaryFile tmp(temporaryBeside(target));
    {
        auto to = Database::create(tmp.path());
        // The copy is synced once, whole, before it takes its name: a journal of its own and
        // syncs along the way would only double the writing.
        to->query(QStringLiteral("PRAGMA journal_mode=OFF"));
        to->exec(QStringLiteral("PRAGMA synchronous=OFF"));
        sqlite3_backup* backup = sqlite3_backup_init(to->handle(), "main", from->handle(), "main");
        if (!backup)
            to->fail(sqlite3_errcode(to->handle()));
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            to->fail(rc == SQLITE_OK ? SQLITE_ERROR : rc);
    }
    renameInto(tmp.path(), target);
    tmp.keep();
}

CopyReport backupDatabase(Database& source, const QString& target)
{
    removeLeftTemporaries(QFileInfo(target).absolutePath(), QFileInfo(target).fileName());
    TemporaryFile tmp(temporaryBeside(target));
    CopyReport report;
    {
        // Another engineer's commit in the middle would tear the copy apart.
        Transaction snapshot(source);
        if (!source.handle())
            source.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        auto to = Database::create(tmp.path());
        // A failed copy is thrown away whole: nothing needs to be journalled on disk.
        to->query(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        to->exec(QStringLiteral("PRAGMA synchronous=OFF"));
        report = copyDatabase(source, *to);
    }
    const QString problem = checkDatabaseFile(tmp.path());
    if (!problem.isEmpty())
        throw RvError(SQLITE_CORRUPT, QStringLiteral("The backup of %1 would not be a whole Rockvista database (%2); "
                                                     "nothing was written.")
                                          .arg(source.path(), problem));
    renameInto(tmp.path(), target);
    tmp.keep();
    return report;
}

CopyReport restoreDatabase(const QString& backup, Database& target)
{
    const QString problem = checkDatabaseFile(backup);
    if (!problem.isEmpty())
        throw RvError(SQLITE_NOTADB, QDir::toNativeSeparators(backup) + QStringLiteral(": ") + problem);
    auto from = Database::openReadOnly(backup);
    return copyDatabase(*from, target, {}, CopyInto::Replace);
}

QString checkDatabaseFile(const QString& path)
{
    try {
        if (QFileInfo(path).size() == 0)
            return QStringLiteral("the file is empty");
        auto db = Database::openReadOnly(path);
        if (!db->hasSuppliedTables())
            return QStringLiteral("the file lacks the tables of a Rockvista database");
        const auto rows = db->query(QStringLiteral("PRAGMA quick_check"));
        if (rows.size() != 1 || rows.first().value(0).toString() != QLatin1String("ok"))
            return QStringLiteral("the file is damaged: ")
                   + (rows.isEmpty() ? QString() : rows.first().value(0).toString());
        // A file with the five tables but not their columns would take every later save down.
        const QString problem = schemaProblem(*db);
        if (!problem.isEmpty())
            return QStringLiteral("the file is damaged: ") + problem;
    } catch (const RvError& e) {
        return e.description;
    }
    return {};
}

void restoreFile(const QString& backup, const QString& target)
{
    const QString problem = checkDatabaseFile(backup);
    if (!problem.isEmpty())
        throw RvError(SQLITE_NOTADB, QDir::toNativeSeparators(backup) + QStringLiteral(": ") + problem);
    requireNoJournal(target);
    removeLeftTemporaries(QFileInfo(target).absolutePath(), QFileInfo(target).fileName());
    TemporaryFile tmp(temporaryBeside(target));
    if (!QFile::copy(backup, tmp.path()))
        fileError(QStringLiteral("Cannot copy"), backup);
    QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    renameInto(tmp.path(), target);
    tmp.keep();
}

bool compactFile(const QString& path, const QString& copyPath)
{
    {
        auto db = Database::open(path);
        if (db->query(QStringLiteral("PRAGMA freelist_count")).value(0).value(0).toLongLong() == 0)
            return false;
        // A copy left by an interrupted compaction is no database anyone uses.
        QFile::remove(copyPath);
        TemporaryFile partial(copyPath);
        // Governs only how the copy is written; it is synced once, whole, before the rename.
        db->exec(QStringLiteral("PRAGMA synchronous=OFF"));
        db->exec(QStringLiteral("VACUUM INTO ?"), {copyPath});
        partial.keep();
    }
    TemporaryFile copy(copyPath);
    requireNoJournal(path);
    renameInto(copyPath, path);
    copy.keep();
    return true;
}

void backup(const DatabaseTarget& target, const QString& backupPath)
{
    if (!target.isServer())
        return backupFile(target.sqlitePath(), backupPath);
    auto db = Database::openSupplied(target);
    backupDatabase(*db, backupPath);
}

void restore(const QString& backupPath, const DatabaseTarget& target)
{
    if (!target.isServer())
        return restoreFile(backupPath, target.sqlitePath());
    auto db = Database::openSupplied(target);
    restoreDatabase(backupPath, *db);
}

bool compact(const DatabaseTarget& target, const QString& copyPath)
{
    return !target.isServer() && compactFile(target.sqlitePath(), copyPath);
}

} // namespace rv::maintenance
