// Setting up a database and copying a Rockvista file into it, on SQLite and (as db.postgres, with
// ROCKVISTA_TEST_DATABASE) on a server, where each case works in a schema of its own.
#include "Support.h"
#include "db/DatabaseCopy.h"
#include "db/DatabaseTarget.h"
#include "db/Schema.h"

#include <QCoreApplication>
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
        const QString setting = qEnvironmentVariable("ROCKVISTA_TEST_DATABASE");
        if (setting.isEmpty())
            GTEST_SKIP() << "ROCKVISTA_TEST_DATABASE names no PostgreSQL database (ctest runs these as db.postgres)";
        static int made = 0;
        m_schema = QStringLiteral("copy%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        target = Database::open(rv::DatabaseTarget::server(setting));
        target->exec(QStringLiteral("CREATE SCHEMA ") + m_schema);
        target->exec(QStringLiteral("SET search_path TO ") + m_schema);
    }
    void TearDown() override
    {
        if (target && server())
            target->exec(QStringLiteral("DROP SCHEMA ") + m_schema + QStringLiteral(" CASCADE"));
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

    QTemporaryDir m_dir;
    QString m_schema;
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

INSTANTIATE_TEST_SUITE_P(Engines, CopyTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Postgres" : "Sqlite"; });

} // namespace
