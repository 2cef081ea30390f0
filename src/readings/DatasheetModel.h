#pragma once
// The datasheet grid as the window shows it: the flag cells carry the window's two pictures,
// drawn centred in place of their "[x]" / "[ ]" texts.
#include "readings/domain/DatasheetGrid.h"

#include <QPixmap>
#include <QStyledItemDelegate>

namespace rv {

class DatasheetModel : public DatasheetGrid {
    Q_OBJECT
public:
    DatasheetModel(const QPixmap& on, const QPixmap& off, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QPixmap m_on, m_off;
};

// Paints a flag cell's picture alone, centred; other cells as usual.
class FlagDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace rv
