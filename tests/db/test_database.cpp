#include "DbFixture.h"

#include <QFile>
#include <chrono>
#include <thread>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST_F(DbTest, OpenRefusesWhatIsNotADatabaseAndLeavesItAlone)
{
    const QString text = dir.filePath("notes.mdb");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Standard Jet DB\nnot an SQLite file at all, but long enough to hold a header");
    }
    const QString empty = dir.filePath("empty.mdb");
    QFile(empty).open(QIODevice::WriteOnly);
    const QByteArray before = readAll(text);

    EXPECT_EQ(errorNumber([&] { rv::Database::open(text); }), 26);
    EXPECT_EQ(readAll(text), before);
    EXPECT_FALSE(QFile::exists(text + "-journal"));
    EXPECT_EQ(errorNumber([&] { rv::Database::open(empty); }), 26);
    EXPECT_EQ(QFile(empty).size(), 0);
    EXPECT_EQ(errorNumber([&] { rv::Database::open(dir.filePath("missing.mdb")); }), 14);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.mdb")));
    EXPECT_EQ(errorNumber([&] { rv::Database::create(text); }), 14);
}

TEST_F(DbTest, AnotherProgramsDatabaseIsRefusedWithoutAWrite)
{
    // A WAL database of another program: switching its journal mode would rewrite its header.
    const QString foreign = dir.filePath("foreign.mdb");
    {
        auto other = rv::Database::create(foreign);
        other->query("PRAGMA journal_mode=WAL");
        other->exec("CREATE TABLE other (x)");
        other->exec("INSERT INTO other VALUES (1)");
    }
    const QByteArray before = readAll(foreign);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(errorNumber([&] { rv::Database::openSupplied(foreign); }), 3078);
    EXPECT_EQ(readAll(foreign), before);
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        EXPECT_FALSE(QFile::exists(foreign + suffix)) << suffix;

    db.reset();
    auto own = rv::Database::openSupplied(dir.filePath(rv::kDatabaseFileName));
    EXPECT_EQ(own->query("PRAGMA journal_mode").first()[0].toString(), "delete");
}

TEST_F(DbTest, OpeningWaitsForAWriterThatHoldsTheFileForAMoment)
{
    db->exec("BEGIN EXCLUSIVE");
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        db->exec("COMMIT");
    });
    int number = 0;
    try {
        rv::Database::openSupplied(dir.filePath(rv::kDatabaseFileName));
    } catch (const rv::RvError& e) {
        number = e.number;
    }
    writer.join();
    EXPECT_EQ(number, 0);
}

TEST_F(DbTest, OpenedConnectionSeesTheSuppliedTables)
{
    db.reset();
    auto opened = rv::Database::open(dir.filePath(rv::kDatabaseFileName));
    EXPECT_TRUE(opened->hasSuppliedTables());
    EXPECT_EQ(opened->query("PRAGMA journal_mode").first()[0].toString(), "delete");
    EXPECT_EQ(opened->tableNames().join(','), "123475001,Configuration,NetworkConfig,Prefs,sensordata,Sensors");
    EXPECT_TRUE(opened->tableExists("SENSORS"));
    opened->exec("DROP TABLE Prefs");
    EXPECT_FALSE(opened->hasSuppliedTables());
    opened.reset();

    auto readOnly = rv::Database::openReadOnly(dir.filePath(rv::kDatabaseFileName));
    EXPECT_TRUE(readOnly->tableExists("Sensors"));
    EXPECT_EQ(errorNumber([&] { readOnly->exec("DELETE FROM Sensors"); }), 8); // SQLITE_READONLY
}

