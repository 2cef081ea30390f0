// A reading added or re-dated by hand on a server while another program imports a reading of
// the same moment: the hand save waits for the import, then refuses the moment as a duplicate,
// and the reading is stored once. (One program holds a SQLite file: nothing to race there.)
#include "RunningProgram.h"
#include "SuppliedOnEngine.h"
#include "readings/domain/ReadingKey.h"
#include "readings/domain/ReadingStore.h"

#include <QDeadlineTimer>
#include <QSignalBlocker>
#include <QThread>
#include <QUrlQuery>
#include <atomic>
#include <thread>

using namespace rv;

namespace {

class HandSaveDuringImport : public ::testing::TestWithParam<test::Engine> {
protected:
    void SetUp() override
    {
        test::ensureApp();
        db = schema.open(QStringLiteral("h"));
        if (!db)
            GTEST_SKIP() << test::EngineDatabase::skipMessage;
        createSuppliedDatabase(*db, QStringLiteral("MINE"));
        addDemoData(*db);
        // The program on the same schema, as another engineer's program.
        QUrl url(qEnvironmentVariable("ROCKVISTA_TEST_DATABASE"));
        QUrlQuery query(url);
        query.addQueryItem(QStringLiteral("options"), QStringLiteral("-csearch_path=")
                                                          + db->query(QStringLiteral("SELECT current_schema()")).value(0).value(0).toString());
        url.setQuery(query);
        program = std::make_unique<Program>(folder.path(), url.toString(), Seams{&dialogs, &desktop, &clock});
        ASSERT_TRUE(program->load());
        program->state().errorSink = &sink;
        form().SSTab1->setCurrentIndex(2);
        id = program->state().readings->table();
        dialogs.shown.clear();
    }
    void TearDown() override
    {
        if (program && program->window())
            program->window()->close();
        program.reset();
        if (db)
            schema.drop(*db);
    }
    FrmRockvista& form() { return *program->window(); }
    int stored(const QDateTime& moment)
    {
        return db->query(QStringLiteral("SELECT count(*) FROM \"") + id + QStringLiteral("\" WHERE DateTimeKey = ?"),
                         {ReadingStore(*db, id).keyOf(moment)})
            .value(0)
            .value(0)
            .toInt();
    }
    // Runs save with an import of a reading at moment open on another connection, committed once
    // the save is seen waiting for it (or once the save is over, when it did not wait).
    void whileImporting(const QDateTime& moment, const std::function<void()>& save)
    {
        auto importer = schema.openAgain();
        ReadingStore target(*importer, id);
        ReadingStore::Insertion running(target);
        Reading r;
        r.moment = moment;
        r.channels[0] = 1.5;
        ASSERT_TRUE(running.add(r));
        std::atomic<bool> saved = false;
        std::thread importing([&] {
            auto watcher = schema.openAgain();
            const QDeadlineTimer deadline(10000);
            while (!saved && !deadline.hasExpired()
                   && watcher->query(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted"))
                              .value(0)
                              .value(0)
                              .toInt()
                          == 0)
                QThread::msleep(5);
            running.commit();
        });
        save();
        saved = true;
        importing.join();
    }

    test::ServerSchema schema;
    std::unique_ptr<Database> db;
    test::DataFolder folder{false};
    test::AnsweringDialogs dialogs;
    test::NoDesktop desktop;
    test::FixedClock clock;
    test::CollectingSink sink;
    std::unique_ptr<Program> program;
    QString id;
};

TEST_P(HandSaveDuringImport, ANewReadingOfTheImportedMomentIsStoredOnceAndTheHandSaveTold)
{
    clock.moment = QDateTime(QDate(2030, 1, 1), QTime(10, 0, 0));
    const QString position = form().txtRcount->text();
    whileImporting(clock.moment, [&] { emit form().imgAddReading->clicked(); });
    EXPECT_EQ(stored(clock.moment), 1);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("There is already a reading with that date and time")});
    EXPECT_EQ(form().txtRcount->text(), position);
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

TEST_P(HandSaveDuringImport, AReadingReDatedToTheImportedMomentKeepsItsOwn)
{
    emit form().imgFirst->clicked();
    dialogs.shown.clear();
    const QString key = program->state().readings->text(QStringLiteral("DateTimeKey"));
    const QDate shownDate = form().dtpRdate->date();
    const QTime shownTime = form().dtpRtime->time();
    const QDateTime moment(QDate(2030, 1, 1), QTime(10, 0, 0));
    whileImporting(moment, [&] {
        {
            const QSignalBlocker quiet(form().dtpRdate);
            form().dtpRdate->setDate(moment.date());
        }
        form().dtpRtime->setTime(moment.time()); // checks the moment and re-keys
    });
    EXPECT_EQ(stored(moment), 1);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("There is already a reading on ") + readingDateText(moment.date())
                                         + QStringLiteral(" at ") + readingTimeText(moment.time())});
    EXPECT_EQ(program->state().readings->text(QStringLiteral("DateTimeKey")), key);
    EXPECT_EQ(form().dtpRdate->date(), shownDate);
    EXPECT_EQ(form().dtpRtime->time(), shownTime);
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, HandSaveDuringImport, ::testing::Values(test::Engine::Postgres), test::engineName);

} // namespace
