#include "ui/RowWindowView.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QWheelEvent>

namespace rv {

RowWindowView::RowWindowView(QWidget* parent) : QTableView(parent), m_bar(new QScrollBar(Qt::Vertical, parent))
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_bar->hide();
    connect(m_bar, &QScrollBar::valueChanged, this, &RowWindowView::moveWindow);
}

void RowWindowView::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_current = -1;
        fitWindow();
    });
    fitWindow();
}

RowWindowModel* RowWindowView::windowModel() const
{
    return dynamic_cast<RowWindowModel*>(model());
}

int RowWindowView::fullRows() const
{
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

int RowWindowView::allRow(const QModelIndex& index) const
{
    const RowWindowModel* m = windowModel();
    if (!m || !index.isValid() || index.row() == 0)
        return index.isValid() ? index.row() : -1;
    return index.row() + m->windowFirst();
}

int RowWindowView::currentRow() const
{
    return windowModel() ? m_current : (currentIndex().isValid() ? currentIndex().row() : -1);
}

QModelIndex RowWindowView::showCell(int row, int column)
{
    RowWindowModel* m = windowModel();
    if (!m)
        return model() ? model()->index(row, column) : QModelIndex();
    if (row <= 0)
        return model()->index(row, column);
    const int first = m->windowFirst();
    if (row <= first)
        moveWindow(row - 1);
    else if (row > first + fullRows())
        moveWindow(row - fullRows());
    return model()->index(row - m->windowFirst(), column);
}

int RowWindowView::showRow(int row)
{
    const RowWindowModel* m = windowModel();
    if (!m || row <= 0)
        return row;
    showCell(row, 0);
    return row - m->windowFirst();
}

void RowWindowView::moveWindow(int first)
{
    RowWindowModel* m = windowModel();
    if (!m)
        return;
    first = std::clamp(first, 0, std::max(0, m->allRows() - fullRows()));
    if (first != m->windowFirst()) {
        m_moving = true;
        m->setWindow(first, fullRows() + 2);
        placeCurrent();
        m_moving = false;
    }
    const QSignalBlocker quiet(m_bar);
    m_bar->setValue(first);
    verticalScrollBar()->setValue(0);
}

void RowWindowView::fitWindow()
{
    RowWindowModel* m = windowModel();
    if (!m)
        return;
    const int last = std::max(0, m->allRows() - fullRows());
    const int first = std::clamp(m->windowFirst(), 0, last);
    m_moving = true;
    m->setWindow(first, fullRows() + 2);
    placeCurrent();
    m_moving = false;
    const QSignalBlocker quiet(m_bar);
    m_bar->setRange(0, last);
    m_bar->setPageStep(fullRows());
    m_bar->setSingleStep(1);
    m_bar->setValue(first);
    m_bar->setVisible(last > 0);
    verticalScrollBar()->setValue(0);
}

void RowWindowView::placeCurrent()
{
    if (m_current <= 0 || !selectionModel())
        return;
    const QModelIndex index = model()->index(m_current - windowModel()->windowFirst(), m_currentColumn);
    if (index.isValid() && index.row() > 0)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
}

void RowWindowView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (!m_moving && windowModel()) {
        m_current = current.isValid() ? allRow(current) : -1;
        m_currentColumn = current.isValid() ? current.column() : 0;
    }
    QTableView::currentChanged(current, previous);
}

void RowWindowView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    RowWindowModel* m = windowModel();
    if (!m || m_moving || !index.isValid() || index.row() == 0) {
        QTableView::scrollTo(index, hint);
        return;
    }
    const QModelIndex shown = showCell(allRow(index), index.column());
    QTableView::scrollTo(shown, hint); // the columns
    verticalScrollBar()->setValue(0);
}

QModelIndex RowWindowView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    RowWindowModel* m = windowModel();
    if (!m || m->allRows() == 0)
        return QTableView::moveCursor(action, modifiers);
    // The current cell comes back into view before it moves.
    const int current = m_current > 0 ? m_current : 1;
    showCell(current, m_currentColumn);
    const bool control = modifiers & Qt::ControlModifier;
    int row = current;
    int column = m_currentColumn;
    switch (action) {
    case MoveUp: row = current - 1; break;
    case MoveDown: row = current + 1; break;
    case MovePageUp: row = current - fullRows(); break;
    case MovePageDown: row = current + fullRows(); break;
    case MoveHome:
    case MoveEnd:
        if (!control)
            return QTableView::moveCursor(action, modifiers);
        row = action == MoveHome ? 1 : m->allRows();
        column = QTableView::moveCursor(action, modifiers).column();
        break;
    default: return QTableView::moveCursor(action, modifiers);
    }
    return showCell(std::clamp(row, 1, m->allRows()), column);
}

void RowWindowView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (windowModel() && std::abs(delta.y()) >= std::abs(delta.x()))
        QCoreApplication::sendEvent(m_bar, event);
    else
        QTableView::wheelEvent(event);
}

void RowWindowView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitWindow();
}

} // namespace rv
