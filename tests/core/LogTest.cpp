#include "Support.h"
#include "core/State.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;


TEST(Log, EachReportIsAnEmptyLineAnAsteriskLineAndTheStampedText)
{
    QTemporaryDir dir;
    test::FixedClock clock;
    AppState state;
    state.seams.clock = &clock;
    state.dataDir = dir.path();
    state.report(RvError(3021, QStringLiteral("No current record.")), " G_savefields");
    state.report(RvError(13, QStringLiteral("Type mismatch")), " Module1_fillreadings");

    QFile file(dir.filePath(QStringLiteral("gSTAY.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString stars(89, QLatin1Char('*'));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              QStringLiteral("\n") + stars + QStringLiteral("\n2026/03/05 14:07:09 - Err #3021: No current record. G_savefields\n")
                  + QStringLiteral("\n") + stars
                  + QStringLiteral("\n2026/03/05 14:07:09 - Err #13: Type mismatch Module1_fillreadings\n"));
}

TEST(Log, AFolderThatCannotBeWrittenLosesTheReportQuietly)
{
    AppState state;
    state.dataDir = QStringLiteral("/nonexistent/folder");
    state.writeToLog(QStringLiteral("lost"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/nonexistent/folder/gSTAY.txt")));
}

TEST(Trap, ReportsTheFirstErrorAndStops)
{
    QTemporaryDir dir;
    AppState state;
    state.dataDir = dir.path();
    int reached = 0;
    const bool ok = trap(state, " G_DupID", [&] {
        ++reached;
        throw RvError(11, QStringLiteral("Division by zero"));
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(reached, 1);
    QFile file(dir.filePath(QStringLiteral("gSTAY.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Err #11: Division by zero G_DupID"));
}