TEST_F(DbTest, ReadingTableKeepsTheTemplateColumnOrder)
{
    const auto tpl = db->columns("sensordata");
    const auto made = db->columns(kId);
    ASSERT_EQ(made.size(), 33);
    for (int i = 0; i < tpl.size(); ++i) {
        EXPECT_EQ(made[i].name, tpl[i].name);
        EXPECT_EQ(made[i].declaredType, tpl[i].declaredType);
    }
    const QStringList firstTen{"DateTimeKey", "ReadingDate", "ReadingTime", "ChannelT", "Channel1",
                               "Channel2",    "Channel3",    "Channel4",    "Channel5", "Channel6"};
    for (int i = 0; i < firstTen.size(); ++i)
        EXPECT_EQ(made[i].name, firstTen[i]);
    EXPECT_TRUE(made[3].numeric);
    EXPECT_FALSE(made[0].numeric);

    // Dropped and made again (the overwrite of an existing table).
    rv::dropReadingTable(*db, kId);
    EXPECT_FALSE(db->tableExists(kId));
    rv::createReadingTable(*db, kId);
    EXPECT_EQ(db->columns(kId).size(), 33);
    EXPECT_NE(errorNumber([&] { rv::createReadingTable(*db, kId); }), 0);
}

TEST_F(DbTest, SuppliedRowsAndIdentifierQuoting)
{
    rv::RecordSet types(*db, "SELECT * FROM Configuration ORDER BY SensorType");
    ASSERT_TRUE(types.find("SensorType", "75"));
    EXPECT_EQ(types.text("Model"), "g6STAY");
    EXPECT_EQ(types.value("numchannels").toInt(), 6);
    EXPECT_EQ(types.value("lowval").toDouble(), -5000.0);
    rv::RecordSet prefs(*db, "SELECT Prefs.* FROM Prefs;");
    EXPECT_EQ(prefs.recordCount(), 1);
    EXPECT_EQ(prefs.text("MineID"), "MINE");

    EXPECT_EQ(rv::Database::quoteId("a\"b"), "\"a\"\"b\"");
    rv::createReadingTable(*db, "odd\"name");
    EXPECT_TRUE(db->tableExists("odd\"name"));
}

TEST_F(DbTest, AScriptRunsStatementByStatementAndStopsAtTheFirstError)
{
    // A later statement uses the table an earlier one made; a lone ";" and a closing comment are no statements.
    const auto rows = db->queryEach("CREATE TABLE s (a, b);; INSERT INTO s VALUES (1, 'x'), (2.5, NULL);\n"
                                    "SELECT a, b FROM s ORDER BY a; SELECT count(*) FROM s -- done");
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QVariantList({qint64(1), QString("x")}));
    EXPECT_EQ(rows[1][0], QVariant(2.5));
    EXPECT_FALSE(rows[1][1].isValid());
    EXPECT_EQ(rows[2], QVariantList({qint64(2)}));
    EXPECT_EQ(db->columns("s").size(), 2);
    EXPECT_EQ(errorNumber([&] { db->queryEach("ALTER TABLE s ADD c; INSERT INTO nosuch VALUES (1); DROP TABLE s"); }), 1);
    EXPECT_EQ(db->columns("s").size(), 3); // what ran before the error stays; nothing after it ran
}

TEST_F(DbTest, TransactionsNestAndRollBackWhenLeft)
{
    {
        rv::Transaction outer(*db);
        addReading(1);
        {
            rv::Transaction inner(*db);
            addReading(2);
        } // left without commit: only the inner work is undone
        outer.commit();
    }
    EXPECT_EQ(db->query("SELECT count(*) FROM \"123475001\"").first()[0].toInt(), 1);
    EXPECT_FALSE(db->inTransaction());
    {
        rv::Transaction tx(*db);
        rv::deleteAllReadings(*db, kId);
    }
    EXPECT_EQ(db->query("SELECT count(*) FROM \"123475001\"").first()[0].toInt(), 1);
    rv::deleteAllReadings(*db, kId);
    EXPECT_EQ(db->query("SELECT count(*) FROM \"123475001\"").first()[0].toInt(), 0);
}

