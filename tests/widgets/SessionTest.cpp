// The connection and its record sets reopened while windows read from them.
#include "RunningProgram.h"
#include "readings/domain/DatasheetGrid.h"
#include "ui/FrmDatasheet.h"

#include <QCheckBox>
#include <QTableView>
#include <QTimer>

using namespace rv;

namespace {

class Session : public test::RunningProgram<test::FailingSink> {
protected:
    QString firstSensor() { return program->state().sensors->text(QStringLiteral("InstrumentID")); }
    int readingCount(const QString& id)
    {
        return program->state().db->query(QStringLiteral("SELECT count(*) FROM ") + Database::quoteId(id))[0][0].toInt();
    }
};

TEST_F(Session, ReopenedWhileTheReadingsTabAndTheDatasheetAreShownBothGoOnWorking)
{
    FrmRockvista& w = *program->window();
    w.SSTab1->setCurrentIndex(2);
    const QString id = firstSensor();
    const int n = readingCount(id);
    ASSERT_GT(n, 10);
    EXPECT_EQ(w.txtRcount->text(), QString::number(n) + QStringLiteral(" of ") + QString::number(n));

    bool ranInside = false;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<FrmDatasheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        ranInside = true;
        ASSERT_TRUE(program->reopen());
        EXPECT_NE(program->state().db, nullptr);
        // The grid reads the reopened set: cells, and a flag switched off by a click.
        auto* grid = qobject_cast<DatasheetGrid*>(sheet->MSFlexGrid1->model());
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->readingCount(), n);
        EXPECT_TRUE(grid->text(1, 0).startsWith(id));
        const int plot = grid->plotColumn();
        ASSERT_TRUE(grid->flag(1, plot));
        EXPECT_TRUE(grid->toggleFlag(1, plot));
        sheet->close();
    });
    emit w.imgDatasheet->clicked();
    ASSERT_TRUE(ranInside);

    // The flag was stored, and the readings tab moves through the reopened readings.
    EXPECT_EQ(program->state().db->query(QStringLiteral("SELECT count(*) FROM ") + Database::quoteId(id)
                                         + QStringLiteral(" WHERE Plottemporal = 0"))[0][0].toInt(),
              1);
    emit w.imgFirst->clicked();
    EXPECT_EQ(w.txtRcount->text(), QStringLiteral("1 of ") + QString::number(n));
    EXPECT_FALSE(w.chkTemporal->isChecked());
    emit w.imgNextData->clicked();
    EXPECT_EQ(w.txtRcount->text(), QStringLiteral("2 of ") + QString::number(n));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(QStringLiteral(" | ")).toStdString();
}

TEST_F(Session, AReopenShowsTheFirstSensorAndLetsTheFileBeReplacedMeanwhile)
{
    FrmRockvista& w = *program->window();
    emit w.imgNext->clicked();
    ASSERT_NE(firstSensor(), QStringLiteral("120375001"));
    w.SSTab1->setCurrentIndex(2);
    bool closed = false;
    ASSERT_TRUE(program->reopen([&] { closed = !program->state().sessionOpen(); }));
    EXPECT_TRUE(closed);
    EXPECT_EQ(firstSensor(), QStringLiteral("120375001"));
    const int n = readingCount(QStringLiteral("120375001"));
    EXPECT_EQ(w.txtRcount->text(), QString::number(n) + QStringLiteral(" of ") + QString::number(n));
    EXPECT_EQ(w.cboSensors->count(), 4);
}

} // namespace
