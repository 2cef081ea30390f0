#pragma once
// A table view over a model that shows a window of its rows: a screenful and a little more.
// The view's own header then keeps a record per shown row only, so filling it costs the same
// whatever the number of rows. Its scroll bar (placed beside it by the window) runs over every
// row, and the current cell is kept by its row among all of them.
#include <QScrollBar>
#include <QTableView>

namespace rv {

// Model row 0 is a fixed row (shown or hidden as the view likes); model rows 1.. are the rows
// first + 1, first + 2 ... of all of them.
class RowWindowModel {
public:
    virtual ~RowWindowModel() = default;
    virtual int allRows() const = 0; // the fixed row not counted
    virtual int windowFirst() const = 0;
    // Shows up to size rows from first + 1.
    virtual void setWindow(int first, int size) = 0;
};

class RowWindowView : public QTableView {
    Q_OBJECT
public:
    explicit RowWindowView(QWidget* parent = nullptr);

    QScrollBar* rowBar() const { return m_bar; }
    void setModel(QAbstractItemModel* model) override;

    // The row among all rows of a model index, and back: showCell brings the row into view.
    int allRow(const QModelIndex& index) const;
    QModelIndex showCell(int row, int column);
    // The current cell's row among all rows (kept while it is scrolled out of the window).
    int currentRow() const;
    int currentColumn() const { return currentIndex().isValid() ? currentIndex().column() : m_currentColumn; }
    // Brings a row into view and gives its model row (what the scenario runner asks first).
    Q_INVOKABLE int showRow(int row);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    RowWindowModel* windowModel() const;
    int fullRows() const; // rows wholly on screen
    void moveWindow(int first);
    void fitWindow();
    void placeCurrent();

    QScrollBar* m_bar;
    int m_current = -1; // among all rows; -1: none
    int m_currentColumn = 0;
    bool m_moving = false;
};

} // namespace rv
