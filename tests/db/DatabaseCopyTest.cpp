// Setting up a database and copying a Rockvista file into it, on SQLite and (as db.postgres, with
// ROCKVISTA_TEST_DATABASE) on a server, where each case works in a schema of its own.
#include "Support.h"
#include "SuppliedOnEngine.h"
#include "db/DatabaseCopy.h"
#include "db/DatabaseTarget.h"
#include "db/Maintenance.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

using rv::Database;

namespace {

class CopyTest : public ::testing::TestWithParam<bool> {
protected:
    bool server() const { return GetParam(); }
    void SetUp() override
    {
        file = Database::create(m_dir.filePath(QStringLiteral("RockvistagSTAY.mdb")));
        rv::createSuppliedDatabase(*file, QStringLiteral("KLD-"));
        rv::addDemoData(*file);
        if (!server()) {
            target = Database::create(m_dir.filePath(QStringLiteral("target.db")));
            return;
        }
        target = m_schema.open(QStringLiteral("copy"));
        if (!target)
            GTEST_SKIP() << "ROCKVISTA_TEST_DATABASE names no PostgreSQL database (ctest runs these as db.postgres)";
    }
    void TearDown() override
    {
        if (target && server())
            m_schema.drop(*target);
    }
    qint64 count(Database& db, const QString& table)
    {
        return db.query(QStringLiteral("SELECT count(*) FROM ") + rv::sqlName(table)).value(0).value(0).toLongLong();
    }
    QStringList readingColumns()
    {
        QStringList names;
        for (const Database::Column& c : file->columns(QStringLiteral("sensordata")))
            names << c.name;
        return names;
    }

