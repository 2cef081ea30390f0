#include "Objects.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <queue>

namespace script {

namespace {

bool isOpenWindow(const QWidget* w)
{
    if (!w->isWindow() || !w->isVisible())
        return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip;
}

QString className(const QWidget* w) { return QString::fromLatin1(w->metaObject()->className()); }

// The focus is on w, on its focus proxy, or inside it (a grid's cell editor).
bool holdsFocus(const QWidget* w)
{
    const QWidget* fw = QApplication::focusWidget();
    return fw && (w->hasFocus() || w->isAncestorOf(fw));
}

bool focusable(const QWidget* w) { return w->isVisible() && w->isActiveWindow(); }

// What a user needs to act on a control at all.
void requireUsable(QWidget* w)
{
    if (!w->isEnabled())
        throw StepFailure(describe(w) + QStringLiteral(" is disabled"));
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && w->window() != modal)
        throw StepFailure(describe(w) + QStringLiteral(" is behind the modal window ") + modal->objectName());
}

void requireOnScreen(QWidget* w)
{
    if (!w->isVisible())
        throw StepFailure(describe(w) + QStringLiteral(" is not on screen (hidden, or on another tab)"));
}

// Gives w the focus as a mouse press on it would. False when the previous focus holder's
// lost-focus or validate handler took the focus back: the press then does not happen.
bool focusAsClick(QWidget* w)
{
    if (!(w->focusPolicy() & Qt::ClickFocus) || !focusable(w) || holdsFocus(w))
        return true;
    QWidget* before = QApplication::focusWidget();
    w->setFocus(Qt::MouseFocusReason);
    return holdsFocus(w) || !before || QApplication::focusWidget() != before;
}

// Gives w the focus for typing; keys then go wherever the focus is.
void focusForKeys(QWidget* w)
{
    requireOnScreen(w);
    if (!holdsFocus(w))
        w->setFocus(Qt::MouseFocusReason);
}

QWidget* keyTarget(QWidget* w)
{
    QWidget* fw = QApplication::focusWidget();
    return fw && fw->window() == w->window() ? fw : w;
}

void mouseClickAt(QWidget* w, QPoint pos) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, pos); }

void clickButton(QAbstractButton* b)
{
    if (focusAsClick(b))
        b->click();
}

void sendChar(QWidget* w, QChar c)
{
    switch (c.unicode()) {
    case '\n': QTest::keyClick(keyTarget(w), Qt::Key_Return); return;
    case '\t': QTest::keyClick(keyTarget(w), Qt::Key_Tab); return;
    case '\b': QTest::keyClick(keyTarget(w), Qt::Key_Backspace); return;
    }
    if (c.unicode() < 0x80 && c.isPrint()) {
        QTest::keyClick(keyTarget(w), char(c.unicode()));
        return;
    }
    QTest::sendKeyEvent(QTest::Click, keyTarget(w), Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

QDate parseDate(const QString& text)
{
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy/MM/dd"));
    if (!d.isValid())
        throw StepFailure(QStringLiteral("\"%1\" is not a date \"yyyy/MM/dd\"").arg(text));
    return d;
}

} // namespace

QModelIndex cellIndex(QWidget* w, int row, int col)
{
    auto* view = qobject_cast<QAbstractItemView*>(w);
    if (!view || !view->model())
        throw StepFailure(describe(w) + QStringLiteral(" is not a grid"));
    // A grid that shows a window of its rows brings the row into view and tells its model row.
    int shown = row;
    if (view->metaObject()->indexOfMethod("showRow(int)") >= 0)
        QMetaObject::invokeMethod(view, "showRow", Q_RETURN_ARG(int, shown), Q_ARG(int, row));
    const QModelIndex index = view->model()->index(shown, col);
    if (!index.isValid())
        throw StepFailure(QStringLiteral("%1 has no cell %2 %3 (%4 rows, %5 columns)")
                              .arg(describe(w)).arg(row).arg(col)
                              .arg(view->model()->rowCount()).arg(view->model()->columnCount()));
    return index;
}

QString describe(const QWidget* w)
{
    const QWidget* win = w->window();
    if (win == w)
        return w->objectName();
    return win->objectName() + QLatin1Char('.') + w->objectName();
}

QWidget* findInWindow(QWidget* window, const QString& name)
{
    std::queue<QWidget*> todo;
    todo.push(window);
    while (!todo.empty()) {
        QWidget* w = todo.front();
        todo.pop();
        for (QObject* child : w->children()) {
            auto* cw = qobject_cast<QWidget*>(child);
            if (!cw || cw->isWindow())
                continue;
            if (cw->objectName() == name)
                return cw;
            todo.push(cw);
        }
    }
    return nullptr;
}

QList<QWidget*> Finder::openWindows() const
{
    QList<QWidget*> modal, other;
    QWidget* main = mainWindow();
    QWidget* active = QApplication::activeModalWidget();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == active || !isOpenWindow(w) || w->objectName().isEmpty())
            continue;
        if (w == main || w->objectName() == QLatin1String("frmRockvista"))
            continue; // the main window comes last; ended copies' windows not at all
        (w->windowModality() != Qt::NonModal ? modal : other) << w;
    }
    QList<QWidget*> all;
    if (active && isOpenWindow(active))
        all << active;
    all << modal << other;
    if (main && main->isVisible() && main != active)
        all << main;
    return all;
}

