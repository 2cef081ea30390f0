#pragma once
// Finding the program's windows and controls by objectName, and acting on them as a user would.
#include "Failure.h"

#include <QModelIndex>
#include <QString>
#include <QWidget>
#include <functional>

namespace script {

class Finder {
public:
    // mainWindow gives the main window of the running copy, or null.
    explicit Finder(std::function<QWidget*()> mainWindow) : m_mainWindow(std::move(mainWindow)) {}

    QWidget* mainWindow() const { return m_mainWindow(); }
    // The open (visible) window with this objectName, or null.
    QWidget* window(const QString& name) const;
    // The open windows, topmost first: the active modal window, other modal windows,
    // other windows, the main window last.
    QList<QWidget*> openWindows() const;
    // "window.object", "object" (the topmost open window that has it) or a window's own
    // name. Throws StepFailure when nothing matches.
    QWidget* find(const QString& ref) const;
    // Like find, but null instead of a failure.
    QWidget* tryFind(const QString& ref) const;

private:
    std::function<QWidget*()> m_mainWindow;
};

// The named control inside a window, not descending into other windows parented to it.
QWidget* findInWindow(QWidget* window, const QString& name);

// A short name for messages: "frmBatchDel.Command1".
QString describe(const QWidget* w);

// Actions. Each throws StepFailure when a user could not do it (disabled control,
// window behind a modal window, no such entry...).
void click(QWidget* w);
void setValue(QWidget* w, const QString& value);
void typeText(QWidget* w, const QString& chars);
void pressKey(QWidget* w, const QString& keyName);
void leave(QWidget* w);
void choose(QWidget* w, const QString& entry);
void selectTab(QWidget* w, int index);
// The cell of a grid by row and column; throws when there is none.
QModelIndex cellIndex(QWidget* w, int row, int col);
void setCurrentCell(QWidget* w, int row, int col);
void clickCell(QWidget* w, int row, int col);
void doubleClickCell(QWidget* w, int row, int col);
// A click on a column's heading (a sortable grid sorts by it, the other way at a second click).
void clickHeading(QWidget* w, int col);
void closeWindow(QWidget* window);

// Makes the window active, as the window manager does when it appears or is clicked;
// offscreen windows get focus events only when active.
void activate(QWidget* window);

} // namespace script
