#include "readings/DatasheetModel.h"

#include <QApplication>
#include <QPainter>

namespace rv {

DatasheetModel::DatasheetModel(const QPixmap& on, const QPixmap& off, QObject* parent)
    : DatasheetGrid(parent), m_on(on), m_off(off)
{
}

QVariant DatasheetModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole && index.isValid() && isFlagCell(index.row(), index.column()))
        return flag(index.row(), index.column()) ? m_on : m_off;
    return DatasheetGrid::data(index, role);
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