QWidget* Finder::window(const QString& name) const
{
    for (QWidget* w : openWindows())
        if (w->objectName() == name)
            return w;
    return nullptr;
}

QWidget* Finder::tryFind(const QString& ref) const
{
    const int dot = ref.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        QWidget* win = window(ref.left(dot));
        return win ? findInWindow(win, ref.mid(dot + 1)) : nullptr;
    }
    const QList<QWidget*> windows = openWindows();
    for (QWidget* win : windows)
        if (win->objectName() == ref)
            return win;
    for (QWidget* win : windows)
        if (QWidget* w = findInWindow(win, ref))
            return w;
    return nullptr;
}

QWidget* Finder::find(const QString& ref) const
{
    if (QWidget* w = tryFind(ref))
        return w;
    const int dot = ref.indexOf(QLatin1Char('.'));
    if (dot >= 0 && !window(ref.left(dot)))
        throw StepFailure(QStringLiteral("window %1 is not open").arg(ref.left(dot)));
    if (openWindows().isEmpty())
        throw StepFailure(QStringLiteral("unknown object %1: no window is open").arg(ref));
    throw StepFailure(QStringLiteral("unknown object %1").arg(ref));
}

void activate(QWidget* window)
{
    if (!window || QApplication::activeWindow() == window)
        return;
    window->activateWindow();
    QApplication::setActiveWindow(window);
}

void click(QWidget* w)
{
    requireUsable(w);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        clickButton(b);
        return;
    }
    // Image buttons, caption labels and anything else: a real press and release.
    if (focusAsClick(w))
        mouseClickAt(w, w->rect().center());
}

void setValue(QWidget* w, const QString& value)
{
    requireUsable(w);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->isReadOnly())
            throw StepFailure(describe(w) + QStringLiteral(" is read-only"));
        e->setText(value);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (!c->isEditable())
            throw StepFailure(describe(w) + QStringLiteral(" is a list without a text part; use choose"));
        c->setEditText(value);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        if (p->isReadOnly())
            throw StepFailure(describe(w) + QStringLiteral(" is read-only"));
        p->setPlainText(value);
    } else if (auto* t = qobject_cast<QTimeEdit*>(w)) {
        const QTime time = QTime::fromString(value, QStringLiteral("HH:mm:ss"));
        if (!time.isValid())
            throw StepFailure(QStringLiteral("\"%1\" is not a time \"HH:mm:ss\"").arg(value));
        t->setTime(time);
    } else if (auto* d = qobject_cast<QDateEdit*>(w)) {
        const QDate date = parseDate(value);
        // Checked first: the picker's own handlers may put the date back.
        if (date < d->minimumDate() || date > d->maximumDate())
            throw StepFailure(QStringLiteral("%1 does not take %2 (range %3 to %4)")
                                  .arg(describe(w), value, d->minimumDate().toString(QStringLiteral("yyyy/MM/dd")),
                                       d->maximumDate().toString(QStringLiteral("yyyy/MM/dd"))));
        d->setDate(date);
    } else if (auto* cal = qobject_cast<QCalendarWidget*>(w)) {
        const QDate date = parseDate(value);
        if (date < cal->minimumDate() || date > cal->maximumDate())
            throw StepFailure(describe(w) + QStringLiteral(" does not take ") + value);
        cal->setSelectedDate(date);
        emit cal->clicked(date); // a user picks a day by clicking it
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            throw StepFailure(QStringLiteral("a check box is set to \"0\" or \"1\", not \"%1\"").arg(value));
        if (box->isChecked() != (value == QLatin1String("1")))
            clickButton(box);
    } else {
        throw StepFailure(QStringLiteral("cannot set %1 (a %2)").arg(describe(w), className(w)));
    }
}

void typeText(QWidget* w, const QString& chars)
{
    requireUsable(w);
    if (auto* picker = qobject_cast<QDateTimeEdit*>(w)) {
        // A picker gets the focus as Tab gives it: its first section selected.
        requireOnScreen(w);
        if (!holdsFocus(w))
            w->setFocus(Qt::TabFocusReason);
        if (holdsFocus(w))
            picker->setSelectedSection(picker->sectionAt(0));
    } else {
        focusForKeys(w);
    }
    for (const QChar c : chars)
        sendChar(w, c);
}

