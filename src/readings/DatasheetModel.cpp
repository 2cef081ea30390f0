#include "readings/DatasheetModel.h"

#include <QApplication>
#include <QPainter>

namespace rv {

DatasheetModel::DatasheetModel(const QPixmap& on, const QPixmap& off, QObject* parent)
    : DatasheetGrid(parent), m_on(on), m_off(off)
{
    // A grid filled afresh shows its first rows.
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_first = 0; });
}

int DatasheetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !hasReadings())
        return DatasheetGrid::rowCount(parent);
    return 1 + std::min(m_size, readingCount() - m_first);
}

QVariant DatasheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = gridRow(index.row());
    if (role == Qt::DecorationRole && isFlagCell(row, index.column()))
        return flag(row, index.column()) ? m_on : m_off;
    return DatasheetGrid::data(createIndex(row, index.column()), role);
}

void DatasheetModel::setWindow(int first, int size)
{
    const bool moved = first != m_first;
    const int before = rowCount();
    m_size = std::max(1, size);
    if (hasReadings()) {
        const int after = 1 + std::min(m_size, readingCount() - first);
        if (after > before) {
            beginInsertRows({}, before, after - 1);
            m_first = first;
            endInsertRows();
        } else if (after < before) {
            beginRemoveRows({}, after, before - 1);
            m_first = first;
            endRemoveRows();
        }
    }
    m_first = first;
    if (moved && rowCount() > 1)
        emit dataChanged(index(1, 0), index(rowCount() - 1, columnCount() - 1));
}

void DatasheetModel::cellChanged(int row, int column)
{
    const int shown = row == 0 ? 0 : row - m_first;
    if (shown >= 0 && shown < rowCount() && (row == 0 || shown > 0))
        DatasheetGrid::cellChanged(shown, column);
}

void FlagDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QVariant picture = index.data(Qt::DecorationRole);
    if (picture.typeId() != QMetaType::QPixmap) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QPixmap pixmap = picture.value<QPixmap>();
    const QSize size = pixmap.deviceIndependentSize().toSize();
    const QRect target(QPoint(option.rect.center().x() - size.width() / 2 + 1,
                              option.rect.center().y() - size.height() / 2 + 1),
                       size);
    painter->drawPixmap(target, pixmap);
}

} // namespace rv
