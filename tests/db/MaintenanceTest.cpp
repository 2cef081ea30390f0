#include "DbFixture.h"
#include "db/Maintenance.h"

#include <QDir>
#include <QFile>

using namespace rv;

namespace {

class MaintenanceTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        for (int day = 1; day <= 20; ++day)
            addReading(day);
        working = db->path();
        db.reset(); // every whole-file operation runs with the connection closed
        QDir(dir.path()).mkdir(QStringLiteral("gSTAYbackup"));
    }

    QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    qint64 readingCount(const QString& path)
    {
        return Database::openReadOnly(path)->query(QStringLiteral("SELECT count(*) FROM \"123475001\""))[0][0].toLongLong();
    }
    QStringList folder(const QString& sub = {}) { return QDir(dir.filePath(sub)).entryList(QDir::Files | QDir::Hidden); }

    QString working;
    QString backup() { return dir.filePath(QStringLiteral("gSTAYbackup/gSTAYbackup2024-06-30.mdb")); }
};

} // namespace

TEST_F(MaintenanceTest, BackupIsACheckedCopyThatReplacesTheDaysEarlierOne)
{
    write(backup(), "an older backup of the day");
    write(dir.filePath("gSTAYbackup/.gSTAYbackup2024-06-30.mdb.tmp-0a1b2c"), "a copy cut short by a crash");
    maintenance::backupFile(working, backup());
    EXPECT_EQ(maintenance::checkDatabaseFile(backup()), QString());
    EXPECT_EQ(readingCount(backup()), 20);
    EXPECT_EQ(folder(QStringLiteral("gSTAYbackup")), QStringList{QStringLiteral("gSTAYbackup2024-06-30.mdb")});
    EXPECT_EQ(folder(), QStringList{kDatabaseFileName}); // no journal or temporary file left

    // A source that is no database: the earlier backup stays and nothing else is left.
    const QByteArray before = bytes(backup());
    write(dir.filePath("other.mdb"), "not a database at all");
    EXPECT_THROW(maintenance::backupFile(dir.filePath("other.mdb"), backup()), RvError);
    EXPECT_EQ(bytes(backup()), before);
    EXPECT_EQ(folder(QStringLiteral("gSTAYbackup")).size(), 1);
}

TEST_F(MaintenanceTest, RestoreRefusesWhatIsNoGoodDatabaseAndLeavesTheWorkingFile)
{
    maintenance::backupFile(working, backup());
    const QByteArray good = bytes(backup());
    const QByteArray original = bytes(working);

    const QString empty = dir.filePath("gSTAYbackup/empty.mdb");
    write(empty, {});
    const QString truncated = dir.filePath("gSTAYbackup/truncated.mdb");
    write(truncated, good.left(good.size() / 2));
    const QString damaged = dir.filePath("gSTAYbackup/damaged.mdb");
    QByteArray broken = good;
    for (qsizetype i = 4096 + 100; i < broken.size(); i += 97) // page 2 onwards: the tables' pages
        broken[i] = char(0xA5);
    write(damaged, broken);
    const QString foreign = dir.filePath("gSTAYbackup/foreign.mdb");
    Database::create(foreign)->exec(QStringLiteral("CREATE TABLE notes (t TEXT)"));
    const QString text = dir.filePath("gSTAYbackup/readme.txt");
    write(text, "List of things\n");

    // The five tables in name only: every later save would fail.
    const QString shell = dir.filePath("gSTAYbackup/shell.mdb");
    {
        auto db = Database::create(shell);
        for (const char* table : {"Configuration", "Prefs", "Sensors", "NetworkConfig", "sensordata"})
            db->exec(QStringLiteral("CREATE TABLE %1 (x)").arg(QLatin1String(table)));
    }
    EXPECT_EQ(maintenance::checkDatabaseFile(shell), "the file is damaged: the table Configuration lacks the column SensorType");

    for (const QString& bad : {empty, truncated, damaged, foreign, text, shell}) {
        EXPECT_NE(maintenance::checkDatabaseFile(bad), QString()) << bad.toStdString();
        EXPECT_THROW(maintenance::restoreFile(bad, working), RvError) << bad.toStdString();
        EXPECT_EQ(bytes(working), original) << bad.toStdString();
    }
    EXPECT_EQ(folder(), QStringList{kDatabaseFileName});

    // A journal beside the working file would be played back into the restored one.
    write(working + "-journal", "a writer's journal");
    EXPECT_THROW(maintenance::restoreFile(backup(), working), RvError);
    EXPECT_EQ(bytes(working), original);
    QFile::remove(working + "-journal");

    // A good backup replaces the working file whole.
    {
        auto db = Database::open(working);
        db->exec(QStringLiteral("DELETE FROM \"123475001\""));
    }
    maintenance::restoreFile(backup(), working);
    EXPECT_EQ(bytes(working), good);
    EXPECT_EQ(readingCount(working), 20);
    EXPECT_EQ(folder(), QStringList{kDatabaseFileName});
}

TEST_F(MaintenanceTest, RestoreWantsAReadingTableForEachSensorWithoutItsComputedColumns)
{
    {
        auto db = Database::open(working);
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType) VALUES ('123475001', '75')"));
        // A table of an older program: the columns the charts compute are added when charted.
        db->exec(QStringLiteral("ALTER TABLE \"123475001\" DROP COLUMN zero10"));
        db->exec(QStringLiteral("ALTER TABLE \"123475001\" DROP COLUMN Load5"));
    }
    maintenance::backupFile(working, backup());
    EXPECT_EQ(maintenance::checkDatabaseFile(backup()), QString());
    {
        auto db = Database::open(working);
        db->exec(QStringLiteral("ALTER TABLE \"123475001\" DROP COLUMN Channel7"));
    }
    maintenance::backupFile(working, backup());
    EXPECT_EQ(maintenance::checkDatabaseFile(backup()),
              "the file is damaged: the reading table of sensor 123475001 lacks the column Channel7");
    {
        auto db = Database::open(working);
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType) VALUES ('123475000', '75')"));
        db->exec(QStringLiteral("ALTER TABLE \"123475001\" ADD COLUMN Channel7 REAL"));
    }
    maintenance::backupFile(working, backup());
    EXPECT_EQ(maintenance::checkDatabaseFile(backup()),
              "the file is damaged: the reading table of sensor 123475000 is missing");
}

TEST_F(MaintenanceTest, CompactionRewritesOnlyAFileWithFreeSpace)
{
    const QString copy = dir.filePath(QStringLiteral("Copy_") + kDatabaseFileName);
    EXPECT_FALSE(maintenance::compactFile(working, copy)); // nothing to gain
    {
        auto db = Database::open(working);
        db->exec(QStringLiteral("CREATE TABLE filler (t TEXT)"));
        Transaction tx(*db);
        for (int i = 0; i < 200; ++i)
            db->exec(QStringLiteral("INSERT INTO filler VALUES (?)"), {QString(2000, QLatin1Char('x'))});
        tx.commit();
        db->exec(QStringLiteral("DROP TABLE filler"));
    }
    const qint64 before = QFileInfo(working).size();
    write(copy, "left by an interrupted compaction");
    EXPECT_TRUE(maintenance::compactFile(working, copy));
    EXPECT_LT(QFileInfo(working).size(), before / 4);
    EXPECT_EQ(maintenance::checkDatabaseFile(working), QString());
    EXPECT_EQ(readingCount(working), 20);
    EXPECT_EQ(folder(), QStringList{kDatabaseFileName});
}
