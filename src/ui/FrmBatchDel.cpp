#include "ui/FrmBatchDel.h"

#include "ui/Hooks.h"
#include "ui/Layout.h"
#include "ui/Pickers.h"

#include <QAbstractItemView>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace rv {

using namespace layout;

FrmBatchDel::FrmBatchDel(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBatchDel"));
    setWindowTitle(QStringLiteral("SensorData Deletion"));
    setModal(true);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 16, 16, 16);
    auto label = [this](QLabel*& member, const char* name, const char* text) {
        member = named(new QLabel(QString::fromUtf8(text), this), name);
        member->setWordWrap(true);
        return member;
    };
    auto button = [this](QPushButton*& member, const char* name, const char* text) {
        member = named(new QPushButton(QString::fromUtf8(text), this), name);
        member->setMinimumWidth(130);
        return member;
    };
    QFont bold = font();
    bold.setBold(true);

    v->addWidget(label(Label9, "Label9", "BATCH DELETE a group of readings by date:"));
    Label9->setFont(bold);
    auto* cal = new QGridLayout;
    cal->addWidget(label(Label2, "Label2", "Select start date"), 0, 0);
    cal->addWidget(label(Label3, "Label3", "Select end date"), 0, 1);
    DelStart = named(new Calendar(this), "DelStart");
    DelEnd = named(new Calendar(this), "DelEnd");
    for (QCalendarWidget* c : {DelStart, DelEnd}) {
        c->setSelectedDate(QDate::currentDate());
        c->setGridVisible(true);
        c->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        // The calendars would give up their last week rows first when the window is short.
        c->setMinimumSize(c->sizeHint());
    }
    cal->addWidget(DelStart, 1, 0);
    cal->addWidget(DelEnd, 1, 1);
    v->addLayout(cal);
    v->addWidget(label(Label1, "Label1",
                       "All sensor data found on or between the dates selected above will be permanently deleted "
                       "from the database. Click the DELETE button below to continue or Cancel to return to the "
                       "main form."));
    auto* batch = new QHBoxLayout;
    batch->addWidget(label(lblRange, "lblRange", ""), 1);
    lblRange->setFont(bold);
    batch->addWidget(button(OKButton, "OKButton", "BATCH DELETE"));
    v->addLayout(batch);

    auto choice = [&](QLabel*& orLabel, const char* orName, QLabel*& text, const char* textName, const char* caption,
                      QPushButton*& member, const char* buttonName, const char* buttonText) {
        v->addSpacing(6);
        v->addWidget(label(orLabel, orName, "OR:"));
        orLabel->setFont(bold);
        auto* row = new QHBoxLayout;
        row->addWidget(label(text, textName, caption), 1);
        row->addWidget(button(member, buttonName, buttonText));
        v->addLayout(row);
    };
    choice(Label6, "Label6", Label5, "Label5", "Click DELETE button to confirm deletetion of current reading ->",
           cmdSingleDel, "cmdSingleDel", "DELETE");
    choice(Label8, "Label8", Label7, "Label7", "Click DELETE ALL button to confirm deletetion of ALL readings ->",
           Command1, "Command1", "DELETE ALL");

    v->addSpacing(10);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(label(Label4, "Label4", "WARNING: These operations cannot be undone"), 1);
    Label4->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    bottom->addWidget(button(CancelButton, "CancelButton", "CANCEL"));
    CancelButton->setDefault(true);
    v->addLayout(bottom);

    // A calendar keeps Enter to itself; in this window Enter does what the default button says,
    // unless it ends a date being typed.
    for (Calendar* c : {DelStart, DelEnd})
        if (auto* days = c->findChild<QAbstractItemView*>())
            onKeyPress(days, [this, c](QKeyEvent* key) {
                if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || c->typing())
                    return true;
                QDialog::keyPressEvent(key);
                return false;
            });

    connect(cmdSingleDel, &QPushButton::clicked, this, [this] { done(Single); });
    connect(OKButton, &QPushButton::clicked, this, [this] { done(Range); });
    connect(Command1, &QPushButton::clicked, this, [this] { done(All); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(Cancelled); });
}

bool FrmBatchDel::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    // The wrapped texts leave the layout no minimum height of its own: a window opened on a
    // small screen (at most part of it) or given a longer range text would squeeze the
    // calendars' last weeks away.
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::LayoutRequest || type == QEvent::Resize) {
        const int need = heightForWidth(width());
        if (need > 0 && need != minimumHeight())
            setMinimumHeight(need);
    }
    return handled;
}

} // namespace rv
