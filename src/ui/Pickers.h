#pragma once
// Date and time boxes that take what a person types exactly as it is shown, and boxes that
// leave the mouse wheel alone until they have the keyboard focus.
#include <QCalendarWidget>
#include <QDateEdit>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimeEdit>
#include <optional>
#include <utility>

class QLabel;

namespace rv {

// Typing into a value shown as numeric sections with one separator between them
// ("yyyy/MM/dd", "HH:mm:ss"). A run of typing starts at a section and fills the sections in
// order: a section typed full moves on to the next, and a separator typed right after that
// is the one already passed; a separator after fewer digits ends the section. A run that
// holds the whole value as it is shown (every section and separator, or every digit) is
// that value, whichever section it started in.
class SectionTyping {
public:
    // False for a format with sections that are not numbers (month names, AM/PM).
    bool setFormat(const QString& format);
    bool usable() const { return !m_widths.isEmpty(); }
    const QString& format() const { return m_format; }

    // A text of 1..width digits per section, any one separator between them, as a value;
    // the parts the format does not show come from base.
    std::optional<QDateTime> read(const QString& text, const QDateTime& base) const;

    // Starts a run over the text shown (or, when that has not the form, over fallback), in the
    // section that holds position.
    void begin(const QString& shown, int position, const QString& fallback);
    void end() { m_active = false; }
    bool active() const { return m_active; }
    void type(QChar c);  // a digit or a separator
    void erase();        // Backspace or Delete: takes back the last key, or clears the section
    QString text() const;
    int selectionStart() const;  // where the next key goes: the section to replace,
    int selectionLength() const; // or a cursor after the digits typed into it
    bool filled() const { return m_filled; } // the last section has just been typed full
    // Digits have reached the last section: the run names a whole value, not a start of one.
    bool reachedLast() const { return m_section == m_widths.size() - 1 && !m_buffer.isEmpty(); }
    int section() const { return m_section; }

    static bool isSeparator(QChar c);

private:
    void replay();
    QStringList split(const QString& text) const; // empty when the text has not the form
    int sectionStart(const QStringList& fields, int section) const;

    QString m_format;
    QString m_kinds;       // one format letter per section
    QList<int> m_widths;
    QString m_separators;  // one between each two sections
    bool m_active = false;
    QStringList m_startFields;
    int m_startSection = 0;
    QString m_run;         // the keys of the run; kCleared for a cleared section
    QStringList m_fields;
    int m_section = 0;
    QString m_buffer;      // digits typed into the current section
    bool m_filled = false;
};

namespace detail {

// The typing of one date or time box: its line edit shows the run; the value is taken, as
// the box takes typed text, on Enter or when the focus leaves.
class PickerKeys {
public:
    bool keyPress(QDateTimeEdit& picker, QLineEdit& edit, QKeyEvent* event); // false: not typing
    void reset() { m_typing.end(); }
    std::optional<QValidator::State> validate(const QDateTimeEdit& picker, const QString& input) const;
    std::optional<QDateTime> read(const QDateTimeEdit& picker, const QString& text) const;
    // False for a display format it does not handle: the box then types as Qt's does.
    bool usable(const QDateTimeEdit& picker) const;
    // The box shows typing that is not its value yet.
    bool pending(const QDateTimeEdit& picker, const QLineEdit& edit) const;

private:
    void settle(QDateTimeEdit& picker, QLineEdit& edit);

    mutable SectionTyping m_typing;
    QString m_shownText; // what the run left in the box: anything else there ends it
    int m_shownStart = -1;
    int m_shownLength = 0;
};

// Makes a box take a wheel turn only while it holds the keyboard focus.
void wheelNeedsFocus(QWidget* box);

} // namespace detail

// A date or time box (QDateEdit, QTimeEdit) that takes what is typed, as described above.
// A complete typed value that does not exist, or lies outside the box's range, changes nothing.
template <class Base>
class Picker : public Base {
public:
    template <class... Args>
    explicit Picker(Args&&... args) : Base(std::forward<Args>(args)...)
    {
        // The value is taken when the typing is done, never half-typed.
        this->setKeyboardTracking(false);
        detail::wheelNeedsFocus(this);
        this->lineEdit()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A click into the text starts the typing afresh, wherever it lands.
        if (watched == this->lineEdit() && event->type() == QEvent::MouseButtonPress)
            m_keys.reset();
        return Base::eventFilter(watched, event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_keys.keyPress(*this, *this->lineEdit(), event))
            Base::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        m_keys.reset();
        Base::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        // Leaving takes what was typed, as Enter does.
        if (m_keys.pending(*this, *this->lineEdit()))
            this->interpretText();
        m_keys.reset();
        Base::focusOutEvent(event);
    }
    QValidator::State validate(QString& input, int& pos) const override
    {
        const std::optional<QValidator::State> state = m_keys.validate(*this, input);
        return state ? *state : Base::validate(input, pos);
    }
    void fixup(QString& input) const override
    {
        // What cannot be read changes nothing.
        if (m_keys.usable(*this))
            input = this->textFromDateTime(this->dateTime());
        else
            Base::fixup(input);
    }
    QDateTime dateTimeFromText(const QString& text) const override
    {
        const std::optional<QDateTime> value = m_keys.read(*this, text);
        return value ? *value : Base::dateTimeFromText(text);
    }

private:
    detail::PickerKeys m_keys;
};

using DatePicker = Picker<QDateEdit>;
using TimePicker = Picker<QTimeEdit>;

// A month calendar into which a date can be typed as the program writes dates ("2026/12/05");
// the typing shows over the days. The typed date is taken when its last section is typed full
// or on Enter; a date that does not exist or lies outside the range changes nothing. Escape,
// a click or leaving the calendar drops the typing.
class Calendar : public QCalendarWidget {
public:
    explicit Calendar(QWidget* parent = nullptr);
    // A date is being typed: Enter ends it.
    bool typing() const { return m_typing.active(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(QKeyEvent* event);
    void take();
    void drop();
    void show(const QString& text, bool refused);

    SectionTyping m_typing;
    QLabel* m_typed = nullptr;
};

// Every spin, date, time and combo box of a window takes a wheel turn only while it holds the
// keyboard focus; otherwise the turn goes to what lies under it.
void guardWheels(QWidget* window);

} // namespace rv
