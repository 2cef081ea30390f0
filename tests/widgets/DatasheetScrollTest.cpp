// The datasheet's grid holds a window of the readings: keys, clicks and edits far down must
// reach the reading shown, and the write-back must store it on that reading.
#include "RunningProgram.h"
#include "readings/domain/DatasheetGrid.h"
#include "ui/FrmDatasheet.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace rv;

namespace {

class DatasheetScroll : public test::RunningProgram<test::FailingSink> {
protected:
    // Opens the datasheet and runs check inside it, then closes it.
    void inDatasheet(const std::function<void(FrmDatasheet&, DatasheetGrid&)>& check)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<FrmDatasheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            ran = true;
            auto* grid = dynamic_cast<DatasheetGrid*>(sheet->MSFlexGrid1->model());
            if (grid)
                check(*sheet, *grid);
            sheet->close();
        });
        emit form().imgDatasheet->clicked();
        ASSERT_TRUE(ran);
    }
    // The current cell shows the reading of the row the view says is current.
    static void expectCurrent(const RowWindowView& view, const DatasheetGrid& grid, int row)
    {
        EXPECT_EQ(view.currentRow(), row);
        EXPECT_EQ(view.currentIndex().data().toString(), grid.text(row, view.currentIndex().column()));
    }
};

TEST_F(DatasheetScroll, KeysClicksAndEditsFarDownReachTheReadingShownAndAreWrittenToIt)
{
    form().SSTab1->setCurrentIndex(2);
    int edited = 0, flagged = 0, channel = 0, plot = 0;
    QString typed, above, below;
    bool flagBefore = false;
    inDatasheet([&](FrmDatasheet& sheet, DatasheetGrid& grid) {
        RowWindowView& view = *sheet.MSFlexGrid1;
        const int n = grid.readingCount();
        ASSERT_GT(view.model()->rowCount(), 3);
        ASSERT_LT(view.model()->rowCount(), n); // a window, not every reading
        plot = grid.plotColumn();
        for (channel = 3; channel < plot && !grid.isChannelColumn(channel); ++channel) {}
        ASSERT_LT(channel, plot);

        // The grid takes the keys as it opens; then Down across the window's edge, then the ends.
        EXPECT_EQ(sheet.focusWidget(), &view);
        const int downs = view.model()->rowCount() + 5;
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(&view, Qt::Key_Down);
        expectCurrent(view, grid, 1 + downs);
        EXPECT_EQ(view.currentIndex().column(), 0);
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        expectCurrent(view, grid, n);
        QTest::keyClick(&view, Qt::Key_PageUp);
        QTest::keyClick(&view, Qt::Key_Up);
        const int afterPage = view.currentRow();
        EXPECT_LT(afterPage, n - 2);
        expectCurrent(view, grid, afterPage);
        QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
        expectCurrent(view, grid, 1);

        // The wheel moves the rows shown, not the current cell.
        const QPoint centre = view.viewport()->rect().center();
        QWheelEvent wheel(centre, view.viewport()->mapToGlobal(centre), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
        const int top = view.rowBar()->value();
        EXPECT_GT(top, 0);
        EXPECT_EQ(view.model()->index(1, 0).data().toString(), grid.text(top + 1, 0));
        EXPECT_EQ(view.currentRow(), 1);

        // The scroll bar to the middle, a click and an edit in the second row shown.
        view.rowBar()->setValue(n / 2);
        const QModelIndex second = view.model()->index(2, channel);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(second).center());
        edited = view.currentRow();
        EXPECT_EQ(edited, n / 2 + 2);
        QTest::keyClick(&view, Qt::Key_7);
        typed = grid.text(edited, channel);
        EXPECT_EQ(second.data().toString(), typed);
        above = grid.text(edited - 1, channel);
        below = grid.text(edited + 1, channel);
        // A flag switched by a click on the next row shown.
        flagged = edited + 1;
        flagBefore = grid.flag(flagged, plot);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(view.model()->index(3, plot)).center());
        EXPECT_NE(grid.flag(flagged, plot), flagBefore);

        // Scrolled away and back, the current cell is still the flag's.
        view.rowBar()->setValue(0);
        EXPECT_EQ(view.currentRow(), flagged);
        view.rowBar()->setValue(n / 2);
        EXPECT_EQ(view.currentIndex(), view.model()->index(3, plot));
    });
    ASSERT_FALSE(typed.isEmpty());
    inDatasheet([&](FrmDatasheet&, DatasheetGrid& grid) {
        EXPECT_EQ(grid.text(edited, channel), typed);
        EXPECT_EQ(grid.text(edited - 1, channel), above);
        EXPECT_EQ(grid.text(edited + 1, channel), below);
        EXPECT_NE(grid.flag(flagged, plot), flagBefore);
    });
}

} // namespace
