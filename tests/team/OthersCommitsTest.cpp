// Several programs on one database: what one commits is heard by the others (on a server), and two
// imports of the same readings store each reading once. The server cases run as the ctest
// team.postgres; on SQLite one program holds the file and nothing is heard.
#include "core/DataEvents.h"
#include "readings/domain/ReadingStore.h"
#include "db/Schema.h"
#include "readings/domain/SeriesStore.h"

#include "SuppliedOnEngine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <thread>

using namespace rv;

namespace {

// The event loop the notifications arrive on.
void needApplication()
{
    static int argc = 1;
    static char name[] = "test_team";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Turns the event loop until done() holds, for ten seconds at most.
bool turnUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

class OthersCommits : public test::SuppliedOnEngine {
protected:
    void SetUp() override
    {
        needApplication();
        test::SuppliedOnEngine::SetUp();
    }
    // Another program's connection to the same database.
    std::unique_ptr<Database> other()
    {
        if (!server())
            return Database::open(db->path());
        const QString schema = db->query(QStringLiteral("SELECT current_schema()")).value(0).value(0).toString();
        auto c = Database::open(DatabaseTarget::server(qEnvironmentVariable("ROCKVISTA_TEST_DATABASE")));
        c->exec(QStringLiteral("SET search_path TO ") + schema);
        return c;
    }
    // What this connection hears of the others, each commit's tables sorted.
    QStringList heard;
    void listen()
    {
        db->setOthersListener([this](const QStringList& tables) {
            QStringList t = tables;
            for (QString& name : t)
                name = name.toLower();
            t.sort();
            heard << t.join(QLatin1Char(','));
        });
    }
};

TEST_P(OthersCommits, AnotherProgramsCommitIsHeardOnceAndItsRollbackNever)
{
    listen();
    QStringList own;
    db->setCommitListener([&](const QStringList& tables) { own << tables; });
    // This connection's own commit goes to its own listener only, never back as another's.
    db->exec(QStringLiteral("UPDATE Configuration SET Temp = 'deg C'"));
    EXPECT_EQ(own, QStringList{QStringLiteral("Configuration")});
    auto b = other();
    {
        Transaction tx(*b);
        b->exec(QStringLiteral("UPDATE Sensors SET Level = 'L2' WHERE InstrumentID = '120375001'"));
        b->exec(QStringLiteral("INSERT INTO \"120375001\" (DateTimeKey) VALUES ('120375001 2024/01/01 10:00:00')"));
        tx.commit();
    }
    {
        Transaction tx(*b);
        b->exec(QStringLiteral("DELETE FROM NetworkConfig"));
    } // rolled back: nothing to hear
    b->exec(QStringLiteral("UPDATE Prefs SET MaxY = 9"));
    if (!server()) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(heard.isEmpty()) << heard.join(QLatin1Char(' ')).toStdString();
        return;
    }
    // Commits heard at one turn of the event loop come as one list.
    ASSERT_TRUE(turnUntil([&] { return heard.join(QLatin1Char(',')).contains(QLatin1String("prefs")); }));
    QStringList tables = heard.join(QLatin1Char(',')).split(QLatin1Char(','));
    tables.sort();
    EXPECT_EQ(tables, QStringList({QStringLiteral("120375001"), QStringLiteral("prefs"), QStringLiteral("sensors")}));
}

TEST_P(OthersCommits, WhatIsHeardWaitsForTheOpenTransactionAndStaysInItsSchema)
{
    if (!server())
        GTEST_SKIP() << "one program holds a SQLite file";
    listen();
    auto b = other();
    // A team's other database in the same server: not heard here.
    test::ServerSchema elsewhere;
    auto c = elsewhere.open(QStringLiteral("o"));
    createSuppliedDatabase(*c, QStringLiteral("MINE"));
    c->exec(QStringLiteral("UPDATE Prefs SET MaxY = 7"));
    db->begin();
    b->exec(QStringLiteral("UPDATE Sensors SET Level = 'L4'"));
    // The notice may arrive meanwhile, but a handler in a transaction must not see the data move.
    QDeadlineTimer a_while(300);
    while (!a_while.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(heard.isEmpty());
    db->commit();
    EXPECT_TRUE(turnUntil([&] { return !heard.isEmpty(); }));
    EXPECT_EQ(heard, QStringList{QStringLiteral("sensors")});
    elsewhere.drop(*c);
}

TEST_P(OthersCommits, DataEventsTellAnotherProgramsSensorsAndReadingsApart)
{
    DataEvents events;
    events.watch(*db);
    QStringList seen;
    QObject::connect(&events, &DataEvents::sensorsChanged, [&] {
        seen << (events.fromOthers() ? QStringLiteral("others: sensors") : QStringLiteral("own: sensors"));
    });
    QObject::connect(&events, &DataEvents::readingsChanged, [&](const QString& id) {
        seen << (events.fromOthers() ? QStringLiteral("others: ") : QStringLiteral("own: ")) + id;
    });
    db->exec(QStringLiteral("UPDATE Sensors SET Level = 'own'"));
    auto b = other();
    b->exec(QStringLiteral("INSERT INTO \"120375002\" (DateTimeKey) VALUES ('120375002 2024/01/01 10:00:00')"));
    b->exec(QStringLiteral("UPDATE NetworkConfig SET SlotID = 3"));
    const QStringList expected = server() ? QStringList{QStringLiteral("others: 120375002"), QStringLiteral("others: sensors"),
                                                        QStringLiteral("own: sensors")}
                                          : QStringList{QStringLiteral("own: sensors")};
    turnUntil([&] { return seen.size() >= expected.size(); });
    QCoreApplication::processEvents();
    seen.sort();
    EXPECT_EQ(seen, expected);
}

// Two programs import the same readings at once: the second waits for the first one's commit,
// then finds every key taken and refuses each as a duplicate.
TEST_P(OthersCommits, TwoImportsOfTheSameReadingsStoreEachOnce)
{
    if (!server())
        GTEST_SKIP() << "one program holds a SQLite file: the file lock serialises the imports";
    const QString id = QStringLiteral("120375003");
    const int before = ReadingStore(*db, id).count();
    QVector<Reading> batch;
    for (int i = 0; i < 5; ++i) {
        Reading r;
        r.moment = QDateTime(QDate(2030, 1, 1), QTime(10, i, 0));
        r.channels[0] = i;
        batch << r;
    }
    ReadingStore first(*db, id);
    ReadingStore::Insertion running(first);
    for (const Reading& r : batch)
        EXPECT_TRUE(running.add(r));

    auto b = other();
    InsertOutcome second;
    std::thread otherProgram([&] { second = ReadingStore(*b, id).insert(batch); });
    // Committed only once the other program is seen waiting for the table.
    auto watcher = other();
    EXPECT_TRUE(turnUntil([&] {
        return watcher->query(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted")).value(0).value(0).toInt()
               > 0;
    }));
    running.commit();
    otherProgram.join();
    EXPECT_EQ(second.inserted, 0);
    EXPECT_EQ(second.refusedKeys.size(), 5);
    EXPECT_EQ(ReadingStore(*db, id).count(), before + 5);
}

// An import keeps out only another import of the same table: the other engineer's save of a
// reading there, or a chart pass writing its values, goes on meanwhile.
TEST_P(OthersCommits, AnImportLeavesTheTableOpenToAnothersSave)
{
    if (!server())
        GTEST_SKIP() << "one program holds a SQLite file";
    const QString id = QStringLiteral("120375003");
    ReadingStore first(*db, id);
    ReadingStore::Insertion running(first);
    Reading r;
    r.moment = QDateTime(QDate(2030, 1, 1), QTime(10, 0, 0));
    EXPECT_TRUE(running.add(r));

    auto b = other();
    // Waiting for the import would fail, not hang.
    b->exec(QStringLiteral("SET lock_timeout = '5s'"));
    b->begin();
    EXPECT_NO_THROW(b->exec(QStringLiteral("UPDATE \"120375003\" SET Channel1 = 7 WHERE rowid = (SELECT min(rowid) FROM "
                                           "\"120375003\")")));
    b->commit();
    running.commit();
    EXPECT_EQ(ReadingStore(*db, id).count(), ReadingStore(*b, id).count());
}

// Two programs making their tables' own triggers at once: the functions and tables the triggers
// share are made by one, and the other, waiting for it, finds them made instead of colliding.
TEST_P(OthersCommits, TwoProgramsMakingTheTriggersOfTwoTablesAtOnceBothMakeThem)
{
    if (!server())
        GTEST_SKIP() << "a SQLite file's tables carry no triggers of their own";
    // This program in the middle of making them: made, not yet committed.
    db->begin();
    ASSERT_TRUE(watchTable(*db, QStringLiteral("120375001")));
    auto b = other();
    bool made = false;
    std::thread otherProgram([&] { made = watchTable(*b, QStringLiteral("120375002")); });
    auto watcher = other();
    EXPECT_TRUE(turnUntil([&] {
        return watcher->query(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted")).value(0).value(0).toInt()
               > 0;
    }));
    db->commit();
    otherProgram.join();
    EXPECT_TRUE(made);
    EXPECT_TRUE(db->triggersOn(QStringLiteral("120375002")).contains(QStringLiteral("rv_series_delete")));
}

// Two programs making the chart's tables of their own at once (the first chart of each, on two
// sensors): the later waits for the earlier's commit and finds them made instead of colliding.
TEST_P(OthersCommits, TwoProgramsMakingTheChartsTablesAtOnceBothGoOn)
{
    if (!server())
        GTEST_SKIP() << "one program holds a SQLite file";
    auto b = other();
    auto watcher = other();
    // This program makes them in a transaction left open until the other is seen waiting.
    const auto atOnce = [&](const std::function<void(Database&)>& make) {
        db->begin();
        make(*db);
        QString failed = QStringLiteral("not run");
        std::thread otherProgram([&] {
            try {
                make(*b);
                failed.clear();
            } catch (const RvError& e) {
                failed = e.description;
            }
        });
        EXPECT_TRUE(turnUntil([&] {
            return watcher->query(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted")).value(0).value(0).toInt() > 0;
        }));
        db->commit();
        otherProgram.join();
        return failed.toStdString();
    };
    EXPECT_EQ(atOnce([](Database& on) { SeriesStore::createTables(on); }), std::string());

    const QStringList ids{QStringLiteral("201175101"), QStringLiteral("201175102")};
    for (const QString& id : ids) {
        createReadingTable(*db, id);
        db->exec(QStringLiteral("INSERT INTO ") + Database::quoteId(id)
                 + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, FullDate, Channel1, ChannelT, Plottemporal, "
                                  "PlotSpatial, IsDirty) VALUES ('k', '2024/01/01', '08:00:00', '2024-01-01 08:00:00', 100, "
                                  "20, 1, 0, 1)"));
        ASSERT_TRUE(watchTable(*db, id));
    }
    // Each program's first pass, of its own sensor, remembers what it used.
    EXPECT_EQ(atOnce([&](Database& on) {
                  ReadingStore(on, &on == db.get() ? ids[0] : ids[1]).refreshComputed(25, [](PassRow&, const PassBasis&) {
                      return false;
                  });
              }),
              std::string());
    EXPECT_EQ(db->query(QStringLiteral("SELECT count(*) FROM ChartPasses")).value(0).value(0).toInt(), 2);
}

// A table's triggers, kept between a connection's looks, are asked afresh once another program's
// commit is heard, and always inside a transaction (where triggers are made after a lock).
TEST_P(OthersCommits, ATablesTriggersAreAskedAfreshAfterAnothersCommitAndInATransaction)
{
    if (!server())
        GTEST_SKIP() << "a SQLite file's tables carry no triggers of their own";
    listen();
    const QString id = QStringLiteral("120375001");
    ASSERT_TRUE(watchTable(*db, id));
    const auto carries = [&](const char* name) { return db->triggersOn(id).contains(QLatin1String(name)); };
    ASSERT_TRUE(carries("rv_series_delete"));
    auto b = other();
    // Made or dropped alone, unheard.
    b->exec(QStringLiteral("DROP TRIGGER rv_series_update ON \"120375001\""));
    db->begin();
    EXPECT_FALSE(carries("rv_series_update"));
    db->commit();
    // With rows written, heard.
    b->begin();
    b->exec(QStringLiteral("DROP TRIGGER rv_series_delete ON \"120375001\""));
    b->exec(QStringLiteral("UPDATE Configuration SET Temp = 'deg F'"));
    b->commit();
    EXPECT_TRUE(turnUntil([&] { return !carries("rv_series_delete"); }));
    // The table's triggers made anew where they were found lacking.
    EXPECT_TRUE(watchTable(*db, id));
    EXPECT_TRUE(carries("rv_series_delete") && carries("rv_series_update"));
}

INSTANTIATE_TEST_SUITE_P(Engines, OthersCommits, ::testing::Values(test::Engine::Sqlite, test::Engine::Postgres),
                         test::engineName);

} // namespace
