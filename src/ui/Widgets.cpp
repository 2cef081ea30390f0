#include "ui/Widgets.h"

#include "ui/Layout.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>
#include <QVBoxLayout>

namespace rv {

namespace {
bool releasedInside(const QWidget* widget, const QMouseEvent* event)
{
    return event->button() == Qt::LeftButton && widget->rect().contains(event->position().toPoint());
}
} // namespace

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (releasedInside(this, event))
        emit clicked();
}

ImageButton::ImageButton(const QPixmap& picture, QWidget* parent) : QLabel(parent)
{
    setPixmap(picture);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setContentsMargins(3, 3, 3, 3); // room for the focus frame around the picture
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (releasedInside(this, event))
        emit clicked();
}

void ImageButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            emit clicked();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void ImageButton::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

namespace pictures {

namespace {

// Everything is drawn on a 32 x 32 canvas and scaled to the size asked for.
const QColor kBlue(0x2a, 0x6f, 0xbd);
const QColor kGreen(0x2e, 0x9d, 0x4a);
const QColor kRed(0xd0, 0x32, 0x32);
const QColor kGrey(0x8c, 0x8c, 0x8c);
const QColor kDark(0x40, 0x40, 0x40);

QPen pen(const QColor& c, qreal w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void disc(QPainter& p, const QColor& fill)
{
    p.setPen(pen(fill.darker(130), 1.2));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 28, 28));
}

void plus(QPainter& p, const QColor& c, qreal w)
{
    p.setPen(pen(c, w));
    p.drawLine(QPointF(16, 9), QPointF(16, 23));
    p.drawLine(QPointF(9, 16), QPointF(23, 16));
}

void cross(QPainter& p, const QRectF& r, const QColor& c, qreal w)
{
    p.setPen(pen(c, w));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void triangle(QPainter& p, qreal tipX, qreal baseX, const QColor& c)
{
    QPainterPath path;
    path.moveTo(tipX, 16);
    path.lineTo(baseX, 9);
    path.lineTo(baseX, 23);
    path.closeSubpath();
    p.setPen(pen(c, 1));
    p.setBrush(c);
    p.drawPath(path);
}

void page(QPainter& p)
{
    QPainterPath path;
    path.moveTo(7, 3);
    path.lineTo(20, 3);
    path.lineTo(26, 9);
    path.lineTo(26, 29);
    path.lineTo(7, 29);
    path.closeSubpath();
    p.setPen(pen(kDark, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawPolyline(QPolygonF({QPointF(20, 3), QPointF(20, 9), QPointF(26, 9)}));
}

void grid(QPainter& p, const QRectF& r, int cols, int rows, const QColor& header)
{
    p.setPen(pen(kDark, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(r);
    const qreal rowH = r.height() / rows;
    p.fillRect(QRectF(r.left(), r.top(), r.width(), rowH), header);
    p.setPen(pen(kGrey, 1));
    for (int i = 1; i < rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + i * rowH), QPointF(r.right(), r.top() + i * rowH));
    for (int i = 1; i < cols; ++i) {
        const qreal x = r.left() + i * r.width() / cols;
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
    p.setPen(pen(kDark, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void funnel(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.moveTo(4, 5);
    path.lineTo(28, 5);
    path.lineTo(19, 16);
    path.lineTo(19, 27);
    path.lineTo(13, 23);
    path.lineTo(13, 16);
    path.closeSubpath();
    p.setPen(pen(c.darker(140), 1.2));
    p.setBrush(c);
    p.drawPath(path);
}

void disk(QPainter& p)
{
    p.setPen(pen(kDark, 1.2));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 4, 14, 9));
    p.fillRect(QRectF(18, 6, 3, 5), kDark);
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawRect(QRectF(8, 17, 16, 11));
}

void arrow(QPainter& p, bool up, const QColor& c)
{
    // A bold vertical arrow in the lower right corner, over whatever is drawn below.
    QPainterPath path;
    const qreal tip = up ? 14 : 31, base = up ? 22 : 23, tail = up ? 31 : 14;
    path.moveTo(24, tip);
    path.lineTo(31, base);
    path.lineTo(27, base);
    path.lineTo(27, tail);
    path.lineTo(21, tail);
    path.lineTo(21, base);
    path.lineTo(17, base);
    path.closeSubpath();
    p.setPen(pen(c.darker(150), 1));
    p.setBrush(c);
    p.drawPath(path);
}

QPainterPath heartPath()
{
    QPainterPath path;
    path.moveTo(16, 28);
    path.cubicTo(4, 20, 2, 14, 3, 10);
    path.cubicTo(4, 4, 13, 2, 16, 9);
    path.cubicTo(19, 2, 28, 4, 29, 10);
    path.cubicTo(30, 14, 28, 20, 16, 28);
    path.closeSubpath();
    return path;
}

void symbol(QPainter& p, const QString& text, const QColor& c)
{
    QFont f = p.font();
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, text);
}

void checkBox(QPainter& p, bool ticked)
{
    p.setPen(pen(kDark, 1.6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 5, 22, 22));
    if (ticked) {
        p.setPen(pen(kGreen.darker(120), 3.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(9, 16), QPointF(14, 22), QPointF(24, 9)}));
    }
}

void globe(QPainter& p)
{
    p.setPen(pen(kBlue.darker(130), 1.4));
    p.setBrush(QColor(0xd6, 0xe8, 0xfa));
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(10, 3, 12, 26));
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.drawLine(QPointF(6, 9), QPointF(26, 9));
    p.drawLine(QPointF(6, 23), QPointF(26, 23));
}

void draw(QPainter& p, Kind kind)
{
    switch (kind) {
    case Kind::Add:
        disc(p, kGreen);
        plus(p, Qt::white, 3.5);
        break;
    case Kind::Delete:
        disc(p, kRed);
        cross(p, QRectF(10.5, 10.5, 11, 11), Qt::white, 3.5);
        break;
    case Kind::Previous:
        disc(p, kBlue);
        triangle(p, 9, 21, Qt::white);
        break;
    case Kind::Next:
        disc(p, kBlue);
        triangle(p, 23, 11, Qt::white);
        break;
    case Kind::First:
        disc(p, kBlue);
        triangle(p, 11, 22, Qt::white);
        p.setPen(pen(Qt::white, 3));
        p.drawLine(QPointF(9.5, 9), QPointF(9.5, 23));
        break;
    case Kind::Last:
        disc(p, kBlue);
        triangle(p, 21, 10, Qt::white);
        p.setPen(pen(Qt::white, 3));
        p.drawLine(QPointF(22.5, 9), QPointF(22.5, 23));
        break;
    case Kind::Datasheet:
        grid(p, QRectF(3, 5, 26, 22), 3, 4, kBlue.lighter(150));
        break;
    case Kind::Spreadsheet:
        grid(p, QRectF(3, 5, 26, 22), 3, 4, kGreen.lighter(140));
        p.setPen(pen(kGreen.darker(130), 2.6));
        p.drawLine(QPointF(7, 16), QPointF(13, 24));
        p.drawLine(QPointF(13, 16), QPointF(7, 24));
        break;
    case Kind::Import:
        page(p);
        p.setPen(pen(kGrey, 1.2));
        for (int y = 12; y <= 20; y += 4)
            p.drawLine(QPointF(10, y), QPointF(17, y));
        arrow(p, false, kGreen);
        break;
    case Kind::Filter:
        funnel(p, kBlue);
        break;
    case Kind::FilterOff:
        funnel(p, kGrey);
        cross(p, QRectF(19, 17, 10, 10), kRed, 3);
        break;
    case Kind::Backup:
        disk(p);
        arrow(p, false, kGreen);
        break;
    case Kind::Restore:
        disk(p);
        arrow(p, true, QColor(0xe0, 0x8a, 0x1a));
        break;
    case Kind::Report:
        page(p);
        p.setPen(pen(kDark, 1.2));
        for (int y = 12; y <= 24; y += 4)
            p.drawLine(QPointF(10, y), QPointF(y == 24 ? 17 : 23, y));
        break;
    case Kind::Help:
        disc(p, kBlue);
        symbol(p, QStringLiteral("?"), Qt::white);
        break;
    case Kind::Internet:
        globe(p);
        break;
    case Kind::About:
        disc(p, kBlue);
        symbol(p, QStringLiteral("i"), Qt::white);
        break;
    case Kind::Alive:
        p.setPen(pen(kRed.darker(140), 1.2));
        p.setBrush(kRed);
        p.drawPath(heartPath());
        break;
    case Kind::Dead:
        p.setPen(pen(kGrey.darker(140), 1.2));
        p.setBrush(QColor(0xc8, 0xc8, 0xc8));
        p.drawPath(heartPath());
        cross(p, QRectF(10, 8, 12, 12), QColor(0x20, 0x20, 0x20), 3.5);
        break;
    case Kind::MarkOn:
        checkBox(p, true);
        break;
    case Kind::MarkOff:
        checkBox(p, false);
        break;
    }
}

} // namespace

QPixmap make(Kind kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p, kind);
    return pixmap;
}

} // namespace pictures

namespace layout {

QWidget* imageCell(QWidget* parent, ImageButton*& button, const char* buttonName, pictures::Kind kind,
                   ClickLabel*& caption, const char* captionName, const char* text)
{
    auto* cell = new QWidget(parent);
    auto* v = new QVBoxLayout(cell);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);
    button = named(new ImageButton(pictures::make(kind), cell), buttonName);
    caption = named(new ClickLabel(QString::fromUtf8(text), cell), captionName);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    v->addWidget(button, 0, Qt::AlignHCenter);
    v->addWidget(caption, 0, Qt::AlignHCenter);
    return cell;
}

QLabel* headerLabel(QWidget* parent)
{
    auto* label = named(new QLabel(parent), "lblHeader");
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.25);
    label->setFont(f);
    return label;
}

QTableView* gridView(QWidget* parent)
{
    return gridView(new QTableView(parent));
}

QTableView* gridView(QTableView* view)
{
    named(view, "MSFlexGrid1");
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(24);
    view->setAlternatingRowColors(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false); // Tab leaves the grid for the window's next control
    return view;
}

QLabel* pictureHolder(QWidget* parent, const char* name, pictures::Kind kind, int size)
{
    auto* label = named(new QLabel(parent), name);
    label->setPixmap(pictures::make(kind, size));
    label->hide();
    return label;
}

void markHolders(QWidget* parent, QLabel*& on, QLabel*& off)
{
    on = pictureHolder(parent, "img_x_on", pictures::Kind::MarkOn, 16);
    off = pictureHolder(parent, "img_x_off", pictures::Kind::MarkOff, 16);
}

} // namespace layout

} // namespace rv
