#pragma once
// The datasheet grid as the window shows it: the flag cells carry the window's two pictures,
// drawn centred in place of their "[x]" / "[ ]" texts. As a model it shows the header row and
// a window of the reading rows (the view picks it); the grid's own functions take grid rows.
#include "readings/domain/DatasheetGrid.h"
#include "ui/RowWindowView.h"

#include <QPixmap>
#include <QStyledItemDelegate>

namespace rv {

class DatasheetModel : public DatasheetGrid, public RowWindowModel {
    Q_OBJECT
public:
    DatasheetModel(const QPixmap& on, const QPixmap& off, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int allRows() const override { return hasReadings() ? readingCount() : 0; }
    int windowFirst() const override { return m_first; }
    void setWindow(int first, int size) override;

protected:
    void cellChanged(int row, int column) override;

private:
    int gridRow(int modelRow) const { return modelRow == 0 ? 0 : modelRow + m_first; }

    QPixmap m_on, m_off;
    int m_first = 0;
    int m_size = 64;
};

// Paints a flag cell's picture alone, centred; other cells as usual.
class FlagDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace rv
