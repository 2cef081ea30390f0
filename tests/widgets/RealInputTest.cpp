// The main window driven as a person drives it: key presses and mouse clicks on the real
// controls, in an active window, with the focus where the keyboard put it.
#include "RunningProgram.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTabBar>
#include <QTest>

using namespace rv;

namespace {

class RealInput : public test::RunningProgram<> {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (HasFatalFailure())
            return;
        form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
        dialogs.shown.clear();
    }
    QString focusName() const
    {
        const QWidget* w = QApplication::focusWidget();
        return w ? w->objectName() : QStringLiteral("<none>");
    }
    void clickTab(int index)
    {
        QTabBar* bar = form().SSTab1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    // The image buttons Tab reaches, in order, going once round the window from `start`.
    QStringList imageButtonsByTab(QWidget* start)
    {
        start->setFocus(Qt::TabFocusReason);
        QStringList stops;
        for (int i = 0; i < 80; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* w = QApplication::focusWidget();
            if (!w || w == start)
                break;
            if (qobject_cast<ClickLabel*>(w))
                stops << QStringLiteral("caption ") + w->objectName();
            if (qobject_cast<ImageButton*>(w))
                stops << w->objectName();
        }
        return stops;
    }
    void paste(QWidget* box, const QString& text)
    {
        box->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }
    QString storedSensor(const QString& field)
    {
        const QString id = state().sensors->text(QStringLiteral("InstrumentID"));
        return folder.open()->query(QStringLiteral("SELECT ") + field
                                    + QStringLiteral(" FROM Sensors WHERE InstrumentID = ?"), {id})[0][0].toString();
    }
};

TEST_F(RealInput, LeavingTheReadingsTabByTheStripChecksTheReadingAsTheButtonsDo)
{
    clickTab(2);
    ASSERT_EQ(form().SSTab1->currentIndex(), 2);
    const QString key = form().txtReadingID->text();
    const QString table = state().sensors->text(QStringLiteral("InstrumentID"));
    const auto stored = [&] {
        return folder.open()->query(QStringLiteral("SELECT Channel2 FROM `") + table
                                    + QStringLiteral("` WHERE DateTimeKey = ?"), {key})[0][0].toString();
    };
    const QString before = stored();
    QLineEdit* box = form().txtChannel[2];
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("6000"));

    clickTab(0);
    EXPECT_EQ(form().SSTab1->currentIndex(), 2);
    EXPECT_TRUE(form().lblError->isVisible());
    EXPECT_EQ(form().lblError->text(), QStringLiteral("Error: Channel 2 must be > -5000 and < 5000"));
    EXPECT_EQ(stored(), before);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form().SSTab1->currentIndex(), 2);
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(form().txtChannel[2]->text(), QStringLiteral("6000"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('|').toStdString();

    // Corrected, the reading goes with the user.
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("600"));
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form().SSTab1->currentIndex(), 3);
    EXPECT_EQ(stored().toDouble(), 600.0);
}

TEST_F(RealInput, ARefusedTabChangeTellsItOverTheTabTheUserStaysOn)
{
    QWidget* installation = form().SSTab1->widget(1);
    form().txtNode[1]->setText(QStringLiteral("9.5")); // another sensor's paddles on tab 2 would differ
    QLineEdit* length = form().txtLengthLongG;
    length->setFocus(Qt::MouseFocusReason);
    length->selectAll();
    QTest::keyClicks(length, QStringLiteral("1.5m"));
    int shownTab = -1;
    bool installationSeen = true;
    dialogs.onMessage = [&](const QString&) {
        shownTab = form().SSTab1->currentIndex();
        installationSeen = installation->isVisible();
    };
    clickTab(1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(QStringLiteral("Error: Length of long gauge"))) << dialogs.shown[0].toStdString();
    EXPECT_EQ(shownTab, 0);
    EXPECT_FALSE(installationSeen);
    EXPECT_EQ(form().SSTab1->currentIndex(), 0);
    EXPECT_FALSE(installation->isVisible());
    EXPECT_EQ(focusName(), QStringLiteral("txtLengthLongG"));

    // Put right, the same click shows the installation tab with this sensor's paddles.
    dialogs.onMessage = nullptr;
    length->selectAll();
    QTest::keyClicks(length, QStringLiteral("1.5"));
    clickTab(1);
    EXPECT_EQ(form().SSTab1->currentIndex(), 1);
    EXPECT_EQ(form().txtNodeI[1]->text(), QStringLiteral("9.5"));
}

