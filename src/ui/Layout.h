#pragma once
// Small helpers shared by the window layouts.
#include "ui/Widgets.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QString>

class QTableView;

namespace rv::layout {

template <class W>
W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

template <class W>
W* named(W* widget, const char* name)
{
    return named(widget, QString::fromLatin1(name));
}

// Members of a control array are named with an underscore and their index.
inline QString indexed(const char* name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

inline QGroupBox* group(QWidget* parent, const char* title)
{
    return new QGroupBox(QString::fromUtf8(title), parent);
}

// A form with its captions right-aligned against the fields.
inline QFormLayout* form(QWidget* parent = nullptr)
{
    auto* f = new QFormLayout(parent);
    f->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    f->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    return f;
}

// An image button with its caption label centred under it.
QWidget* imageCell(QWidget* parent, ImageButton*& button, const char* buttonName, pictures::Kind kind,
                   ClickLabel*& caption, const char* captionName, const char* text);

// The bold heading line of a grid window.
QLabel* headerLabel(QWidget* parent);
// The grid of a grid window: a plain table without row numbers.
QTableView* gridView(QWidget* parent);
QTableView* gridView(QTableView* view); // a view made elsewhere, set up alike
// A picture that sits hidden in a window so that handlers can copy its pixmap.
QLabel* pictureHolder(QWidget* parent, const char* name, pictures::Kind kind, int size = 32);
// The two hidden pictures a grid shows in its flag cells.
void markHolders(QWidget* parent, QLabel*& on, QLabel*& off);

} // namespace rv::layout
