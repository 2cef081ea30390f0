#include "Expectations.h"

#include "Objects.h"
#include "Output.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimeEdit>
#include <QValueAxis>
#include <QXYSeries>

#include <algorithm>
#include <cmath>

namespace script {

namespace {

const QString kDate = QStringLiteral("yyyy/MM/dd");

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

QStringList listLines(const QListWidget* l)
{
    QStringList lines;
    for (int i = 0; i < l->count(); ++i)
        lines << l->item(i)->text();
    return lines;
}

QAbstractAxis* axisAt(const QChart* chart, Qt::Orientation o, Qt::Alignment side)
{
    const QList<QAbstractAxis*> axes = chart->axes(o);
    for (QAbstractAxis* a : axes)
        if (a->alignment() & side)
            return a;
    return axes.isEmpty() ? nullptr : axes.first();
}

} // namespace

QString valueOf(QWidget* w)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* t = qobject_cast<QTimeEdit*>(w))
        return t->time().toString(QStringLiteral("HH:mm:ss"));
    if (auto* d = qobject_cast<QDateEdit*>(w))
        return d->date().toString(kDate);
    if (auto* b = qobject_cast<QCheckBox*>(w))
        return flag(b->isChecked());
    if (auto* r = qobject_cast<QRadioButton*>(w))
        return flag(r->isChecked());
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* t = qobject_cast<QTabWidget*>(w))
        return QString::number(t->currentIndex());
    if (auto* l = qobject_cast<QListWidget*>(w))
        return listLines(l).join(QLatin1Char('\n'));
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* cal = qobject_cast<QCalendarWidget*>(w))
        return cal->selectedDate().toString(kDate);
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (w->isWindow())
        return w->windowTitle();
    throw StepFailure(QStringLiteral("cannot read %1 (a %2)").arg(describe(w), QLatin1String(w->metaObject()->className())));
}

QString itemsOf(QWidget* w)
{
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        return items.join(QLatin1Char('\n'));
    }
    if (auto* l = qobject_cast<QListWidget*>(w))
        return listLines(l).join(QLatin1Char('\n'));
    throw StepFailure(QStringLiteral("%1 has no list (a %2)").arg(describe(w), QLatin1String(w->metaObject()->className())));
}

QString cellText(QWidget* grid, int row, int col)
{
    const QModelIndex index = cellIndex(grid, row, col);
    const QAbstractItemModel* model = index.model();
    const QVariant flagText = model->data(index, Qt::UserRole + 1);
    if (flagText.typeId() == QMetaType::QString)
        return flagText.toString();
    const QVariant display = model->data(index, Qt::DisplayRole);
    if (display.isValid())
        return display.toString();
    const QVariant check = model->data(index, Qt::CheckStateRole);
    if (check.isValid())
        return check.toInt() == Qt::Checked ? QStringLiteral("[x]") : QStringLiteral("[ ]");
    return {};
}

QString colourOf(QWidget* w) { return w->palette().color(w->backgroundRole()).name(); }

QString cellColour(QWidget* grid, int row, int col)
{
    const QModelIndex index = cellIndex(grid, row, col);
    const QVariant brush = index.data(Qt::BackgroundRole);
    if (brush.canConvert<QBrush>() && brush.value<QBrush>().style() != Qt::NoBrush)
        return brush.value<QBrush>().color().name();
    return grid->palette().color(QPalette::Base).name();
}

bool shownByProgram(const QWidget* w)
{
    if (w->isWindow())
        return w->isVisible();
    // Pages of a tab strip are hidden by the strip, not by the program.
    for (const QWidget* p = w; p && !p->isWindow(); p = p->parentWidget()) {
        if (p->isHidden() && !qobject_cast<const QStackedWidget*>(p->parentWidget()))
            return false;
    }
    return true;
}

QString chartSummary(QWidget* w)
{
    auto* view = qobject_cast<QChartView*>(w);
    if (!view || !view->chart())
        throw StepFailure(describe(w) + QStringLiteral(" is not a chart"));
    const QChart* chart = view->chart();

    QString ymin, ymax, ystep;
    if (auto* y = qobject_cast<QValueAxis*>(axisAt(chart, Qt::Vertical, Qt::AlignLeft))) {
        ymin = shortNumber(y->min());
        ymax = shortNumber(y->max());
        const double step = y->tickType() == QValueAxis::TicksDynamic || y->tickCount() < 2
                                ? y->tickInterval()
                                : (y->max() - y->min()) / (y->tickCount() - 1);
        ystep = shortNumber(step);
    }
    QString xformat, xtitle;
    QAbstractAxis* x = axisAt(chart, Qt::Horizontal, Qt::AlignBottom);
    if (auto* t = qobject_cast<QDateTimeAxis*>(x))
        xformat = t->format();
    else if (auto* v = qobject_cast<QValueAxis*>(x))
        xformat = v->labelFormat();
    if (x)
        xtitle = x->titleText();

    QStringList names;
    const QList<QAbstractSeries*> series = chart->series();
    for (const QAbstractSeries* s : series)
        if (s->isVisible())
            names << s->name();
    int points = 0;
    if (!series.isEmpty())
        if (auto* xy = qobject_cast<QXYSeries*>(series.first()))
            points = int(xy->count());

    return QStringLiteral("title=%1;ymin=%2;ymax=%3;ystep=%4;xformat=%5;xtitle=%6;series=%7;points=%8")
        .arg(chart->title(), ymin, ymax, ystep, xformat, xtitle, names.join(QLatin1Char(',')))
        .arg(points);
}

QString chartAxes(QWidget* w)
{
    auto* view = qobject_cast<QChartView*>(w);
    if (!view || !view->chart())
        throw StepFailure(describe(w) + QStringLiteral(" is not a chart"));
    // The chart lays its axes out on posted events: read what is drawn once they have run.
    QCoreApplication::sendPostedEvents();
    const QChart* chart = view->chart();

    const QString moment = QStringLiteral("yyyy/MM/dd HH:mm:ss");
    QString xmin, xmax;
    QAbstractAxis* x = axisAt(chart, Qt::Horizontal, Qt::AlignBottom);
    if (auto* t = qobject_cast<QDateTimeAxis*>(x)) {
        xmin = t->min().toString(moment);
        xmax = t->max().toString(moment);
    } else if (auto* v = qobject_cast<QValueAxis*>(x)) {
        // A value axis of time holds the wall-clock moments as milliseconds read as UTC.
        const auto at = [&](double ms) {
            return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(ms)), Qt::UTC).toString(moment);
        };
        xmin = at(v->min());
        xmax = at(v->max());
    }

    // The value axis's labels are the upright text items left of the plot, beside it; its
    // title is turned on its side.
    const QRectF plot = chart->plotArea();
    QList<QPair<double, QString>> labels;
    const QList<QGraphicsItem*> items = view->scene()->items();
    for (const QGraphicsItem* item : items) {
        const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->rotation() != 0)
            continue;
        const QRectF r = text->sceneBoundingRect();
        if (r.right() > plot.left() + 1 || r.center().y() < plot.top() - r.height()
            || r.center().y() > plot.bottom() + r.height())
            continue;
        labels.append({r.center().y(), text->toPlainText()});
    }
    std::sort(labels.begin(), labels.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList ylabels;
    for (const auto& l : labels)
        ylabels << l.second;
    return QStringLiteral("xmin=%1;xmax=%2;ylabels=%3").arg(xmin, xmax, ylabels.join(QLatin1Char('|')));
}

QString focusName()
{
    for (const QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            return name;
    }
    return QStringLiteral("<none>");
}

} // namespace script