void pressKey(QWidget* w, const QString& keyName)
{
    static const QHash<QString, Qt::Key> keys = {
        {QStringLiteral("Enter"), Qt::Key_Return}, {QStringLiteral("Backspace"), Qt::Key_Backspace},
        {QStringLiteral("Delete"), Qt::Key_Delete}, {QStringLiteral("Tab"), Qt::Key_Tab},
        {QStringLiteral("Escape"), Qt::Key_Escape}, {QStringLiteral("Up"), Qt::Key_Up},
        {QStringLiteral("Down"), Qt::Key_Down}};
    const auto it = keys.find(keyName);
    if (it == keys.end())
        throw StepFailure(QStringLiteral("unknown key %1").arg(keyName));
    requireUsable(w);
    focusForKeys(w);
    QTest::keyClick(keyTarget(w), *it);
}

void leave(QWidget* w)
{
    requireUsable(w);
    focusForKeys(w);
    if (!holdsFocus(w))
        return; // a got-focus handler sent the focus elsewhere: it has already left
    // The next control in the tab order that can take the focus, as Tab would pick it.
    for (QWidget* next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain()) {
        if (next->window() != w->window() || w->isAncestorOf(next) || next->isAncestorOf(w))
            continue;
        if (next->isVisible() && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    w->clearFocus();
}

void choose(QWidget* w, const QString& entry)
{
    requireUsable(w);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int index = c->findText(entry, Qt::MatchExactly);
        if (index < 0)
            throw StepFailure(QStringLiteral("%1 has no entry \"%2\"").arg(describe(w), entry));
        if (!focusAsClick(c))
            return;
        c->setCurrentIndex(index);
        emit c->activated(index);
        emit c->textActivated(c->itemText(index));
    } else if (auto* l = qobject_cast<QListWidget*>(w)) {
        const QList<QListWidgetItem*> found = l->findItems(entry, Qt::MatchExactly);
        if (found.isEmpty())
            throw StepFailure(QStringLiteral("%1 has no entry \"%2\"").arg(describe(w), entry));
        if (!focusAsClick(l))
            return;
        const QModelIndex index = l->indexFromItem(found.first());
        l->setCurrentRow(index.row());
        emit l->pressed(index);
        emit l->clicked(index); // the list widget turns these into itemPressed / itemClicked
    } else {
        throw StepFailure(QStringLiteral("cannot choose in %1 (a %2)").arg(describe(w), className(w)));
    }
}

void selectTab(QWidget* w, int index)
{
    auto* tabs = qobject_cast<QTabWidget*>(w);
    if (!tabs)
        throw StepFailure(describe(w) + QStringLiteral(" is not a tab strip"));
    requireUsable(w);
    if (index >= tabs->count())
        throw StepFailure(QStringLiteral("%1 has no tab %2 (%3 tabs)").arg(describe(w)).arg(index).arg(tabs->count()));
    if (!tabs->isTabEnabled(index))
        throw StepFailure(QStringLiteral("tab %1 of %2 is disabled").arg(index).arg(describe(w)));
    emit tabs->tabBarClicked(index);
    tabs->setCurrentIndex(index);
}

void setCurrentCell(QWidget* w, int row, int col)
{
    const QModelIndex index = cellIndex(w, row, col);
    requireUsable(w);
    static_cast<QAbstractItemView*>(w)->setCurrentIndex(index);
}

namespace {
// The centre of a cell on the grid's viewport, scrolled into view.
QPoint cellCentre(QWidget* w, int row, int col)
{
    const QModelIndex index = cellIndex(w, row, col);
    requireUsable(w);
    auto* view = static_cast<QAbstractItemView*>(w);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    if (!rect.isValid() || !view->viewport()->rect().contains(rect.center()))
        throw StepFailure(QStringLiteral("cell %1 %2 of %3 is not on screen").arg(row).arg(col).arg(describe(w)));
    return rect.center();
}
} // namespace

void clickCell(QWidget* w, int row, int col)
{
    mouseClickAt(static_cast<QAbstractItemView*>(w)->viewport(), cellCentre(w, row, col));
}

void doubleClickCell(QWidget* w, int row, int col)
{
    const QPoint centre = cellCentre(w, row, col);
    QWidget* viewport = static_cast<QAbstractItemView*>(w)->viewport();
    // A double-click is a click, then a second press that Qt reports as the double-click.
    mouseClickAt(viewport, centre);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, centre);
}

void clickHeading(QWidget* w, int col)
{
    auto* view = qobject_cast<QTableView*>(w);
    if (!view)
        throw StepFailure(describe(w) + QStringLiteral(" is not a grid with headings"));
    requireUsable(w);
    QHeaderView* header = view->horizontalHeader();
    if (col < 0 || col >= header->count())
        throw StepFailure(QStringLiteral("%1 has no column %2").arg(describe(w)).arg(col));
    view->scrollTo(view->model()->index(0, col));
    const int x = header->sectionViewportPosition(col) + header->sectionSize(col) / 2;
    mouseClickAt(header->viewport(), QPoint(x, header->height() / 2));
}

void closeWindow(QWidget* window)
{
    if (!window->isWindow())
        throw StepFailure(describe(window) + QStringLiteral(" is not a window"));
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window)
        throw StepFailure(window->objectName() + QStringLiteral(" is behind the modal window ") + modal->objectName());
    window->close();
}

} // namespace script
