// Typing into the date and time boxes and the calendars with the keys a keyboard sends, and
// the mouse wheel over boxes with and without the focus.
#include "TestApp.h"
#include "ui/FrmBatchDel.h"
#include "ui/FrmRockvista.h"
#include "ui/Pickers.h"

#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

using namespace rv;

QT_BEGIN_NAMESPACE
// Failures name the dates and times.
inline void PrintTo(const QTime& t, std::ostream* os) { *os << t.toString(QStringLiteral("HH:mm:ss")).toStdString(); }
inline void PrintTo(const QDate& d, std::ostream* os) { *os << d.toString(QStringLiteral("yyyy/MM/dd")).toStdString(); }
QT_END_NAMESPACE

namespace {

class Pickers : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(); }
};

// A window with a box to type into and a button to take the focus away to.
template <class Box>
struct Bench {
    template <class... Args>
    explicit Bench(Args&&... args)
    {
        auto* v = new QVBoxLayout(&window);
        box = new Box(std::forward<Args>(args)..., &window);
        other = new QLineEdit(&window);
        v->addWidget(box);
        v->addWidget(other);
        window.resize(300, 120);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
    }
    QWidget window;
    Box* box = nullptr;
    QLineEdit* other = nullptr;
};

QLineEdit* textOf(QDateTimeEdit* picker) { return picker->findChild<QLineEdit*>(); }

// A press of the mouse on character `index` of the box's text, as a click puts it there.
void clickAt(QDateTimeEdit* picker, int index, bool twice = false)
{
    QLineEdit* edit = textOf(picker);
    const QFontMetrics fm(edit->font());
    const QString text = edit->text();
    const int x = edit->contentsRect().left() + edit->textMargins().left() + 2
                  + fm.horizontalAdvance(text.left(index)) + fm.horizontalAdvance(text.mid(index, 1)) / 2;
    const QPoint at(x, edit->height() / 2);
    if (twice)
        QTest::mouseDClick(edit, Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(edit, Qt::LeftButton, {}, at);
}

// The keys a keyboard sends for the text: Shift pressed first for ":" (and for "/" as on many
// layouts).
void typeKeys(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        const bool shifted = c == QLatin1Char(':') || c == QLatin1Char('/');
        const Qt::KeyboardModifiers mods = shifted ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, c.toLatin1(), mods);
    }
}

void tabInto(QWidget* w)
{
    w->setFocus(Qt::TabFocusReason);
}

TEST_F(Pickers, ATimeTypedInFullFromAnySectionIsThatTime)
{
    struct Case {
        const char* how;
        std::function<void(QDateTimeEdit*)> place;
        const char* keys;
        QTime expected;
    };
    const Case cases[] = {
        {"double-click on the hour", [](QDateTimeEdit* p) { clickAt(p, 0, true); }, "09:30:00", QTime(9, 30)},
        {"click in the hour", [](QDateTimeEdit* p) { clickAt(p, 1); }, "09:30:00", QTime(9, 30)},
        {"click in the minutes", [](QDateTimeEdit* p) { clickAt(p, 4); }, "09:30:00", QTime(9, 30)},
        {"click in the seconds", [](QDateTimeEdit* p) { clickAt(p, 7); }, "09:30:05", QTime(9, 30, 5)},
        {"Tab", tabInto, "09:30:00", QTime(9, 30)},
        {"Tab, digits only", tabInto, "093000", QTime(9, 30)},
        {"click in the minutes, digits only", [](QDateTimeEdit* p) { clickAt(p, 3); }, "093000", QTime(9, 30)},
        {"Tab, a short hour ended by its separator", tabInto, "9:5", QTime(9, 5)},
        {"click in the minutes, two sections", [](QDateTimeEdit* p) { clickAt(p, 3); }, "45:07", QTime(8, 45, 7)},
        {"Tab, the hour alone", tabInto, "11", QTime(11, 0)},
    };
    for (const Case& c : cases) {
        Bench<TimePicker> b(QTime(8, 0));
        b.box->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        QSignalSpy changes(b.box, &QDateTimeEdit::timeChanged);
        c.place(b.box);
        ASSERT_TRUE(b.box->hasFocus()) << c.how;
        typeKeys(b.box, QString::fromLatin1(c.keys));
        EXPECT_EQ(changes.count(), 0) << c.how << ": the time is taken when the typing is done";
        QTest::keyClick(b.box, Qt::Key_Return);
        EXPECT_EQ(b.box->time(), c.expected) << c.how << " + " << c.keys;
        EXPECT_EQ(textOf(b.box)->text(), c.expected.toString(QStringLiteral("HH:mm:ss"))) << c.how;
    }
}