    // Every table's rows and checksum, by its name in lower case (a server folds plain names).
    using State = QMap<QString, QPair<qint64, quint64>>;
    State state(Database& db)
    {
        State tables;
        for (const QString& table : db.tableNames()) {
            QStringList names;
            for (const Database::Column& c : db.columns(table))
                names << c.name;
            tables.insert(table.toLower(), {count(db, table), rv::tableChecksum(db, table, names)});
        }
        return tables;
    }
    QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    rv::test::ServerSchema m_schema;
    std::unique_ptr<Database> file, target;
};

TEST_P(CopyTest, TheSuppliedTablesAreSetUpOnlyInAnEmptyDatabase)
{
    rv::createSuppliedDatabase(*target, QStringLiteral("M-1"));
    EXPECT_EQ(rv::schemaProblem(*target), QString());
    EXPECT_EQ(target->query(QStringLiteral("SELECT MineID, MaxY FROM Prefs")).value(0),
              (QVariantList{QStringLiteral("M-1"), 5000.0}));
    rv::createReadingTable(*target, QStringLiteral("120375001"));
    target->exec(QStringLiteral("INSERT INTO \"120375001\" (DateTimeKey, Channel1) VALUES (?, ?)"),
                 {QStringLiteral("k"), 0.1 + 0.2});
    EXPECT_EQ(target->query(QStringLiteral("SELECT Channel1 FROM \"120375001\"")).value(0).value(0).toDouble(), 0.1 + 0.2);

    const QStringList before = target->tableNames();
    const int refused = rv::test::errorOf([&] { rv::requireEmptyDatabase(*target); });
    EXPECT_EQ(refused, 3012);
    EXPECT_EQ(target->tableNames(), before);
    EXPECT_EQ(count(*target, QStringLiteral("Prefs")), 1);
}

// Every table's rows arrive in order with the same values; the program's own tables stay behind.
TEST_P(CopyTest, AFileIsCopiedWholeAndCheckedAndACopyIntoAFullDatabaseIsRefused)
{
    file->exec(QStringLiteral("CREATE TABLE ChartPasses (InstrumentID TEXT)"));
    file->exec(QStringLiteral("INSERT INTO \"120375003\" (DateTimeKey, ReadingDate, Channel1) VALUES (?, ?, ?)"),
               {QStringLiteral("it's \"quoted\", ü"), QString(""), -0.0});
    // What a bulk copy's text form must escape, and numbers at the ends of the doubles' range.
    file->exec(QStringLiteral("INSERT INTO \"120375003\" (DateTimeKey, ReadingDate, Channel1, Channel2, Channel3) "
                              "VALUES (?, ?, ?, ?, ?)"),
               {QStringLiteral("tab\tline\nreturn\rback\\slash \\N"), QStringLiteral("\\."), 1e300, 5e-324,
                0.1 + 0.2});
    const rv::CopyReport report = rv::copyDatabase(*file, *target);
    EXPECT_EQ(report.tables, 9);
    EXPECT_EQ(report.sensors, 4);
    EXPECT_EQ(report.leftOut, QStringList{QStringLiteral("ChartPasses")});
    ASSERT_EQ(report.counts.size(), 9);
    qint64 readings = 0;
    for (const auto& [table, rows] : report.counts) {
        EXPECT_EQ(rows, count(*file, table)) << table.toStdString();
        EXPECT_EQ(count(*target, table), rows) << table.toStdString();
        if (table.front().isDigit()) {
            readings += rows;
            EXPECT_EQ(rv::tableChecksum(*target, table, readingColumns()), rv::tableChecksum(*file, table, readingColumns()));
        }
    }
    EXPECT_EQ(report.readings, readings);
    EXPECT_GT(readings, 300);
    EXPECT_EQ(rv::schemaProblem(*target), QString());
    EXPECT_EQ(target->query(QStringLiteral("SELECT MineID FROM Prefs")).value(0).value(0), QVariant(QStringLiteral("KLD-")));
    // The unique sensor number holds on the copy.
    EXPECT_NE(rv::test::errorOf([&] {
                  target->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES ('120375001')"));
              }),
              0);

    const qint64 sensors = count(*target, QStringLiteral("Sensors"));
    EXPECT_EQ(rv::test::errorOf([&] { rv::copyDatabase(*file, *target); }), 3012);
    EXPECT_EQ(count(*target, QStringLiteral("Sensors")), sensors);
    EXPECT_EQ(target->tableNames().size(), 9);
}

// A value the target keeps otherwise than the file (a number in a column of no type becomes a
// server's text) is caught by the checksum and nothing stays.
TEST_P(CopyTest, AValueThatDoesNotComeBackAsItWasRollsTheWholeCopyBack)
{
    file->exec(QStringLiteral("ALTER TABLE \"130175001\" ADD COLUMN Extra"));
    file->exec(QStringLiteral("UPDATE \"130175001\" SET Extra = 2.5"));
    if (!server()) {
        EXPECT_EQ(rv::copyDatabase(*file, *target).tables, 9);
        return;
    }
    EXPECT_EQ(rv::test::errorOf([&] { rv::copyDatabase(*file, *target); }), 3197);
    EXPECT_TRUE(target->tableNames().isEmpty());
}

// A server's data goes to the same backup file a file database gets, and comes back from it
// over whatever the server held meanwhile; the file restore takes that file too.
TEST_P(CopyTest, ABackupFileOfTheDatabaseRestoresItsTablesOverLaterChanges)
{
    rv::copyDatabase(*file, *target);
    const State before = state(*target);
    const QString backup = path(QStringLiteral("gSTAYbackup1.mdb"));
    EXPECT_EQ(rv::maintenance::backupDatabase(*target, backup).tables, 9);
    EXPECT_EQ(rv::maintenance::checkDatabaseFile(backup), QString());
    {
        auto copy = Database::openReadOnly(backup);
        EXPECT_EQ(state(*copy), before);
        // Named as the program names them, whatever the server folded them to.
        EXPECT_EQ(copy->query(QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'Sensors'")).size(), 1);
        EXPECT_EQ(copy->columns(QStringLiteral("Sensors")).value(0).name, QStringLiteral("InstrumentID"));
        EXPECT_EQ(copy->columns(QStringLiteral("120375001")).value(4).name, QStringLiteral("Channel1"));
    }
    const QString restoredFile = path(QStringLiteral("restored.mdb"));
    rv::maintenance::restoreFile(backup, restoredFile);
    EXPECT_EQ(state(*Database::openReadOnly(restoredFile)), before);

    target->exec(QStringLiteral("DELETE FROM \"120375002\""));
    target->exec(QStringLiteral("UPDATE Prefs SET MineID = 'changed'"));
    target->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES ('999999999')"));
    target->exec(rv::tableSql(*target, QStringLiteral("ChartPasses"), {{QStringLiteral("InstrumentID"), QStringLiteral("TEXT"), {}}}));
    ASSERT_NE(state(*target), before);
    EXPECT_EQ(rv::maintenance::restoreDatabase(backup, *target).tables, 9);
    EXPECT_EQ(state(*target), before);
    EXPECT_EQ(rv::schemaProblem(*target), QString());
    EXPECT_NE(rv::test::errorOf([&] {
                  target->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES ('120375001')"));
              }),
              0);
}

TEST_P(CopyTest, AFailedBackupOrRestoreLeavesTheOldBackupAndTheDataAsTheyWere)
{
    const QString backup = path(QStringLiteral("gSTAYbackup1.mdb"));
    rv::maintenance::backupDatabase(*file, backup);
    // A database that is not the program's is not replaced.
    target->exec(QStringLiteral("CREATE TABLE Other (x TEXT)"));
    EXPECT_EQ(rv::test::errorOf([&] { rv::maintenance::restoreDatabase(backup, *target); }), 3012);
    EXPECT_EQ(target->tableNames().size(), 1);
    target->exec(QStringLiteral("DROP TABLE Other"));
    rv::maintenance::restoreDatabase(backup, *target);
    const State whole = state(*target);
    const QByteArray old = bytes(backup);

    // A sensor without its reading table would make a backup the program cannot open.
    target->exec(QStringLiteral("DROP TABLE \"130175001\""));
    EXPECT_EQ(rv::test::errorOf([&] { rv::maintenance::backupDatabase(*target, backup); }), 11);
    EXPECT_EQ(bytes(backup), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral(".gSTAYbackup*")}, QDir::Files | QDir::Hidden), QStringList());
    rv::maintenance::restoreDatabase(backup, *target);
    EXPECT_EQ(state(*target), whole);

    const QString damaged = path(QStringLiteral("damaged.mdb"));
    QFile::copy(backup, damaged);
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(f.size() / 2);
        f.write(QByteArray(4096, '\x5a'));
    }
    EXPECT_EQ(rv::test::errorOf([&] { rv::maintenance::restoreDatabase(damaged, *target); }), 26);
    EXPECT_EQ(state(*target), whole);

    if (!server())
        return;
    // A value the server keeps otherwise than the file shows only after every table was dropped
    // and copied: the whole restore rolls back.
    const QString odd = path(QStringLiteral("odd.mdb"));
    QFile::copy(backup, odd);
    {
        auto db = Database::open(odd);
        db->exec(QStringLiteral("ALTER TABLE \"130175001\" ADD COLUMN Extra"));
        db->exec(QStringLiteral("UPDATE \"130175001\" SET Extra = 2.5"));
    }
    EXPECT_EQ(rv::maintenance::checkDatabaseFile(odd), QString());
    EXPECT_EQ(rv::test::errorOf([&] { rv::maintenance::restoreDatabase(odd, *target); }), 3197);
    EXPECT_EQ(state(*target), whole);
}

INSTANTIATE_TEST_SUITE_P(Engines, CopyTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Postgres" : "Sqlite"; });

} // namespace
