#pragma once
// Key and focus hooks that let a handler see a widget's events before the widget does,
// the way the forms' KeyDown/KeyPress and Validate/LostFocus events work.
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPointer>
#include <QKeyEvent>
#include <QWidget>
#include <functional>

namespace rv {

namespace detail {
class EventHook : public QObject {
public:
    EventHook(QWidget* target, QEvent::Type type, std::function<bool(QEvent*)> handler)
        : QObject(target), m_type(type), m_handler(std::move(handler))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == m_type && !m_handler(event);
    }

private:
    QEvent::Type m_type;
    std::function<bool(QEvent*)> m_handler;
};
} // namespace detail

// The handler sees every key press first; returning false discards the key.
inline void onKeyPress(QWidget* widget, std::function<bool(QKeyEvent*)> handler)
{
    new detail::EventHook(widget, QEvent::KeyPress,
                          [h = std::move(handler)](QEvent* e) { return h(static_cast<QKeyEvent*>(e)); });
}

// The character code a key press delivers (8 backspace, 13 enter, 127 delete...), 0 for none.
inline int keyAscii(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Delete: return 127;
    default: break;
    }
    return key->text().isEmpty() ? 0 : key->text().at(0).unicode();
}

// Runs when the user moves the focus from the widget to another control of the same window;
// returning false (a cancelled validation) puts the focus back. The window losing the focus
// (a message, another window) or the widget being hidden (a tab switched away) is no leaving,
// nor is the focus passing through a control while a refused one takes it back.
inline void onLeave(QWidget* widget, std::function<bool()> validate)
{
    static QPointer<QWidget> refused;
    new detail::EventHook(widget, QEvent::FocusOut, [widget, v = std::move(validate)](QEvent* event) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !widget->isVisible())
            return true;
        QWidget* next = QApplication::focusWidget();
        if (next && next->window() != widget->window())
            return true;
        if (refused && refused != widget && next == refused)
            return true;
        if (!v()) {
            refused = widget;
            widget->setFocus(Qt::OtherFocusReason);
        } else if (refused == widget) {
            refused = nullptr;
        }
        return true;
    });
}

} // namespace rv