TEST_F(Pickers, ADateTypedInFullIsThatDateAndAnImpossibleOneChangesNothing)
{
    struct Case {
        const char* how;
        int clickAtChar; // -1: Tab
        bool selectAll;
        const char* keys;
        QDate expected;
    };
    const Case cases[] = {
        {"Tab (the year selected)", -1, false, "2026/06/03", QDate(2026, 6, 3)},
        {"click in the day", 9, false, "2026/02/28", QDate(2026, 2, 28)},
        {"click in the month", 6, false, "2026/06/03", QDate(2026, 6, 3)},
        {"digits only", -1, false, "20240614", QDate(2024, 6, 14)},
        {"the whole text selected", 9, true, "2025/01/02", QDate(2025, 1, 2)},
        {"the month and day from the month", 5, false, "0704", QDate(2026, 7, 4)},
        {"the 31st of February", -1, false, "2026/02/31", QDate(2026, 12, 31)},
        {"a thirteenth month", -1, false, "2026/13/01", QDate(2026, 12, 31)},
        {"a letter among the digits", -1, false, "2026/0x6/03", QDate(2026, 6, 3)},
    };
    for (const Case& c : cases) {
        Bench<DatePicker> b(QDate(2026, 12, 31));
        b.box->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        QSignalSpy changes(b.box, &QDateTimeEdit::dateChanged);
        if (c.clickAtChar < 0)
            tabInto(b.box);
        else
            clickAt(b.box, c.clickAtChar);
        if (c.selectAll)
            QTest::keyClick(b.box, Qt::Key_A, Qt::ControlModifier);
        typeKeys(b.box, QString::fromLatin1(c.keys));
        // Leaving the box takes what was typed, as Enter does.
        b.other->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(b.box->date(), c.expected) << c.how << " + " << c.keys;
        EXPECT_EQ(changes.count(), c.expected == QDate(2026, 12, 31) ? 0 : 1) << c.how;
        EXPECT_EQ(textOf(b.box)->text(), c.expected.toString(QStringLiteral("yyyy/MM/dd"))) << c.how;
    }
}

TEST_F(Pickers, BackspaceTakesBackTheLastKeyThenClearsTheSection)
{
    Bench<TimePicker> b(QTime(8, 15, 20));
    b.box->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    tabInto(b.box);
    typeKeys(b.box, QStringLiteral("1"));
    EXPECT_EQ(textOf(b.box)->text(), "1:15:20");
    QTest::keyClick(b.box, Qt::Key_Backspace);
    EXPECT_EQ(textOf(b.box)->text(), "08:15:20");
    QTest::keyClick(b.box, Qt::Key_Backspace);
    EXPECT_EQ(textOf(b.box)->text(), ":15:20");
    // An emptied section cannot be taken: the time stays.
    QTest::keyClick(b.box, Qt::Key_Return);
    EXPECT_EQ(b.box->time(), QTime(8, 15, 20));
    tabInto(b.box);
    QTest::keyClick(b.box, Qt::Key_Backspace);
    typeKeys(b.box, QStringLiteral("07"));
    QTest::keyClick(b.box, Qt::Key_Return);
    EXPECT_EQ(b.box->time(), QTime(7, 15, 20));
}

TEST_F(Pickers, ArrowsStillStepTheSectionTyped)
{
    Bench<TimePicker> b(QTime(8, 0));
    b.box->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    tabInto(b.box);
    typeKeys(b.box, QStringLiteral("10"));
    // The typing moved on to the minutes; Up steps them from the typed time.
    QTest::keyClick(b.box, Qt::Key_Up);
    EXPECT_EQ(b.box->time(), QTime(10, 1));
}

TEST_F(Pickers, OtherFormatsTypeAsQtDoes)
{
    SectionTyping t;
    EXPECT_TRUE(t.setFormat(QStringLiteral("yyyy/MM/dd")));
    EXPECT_TRUE(t.setFormat(QStringLiteral("HH:mm:ss")));
    EXPECT_TRUE(t.setFormat(QStringLiteral("d.M.yyyy")));
    EXPECT_FALSE(t.setFormat(QStringLiteral("dd MMM yyyy")));
    EXPECT_FALSE(t.setFormat(QStringLiteral("hh:mm AP")));
    EXPECT_FALSE(t.setFormat(QStringLiteral("yy/MM/dd")));
    EXPECT_FALSE(t.setFormat(QStringLiteral("yyyy//MM")));
}

// A spontaneous wheel turn at the middle of w, delivered as the window system delivers it:
// to the innermost widget there, passed up to the parents when that one ignores it.
void wheel(QWidget* w, int notches)
{
    const QPoint mid = w->rect().center();
    QWidget* target = w->childAt(mid) ? w->childAt(mid) : w;
    const QPointF local = target->mapFrom(w, mid);
    QWheelEvent e(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&e);
    QApplication::instance()->notify(target, &e);
}