TEST_F(RealInput, TabReachesEveryImageButtonOnceInReadingOrder)
{
    EXPECT_EQ(imageButtonsByTab(form().cboSensors),
              QStringList({"imgAddSensor", "imgDelete", "imgPrevious", "imgNext", "imgOverview"}));
    clickTab(2);
    EXPECT_EQ(imageButtonsByTab(form().chkTemporal),
              QStringList({"imgFirst", "imgPrevData", "imgNextData", "imgLast", "imgAddReading", "imgDeleteReading",
                           "imgDatasheet", "imgAddNuboData"}));
    clickTab(7);
    EXPECT_EQ(imageButtonsByTab(form().txtFilterType),
              QStringList({"imgFilter", "imgBackup", "imgRestore", "imgReport", "imgHelp", "imgInternet", "imgAbout"}));
}

TEST_F(RealInput, SpaceAndEnterPressTheFramedImageButtonAndAClickLeavesTheFocusAlone)
{
    ImageButton* next = form().imgNext;
    const QImage unfocused = next->grab().toImage();
    const QStringList names = imageButtonsByTab(form().cboSensors); // ends where it began
    ASSERT_FALSE(names.isEmpty());
    form().cboSensors->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(focusName(), QStringLiteral("imgNext"));
    EXPECT_NE(next->grab().toImage(), unfocused) << "no focus frame";

    const QString first = form().txtSensor->text();
    QTest::keyClick(next, Qt::Key_Space);
    const QString second = form().txtSensor->text();
    EXPECT_NE(second, first);
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_NE(form().txtSensor->text(), second);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    clickTab(2);
    form().imgPrevData->setFocus(Qt::TabFocusReason);
    const QString position = form().txtRcount->text();
    QTest::keyClick(form().imgPrevData, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_NE(form().txtRcount->text(), position);

    // The mouse works as before: the box being typed in keeps the focus.
    form().txtChannel[1]->setFocus(Qt::MouseFocusReason);
    const QString moved = form().txtRcount->text();
    QTest::mouseClick(form().imgNextData, Qt::LeftButton);
    EXPECT_NE(form().txtRcount->text(), moved);
    EXPECT_EQ(focusName(), QStringLiteral("txtChannel_1"));
}

TEST_F(RealInput, AKeyReplacingTheSelectionInTheSensorBoxIsJudgedByTheTextItLeaves)
{
    QComboBox* box = form().cboSensors;
    paste(box, QStringLiteral(" 120375003 "));
    EXPECT_EQ(box->currentText(), QStringLiteral(" 120375003 "));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("Sensor # must be 9 digits"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("120375002"));
    EXPECT_EQ(box->currentText(), QStringLiteral("120375002"));
    EXPECT_EQ(state().sensors->text(QStringLiteral("InstrumentID")), QStringLiteral("120375002"));

    // Without a selection a box of ten characters still takes nothing but Backspace.
    box->setEditText(QStringLiteral("1234567890"));
    box->lineEdit()->deselect();
    box->lineEdit()->end(false);
    QTest::keyClick(box, Qt::Key_5);
    EXPECT_EQ(box->currentText(), QStringLiteral("1234567890"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->currentText(), QStringLiteral("123456789"));
}

TEST_F(RealInput, PastedLineBreaksAndTabsAreStoredAsTheBlanksAOneLineBoxShows)
{
    paste(form().txtFamily, QStringLiteral("g-STAY\tmk 2"));
    clickTab(1);
    ASSERT_EQ(form().SSTab1->currentIndex(), 1);
    EXPECT_EQ(storedSensor(QStringLiteral("Family")), QStringLiteral("g-STAY mk 2"));
    paste(form().txtLocation, QStringLiteral("Line A\nLine B"));
    paste(form().txtBorehole, QStringLiteral("\r\nBH 1\r\nBH 2\r\n"));
    paste(form().txtNotes, QStringLiteral("First line\nSecond line"));
    clickTab(2);
    ASSERT_EQ(form().SSTab1->currentIndex(), 2);
    EXPECT_EQ(storedSensor(QStringLiteral("Location")), QStringLiteral("Line A Line B"));
    EXPECT_EQ(storedSensor(QStringLiteral("Borehole")), QStringLiteral("BH 1 BH 2"));
    EXPECT_EQ(storedSensor(QStringLiteral("Notes")), QStringLiteral("First line\nSecond line"));
    EXPECT_EQ(form().txtLocation->text(), QStringLiteral("Line A Line B"));
}

} // namespace