TEST_F(DbTest, StatementsAreOwnedHandlesThatMayOutliveTheirConnection)
{
    addReading(1);
    addReading(2);
    const QString sql = QStringLiteral("SELECT Channel1 FROM \"123475001\" ORDER BY FullDate");
    rv::Statement outer = db->prepare(sql);
    ASSERT_TRUE(outer.step());
    {
        // The same text while the first is still stepping: a statement of its own.
        rv::Statement inner = db->prepare(sql);
        ASSERT_TRUE(inner.step());
        EXPECT_EQ(inner.column(0).toDouble(), 10.0);
    }
    ASSERT_TRUE(outer.step());
    EXPECT_EQ(outer.column(0).toDouble(), 20.0);
    // A handle given back is reused reset, without its old bindings.
    outer = rv::Statement();
    rv::Statement again = db->prepare(sql);
    ASSERT_TRUE(again.step());
    EXPECT_EQ(again.column(0).toDouble(), 10.0);

    // A transient statement is finalized when released, never cached; a cached one waits idle.
    const int cached = db->cachedStatements();
    {
        rv::Statement once = db->prepareTransient(QStringLiteral("SELECT max(Channel1) FROM \"123475001\""));
        ASSERT_TRUE(once.step());
        EXPECT_EQ(once.column(0).toDouble(), 20.0);
        EXPECT_THROW(db->prepareTransient(QStringLiteral("SELECT 1; SELECT 2")), rv::RvError);
    }
    EXPECT_EQ(db->cachedStatements(), cached);
    db->prepare(QStringLiteral("SELECT max(Channel1) FROM \"123475001\""));
    EXPECT_EQ(db->cachedStatements(), cached + 1);

    rv::Statement kept = db->prepare(QStringLiteral("SELECT count(*) FROM Sensors"));
    db.reset(); // the connection goes first: the handle finalizes itself later
    again = rv::Statement();
    kept = rv::Statement();
    SUCCEED();
}

TEST_F(DbTest, CommitsAnnounceTheirTablesOnceAndRollbacksNothing)
{
    QVector<QStringList> heard;
    db->setCommitListener([&](const QStringList& tables) { heard.append(tables); });
    const auto insertSensor = [&](const char* id) {
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES (?)"), {QString::fromLatin1(id)});
    };

    insertSensor("100075001"); // a statement of its own commits at once
    ASSERT_EQ(heard.size(), 1);
    EXPECT_EQ(heard[0], QStringList({"Sensors"}));

    {
        rv::Transaction tx(*db);
        insertSensor("100075002");
        addReading(1);
        addReading(2);
        {
            rv::Transaction inner(*db);
            db->exec(QStringLiteral("INSERT INTO NetworkConfig (SensorID) VALUES ('x')"));
            inner.commit();
        }
        {
            rv::Transaction dropped(*db); // rolled back: its table is not announced
            db->exec(QStringLiteral("UPDATE Prefs SET MineID = 'y'"));
        }
        EXPECT_EQ(heard.size(), 1); // nothing before the outermost commit
        tx.commit();
    }
    ASSERT_EQ(heard.size(), 2);
    EXPECT_EQ(heard[1], QStringList({"123475001", "NetworkConfig", "Sensors"}));

    {
        rv::Transaction tx(*db);
        insertSensor("100075003");
    }
    rv::deleteAllReadings(*db, kId); // emptied whole: announced all the same
    ASSERT_EQ(heard.size(), 3);
    EXPECT_EQ(heard[2], QStringList({"123475001"}));

    // A statement of its own left after its first row commits when it is reset.
    {
        rv::Statement st = db->prepare(QStringLiteral("INSERT INTO Sensors (InstrumentID) VALUES ('100075005') RETURNING 1"));
        ASSERT_TRUE(st.step());
        st.reset();
        db->announceCommitted();
    }
    ASSERT_EQ(heard.size(), 4);
    EXPECT_EQ(heard[3], QStringList({"Sensors"}));

    // A commit that fails announces nothing.
    db->exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    db->exec(QStringLiteral("CREATE TABLE P (id TEXT PRIMARY KEY)"));
    db->exec(QStringLiteral("CREATE TABLE C (ref TEXT REFERENCES P(id) DEFERRABLE INITIALLY DEFERRED)"));
    heard.clear();
    {
        rv::Transaction tx(*db);
        insertSensor("100075004");
        db->exec(QStringLiteral("INSERT INTO C VALUES ('none')"));
        EXPECT_NE(errorNumber([&] { tx.commit(); }), 0);
    }
    EXPECT_TRUE(heard.isEmpty());
    EXPECT_EQ(db->query(QStringLiteral("SELECT count(*) FROM Sensors"))[0][0].toInt(), 3);
}