TEST_F(Pickers, TheWheelTurnsABoxOnlyWhileItHasTheFocus)
{
    QScrollArea area;
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* time = new TimePicker(QTime(8, 37, 55));
    time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    auto* combo = new QComboBox;
    combo->addItems({QStringLiteral("Yes"), QStringLiteral("No")});
    combo->setCurrentIndex(1);
    auto* plain = new QSpinBox;
    auto* other = new QLineEdit;
    for (QWidget* w : std::initializer_list<QWidget*>{time, combo, plain, other})
        v->addWidget(w);
    v->addSpacing(2000);
    area.setWidget(page);
    area.resize(300, 200);
    guardWheels(page);
    area.show();
    QApplication::setActiveWindow(&area);
    other->setFocus();

    QScrollBar* bar = area.verticalScrollBar();
    for (QWidget* box : std::initializer_list<QWidget*>{time, combo, plain}) {
        bar->setValue(0);
        wheel(box, 1);
        EXPECT_GT(bar->value(), 0) << box->metaObject()->className() << ": the page scrolls";
        EXPECT_FALSE(box->hasFocus()) << box->metaObject()->className();
    }
    EXPECT_EQ(time->time(), QTime(8, 37, 55));
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(plain->value(), 0);

    // With the focus (a click, or Tab) the box takes the turn, in the section the user chose.
    bar->setValue(0);
    time->setFocus(Qt::TabFocusReason);
    time->setCurrentSection(QDateTimeEdit::SecondSection);
    wheel(time, -1);
    EXPECT_EQ(time->time(), QTime(8, 37, 56));
    combo->setFocus(Qt::TabFocusReason);
    wheel(combo, -1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(Pickers, EveryBoxOfTheMainWindowIgnoresTheWheelWithoutTheFocus)
{
    FrmRockvista w;
    w.show();
    QApplication::setActiveWindow(&w);
    w.txtSnav->setFocus();
    const QList<QWidget*> boxes = [&] {
        QList<QWidget*> all;
        for (QAbstractSpinBox* b : w.findChildren<QAbstractSpinBox*>())
            all << b;
        for (QComboBox* b : w.findChildren<QComboBox*>())
            all << b;
        return all;
    }();
    EXPECT_GE(boxes.size(), 6);
    for (QWidget* box : boxes) {
        for (int tab = 0; tab < w.SSTab1->count(); ++tab)
            if (w.SSTab1->widget(tab)->isAncestorOf(box))
                w.SSTab1->setCurrentIndex(tab);
        // A tab change may hand the focus to the page's first box.
        w.SSTab1->tabBar()->setFocus();
        QString before;
        if (auto* s = qobject_cast<QAbstractSpinBox*>(box))
            before = s->text();
        if (auto* c = qobject_cast<QComboBox*>(box))
            before = c->currentText() + QString::number(c->currentIndex());
        wheel(box, 1);
        wheel(box, -2);
        QString after;
        if (auto* s = qobject_cast<QAbstractSpinBox*>(box))
            after = s->text();
        if (auto* c = qobject_cast<QComboBox*>(box))
            after = c->currentText() + QString::number(c->currentIndex());
        EXPECT_EQ(after, before) << box->objectName().toStdString();
        EXPECT_FALSE(box->hasFocus()) << box->objectName().toStdString();
    }
}

TEST_F(Pickers, ADateTypedIntoACalendarIsThatDateOrNothing)
{
    struct Case {
        const char* keys;
        bool enter;
        QDate expected;
        const char* shown; // what the calendar shows over its days afterwards; empty: nothing
    };
    const Case cases[] = {
        {"2026/12/05", false, QDate(2026, 12, 5), ""},
        {"20261205", false, QDate(2026, 12, 5), ""},
        {"2026/12/5", true, QDate(2026, 12, 5), ""},
        {"2026/02/31", false, QDate(2026, 12, 7), "2026/02/31 is not a date"},
        {"2026/1", false, QDate(2026, 12, 7), "2026/1/07"},
        {"1205", true, QDate(2026, 12, 7), "1205/12/07 is not a whole date"}, // a year alone is no date
    };
    for (const Case& c : cases) {
        Bench<Calendar> b;
        b.box->setSelectedDate(QDate(2026, 12, 7));
        QSignalSpy changes(b.box, &QCalendarWidget::selectionChanged);
        QTest::mouseClick(b.box->focusProxy(), Qt::LeftButton, {}, b.box->focusProxy()->rect().center());
        b.box->setSelectedDate(QDate(2026, 12, 7));
        changes.clear();
        typeKeys(b.box, QString::fromLatin1(c.keys));
        if (c.enter)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(b.box->selectedDate(), c.expected) << c.keys;
        EXPECT_EQ(changes.count(), c.expected == QDate(2026, 12, 7) ? 0 : 1) << c.keys;
        // The wheel only pages through the months.
        wheel(b.box->focusProxy(), 1);
        EXPECT_EQ(b.box->selectedDate(), c.expected) << c.keys;
        auto* typed = b.box->findChild<QLabel*>(QStringLiteral("qt_calendar_typeddate"));
        ASSERT_NE(typed, nullptr);
        EXPECT_EQ(typed->isVisible() ? typed->text() : QString(), QString::fromLatin1(c.shown)) << c.keys;
        // Leaving the calendar takes no half-typed date.
        b.other->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(b.box->selectedDate(), c.expected) << c.keys;
        EXPECT_FALSE(typed->isVisible());
    }
}

} // namespace
