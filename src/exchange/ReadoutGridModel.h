#pragma once
// The import grid as the window shows it: the Append cells carry the window's two pictures.
#include "exchange/domain/ReadoutGrid.h"

#include <QColor>
#include <QPixmap>

namespace rv {

class ReadoutGridModel : public ReadoutGrid {
    Q_OBJECT
public:
    ReadoutGridModel(const QPixmap& on, const QPixmap& off, QObject* parent = nullptr)
        : ReadoutGrid(parent), m_on(on), m_off(off)
    {
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (role == Qt::DecorationRole && index.isValid() && isMarkCell(index.row(), index.column()))
            return marked(index.row() - 1) ? m_on : m_off;
        if (role == Qt::BackgroundRole && index.isValid() && index.row() > 0 && !lineProblem(index.row() - 1).isEmpty())
            return QColor(255, 214, 153); // a line to look at before it is appended
        return ReadoutGrid::data(index, role);
    }

private:
    QPixmap m_on, m_off;
};

} // namespace rv
