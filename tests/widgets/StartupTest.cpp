// Start-up as a whole: what a failed step leaves behind.
#include "Support.h"
#include "TestApp.h"
#include "app/Program.h"
#include "core/State.h"
#include "db/Schema.h"
#include "ui/FrmRockvista.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

QString readLog(const QString& dir)
{
    QFile f(dir + QStringLiteral("/gSTAY.txt"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(Startup, AnErrorAfterTheConnectionKeepsTheWindowOpenAndFirstloadSet)
{
    test::ensureApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        auto db = Database::create(dir.filePath(kDatabaseFileName));
        createSuppliedDatabase(*db, QStringLiteral("M-"));
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType, Destroyed) VALUES ('201175001', '75', 'No')"));
        // The type table can no longer be opened in its order: step 8 fails.
        db->exec(QStringLiteral("ALTER TABLE Configuration RENAME COLUMN SensorType TO Kind"));
    }
    test::AnsweringDialogs dialogs;
    test::NoDesktop desktop;
    SystemClock clock;
    Program program(dir.path(), Seams{&dialogs, &desktop, &clock});
    ASSERT_TRUE(program.load());
    ASSERT_NE(program.window(), nullptr);
    EXPECT_TRUE(program.window()->isVisible());
    EXPECT_TRUE(program.state().firstLoad);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(readLog(dir.path()).contains(QStringLiteral(" Form_Load")));
    EXPECT_EQ(program.window()->cboSensors->count(), 0);
    program.window()->close();
    EXPECT_FALSE(program.running());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("rockvista.lock"))));

    // Repaired, the next start finishes loading.
    {
        auto db = Database::open(dir.filePath(kDatabaseFileName));
        db->exec(QStringLiteral("ALTER TABLE Configuration RENAME COLUMN Kind TO SensorType"));
    }
    Program second(dir.path(), Seams{&dialogs, &desktop, &clock});
    ASSERT_TRUE(second.load());
    EXPECT_FALSE(second.state().firstLoad);
    EXPECT_EQ(second.window()->cboSensors->count(), 1);
    second.window()->close();
}

TEST(Shutdown, ABoxThatIsNoNumberRefusesClosingButNotATerminationSignal)
{
    test::ensureApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        auto db = Database::create(dir.filePath(kDatabaseFileName));
        createSuppliedDatabase(*db, QStringLiteral("M-"));
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, SensorType, Destroyed, numgauges) "
                                "VALUES ('201175001', '75', 'No', 6)"));
    }
    test::AnsweringDialogs dialogs;
    test::NoDesktop desktop;
    SystemClock clock;
    Program program(dir.path(), Seams{&dialogs, &desktop, &clock});
    ASSERT_TRUE(program.load());
    FrmRockvista& w = *program.window();
    w.txtNumGauges->setText(QStringLiteral("six"));
    w.txtLevel->setText(QStringLiteral("1200"));

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(program.running());
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("Error: # Gauges must be a number")});

    // A termination signal stores what can be stored and logs the rest.
    program.terminate();
    EXPECT_FALSE(program.running());
    auto db = Database::open(dir.filePath(kDatabaseFileName));
    const auto rows = db->query(QStringLiteral("SELECT Level, numgauges FROM Sensors"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].value(0).toString(), QStringLiteral("1200"));
    EXPECT_EQ(rows[0].value(1).toInt(), 6);
    EXPECT_TRUE(readLog(dir.path()).contains(QStringLiteral("Err #13: Type mismatch G_savefields")));
}
