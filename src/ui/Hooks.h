#pragma once
// Key and focus hooks that let a handler see a widget's events before the widget does,
// the way the forms' KeyDown/KeyPress and Validate/LostFocus events work.
#include <QEvent>
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

// Runs when the focus leaves the widget; returning false (a cancelled validation)
// puts the focus back.
inline void onLeave(QWidget* widget, std::function<bool()> validate)
{
    new detail::EventHook(widget, QEvent::FocusOut, [widget, v = std::move(validate)](QEvent*) {
        if (!v())
            widget->setFocus(Qt::OtherFocusReason);
        return true;
    });
}

} // namespace rv
