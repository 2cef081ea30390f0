#include "ui/Pickers.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace rv {

namespace {

// Marks a run that began by clearing its section (Backspace before any digit).
const QChar kCleared(0x1);

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

int selectionStartOf(const QLineEdit& edit)
{
    return edit.hasSelectedText() ? edit.selectionStart() : edit.cursorPosition();
}

enum class Key { Digit, Separator, Erase, OtherCharacter, Modifier, Other };

// What a key press is to a typed date: keys with Ctrl, Alt or Meta are never typing.
Key classify(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return Key::Modifier; // pressed on its own before the key it changes
    default:
        break;
    }
    if (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))
        return Key::Other;
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return Key::Erase;
    const QString text = event->text();
    if (text.size() != 1)
        return Key::Other;
    if (isDigit(text.at(0)))
        return Key::Digit;
    if (SectionTyping::isSeparator(text.at(0)))
        return Key::Separator;
    return text.at(0).isPrint() ? Key::OtherCharacter : Key::Other;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// SectionTyping

bool SectionTyping::isSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c.isPunct() || c.isSymbol();
}

bool SectionTyping::setFormat(const QString& format)
{
    m_format = format;
    m_kinds.clear();
    m_widths.clear();
    m_separators.clear();
    m_active = false;
    bool ours = true;
    for (int i = 0; ours && i < format.size();) {
        const QChar c = format.at(i);
        int run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (QStringLiteral("yMdHms").contains(c)) {
            const bool year = c == QLatin1Char('y');
            ours = (year ? run == 4 : run <= 2) && m_kinds.size() == m_separators.size();
            m_kinds += c;
            m_widths << (year ? 4 : 2);
        } else {
            ours = run == 1 && c != QLatin1Char('\'') && isSeparator(c) && m_kinds.size() == m_separators.size() + 1;
            m_separators += c;
        }
        i += run;
    }
    if (!ours || m_kinds.isEmpty() || m_kinds.size() != m_separators.size() + 1) {
        m_kinds.clear();
        m_widths.clear();
        m_separators.clear();
        return false;
    }
    return true;
}

QStringList SectionTyping::split(const QString& text) const
{
    QStringList parts(1);
    for (const QChar c : text.trimmed()) {
        if (isDigit(c))
            parts.last() += c;
        else if (isSeparator(c))
            parts << QString();
        else
            return {};
    }
    if (parts.size() != m_widths.size())
        return {};
    for (int i = 0; i < parts.size(); ++i)
        if (parts.at(i).size() > m_widths.at(i))
            return {};
    return parts;
}

std::optional<QDateTime> SectionTyping::read(const QString& text, const QDateTime& base) const
{
    const QStringList parts = split(text);
    if (parts.isEmpty())
        return std::nullopt;
    int year = base.date().year(), month = base.date().month(), day = base.date().day();
    int hour = base.time().hour(), minute = base.time().minute(), second = base.time().second();
    for (int i = 0; i < parts.size(); ++i) {
        if (parts.at(i).isEmpty())
            return std::nullopt;
        const int v = parts.at(i).toInt();
        switch (m_kinds.at(i).unicode()) {
        case 'y': year = v; break;
        case 'M': month = v; break;
        case 'd': day = v; break;
        case 'H': hour = v; break;
        case 'm': minute = v; break;
        case 's': second = v; break;
        }
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime value(date, time, base.timeSpec());
    if (!value.isValid())
        return std::nullopt;
    return value;
}

int SectionTyping::sectionStart(const QStringList& fields, int section) const
{
    int pos = 0;
    for (int i = 0; i < section; ++i)
        pos += fields.at(i).size() + 1;
    return pos;
}

void SectionTyping::begin(const QString& shown, int position, const QString& fallback)
{
    m_startFields = split(shown);
    if (m_startFields.isEmpty())
        m_startFields = split(fallback);
    if (m_startFields.isEmpty())
        m_startFields = QStringList(m_widths.size(), QString());
    m_startSection = m_widths.size() - 1;
    for (int i = 0; i < m_startFields.size(); ++i) {
        if (position <= sectionStart(m_startFields, i) + m_startFields.at(i).size()) {
            m_startSection = i;
            break;
        }
    }
    m_run.clear();
    m_active = true;
    replay();
}

void SectionTyping::type(QChar c)
{
    m_run += c;
    replay();
}

void SectionTyping::erase()
{
    if (m_run.isEmpty() || m_run == kCleared)
        m_run = kCleared;
    else
        m_run.chop(1);
    replay();
}

void SectionTyping::replay()
{
    const int last = m_widths.size() - 1;
    m_fields = m_startFields;
    m_section = m_startSection;
    m_buffer.clear();
    bool movedOn = false; // the last digit filled a section and moved on
    for (const QChar c : m_run) {
        if (c == kCleared) {
            m_fields[m_section].clear();
            continue;
        }
        const int width = m_widths.at(m_section);
        if (isDigit(c)) {
            if (m_buffer.size() >= width)
                m_buffer.clear(); // the last section typed full again starts over
            m_buffer += c;
            m_fields[m_section] = m_buffer;
            movedOn = false;
            if (m_buffer.size() == width && m_section < last) {
                ++m_section;
                m_buffer.clear();
                movedOn = true;
            }
            continue;
        }
        // A separator ends the section; the one typed after a full section was passed already.
        if (movedOn) {
            movedOn = false;
            continue;
        }
        if (!m_buffer.isEmpty())
            m_fields[m_section] = m_buffer.rightJustified(width, QLatin1Char('0'));
        if (m_section < last) {
            ++m_section;
            m_buffer.clear();
        }
    }

    // The whole value typed as it is shown, wherever the run began.
    QString typed = m_run;
    typed.remove(kCleared);
    int digits = 0;
    for (const int w : m_widths)
        digits += w;
    QStringList whole;
    if (typed.size() == digits && std::all_of(typed.begin(), typed.end(), isDigit)) {
        for (int i = 0, at = 0; i <= last; at += m_widths.at(i), ++i)
            whole << typed.mid(at, m_widths.at(i));
    } else {
        whole = split(typed);
        if (whole.isEmpty() || whole.last().size() != m_widths.at(last)
            || std::any_of(whole.begin(), whole.end(), [](const QString& p) { return p.isEmpty(); }))
            whole.clear();
    }
    if (!whole.isEmpty()) {
        for (int i = 0; i <= last; ++i)
            m_fields[i] = whole.at(i).rightJustified(m_widths.at(i), QLatin1Char('0'));
        m_section = last;
        m_buffer = m_fields.at(last);
    }
    m_filled = m_section == last && m_buffer.size() == m_widths.at(last);
}

QString SectionTyping::text() const
{
    QString t;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (i > 0)
            t += m_separators.at(i - 1);
        t += m_fields.at(i);
    }
    return t;
}

int SectionTyping::selectionStart() const
{
    return sectionStart(m_fields, m_section) + m_buffer.size();
}

int SectionTyping::selectionLength() const
{
    return m_buffer.isEmpty() ? m_fields.at(m_section).size() : 0;
}

// ---------------------------------------------------------------------------------------------
// Date and time boxes

namespace detail {

bool PickerKeys::usable(const QDateTimeEdit& picker) const
{
    if (m_typing.format() != picker.displayFormat())
        m_typing.setFormat(picker.displayFormat());
    return m_typing.usable();
}

std::optional<QDateTime> PickerKeys::read(const QDateTimeEdit& picker, const QString& text) const
{
    if (!usable(picker))
        return std::nullopt;
    const std::optional<QDateTime> value = m_typing.read(text, picker.dateTime());
    if (!value || *value < picker.minimumDateTime() || *value > picker.maximumDateTime())
        return std::nullopt;
    return value;
}

std::optional<QValidator::State> PickerKeys::validate(const QDateTimeEdit& picker, const QString& input) const
{
    if (!usable(picker))
        return std::nullopt;
    // Left as typed: the line edit validates every text set into it, the typing's too.
    if (read(picker, input))
        return QValidator::Acceptable;
    for (const QChar c : input)
        if (!isDigit(c) && !SectionTyping::isSeparator(c))
            return QValidator::Invalid;
    return QValidator::Intermediate;
}

bool PickerKeys::pending(const QDateTimeEdit& picker, const QLineEdit& edit) const
{
    return usable(picker) && edit.text() != picker.dateTime().toString(m_typing.format());
}

void PickerKeys::settle(QDateTimeEdit& picker, QLineEdit& edit)
{
    if (!m_typing.active())
        return;
    m_typing.end();
    if (edit.text() != m_shownText)
        return;
    // A key the box handles itself (an arrow, Tab, Enter) goes on from the typed value, in the
    // section the typing reached.
    const std::optional<QDateTime> value = read(picker, edit.text());
    if (!value)
        return;
    const QString shown = value->toString(m_typing.format());
    if (shown != edit.text()) {
        const QSignalBlocker quiet(&edit);
        edit.setText(shown);
    }
    picker.setSelectedSection(picker.sectionAt(m_typing.section()));
}

bool PickerKeys::keyPress(QDateTimeEdit& picker, QLineEdit& edit, QKeyEvent* event)
{
    if (!usable(picker) || picker.isReadOnly())
        return false;
    const Key key = classify(event);
    if (key == Key::Modifier)
        return false;
    if (key == Key::Other) {
        settle(picker, edit);
        return false;
    }
    event->accept();
    if (key == Key::OtherCharacter)
        return true; // a letter has no place in a date
    const bool live = m_typing.active() && edit.text() == m_shownText && selectionStartOf(edit) == m_shownStart
                      && edit.selectedText().size() == m_shownLength;
    if (!live)
        m_typing.begin(edit.text(), selectionStartOf(edit), picker.dateTime().toString(m_typing.format()));
    if (key == Key::Erase)
        m_typing.erase();
    else
        m_typing.type(event->text().at(0));
    {
        // The box must not see these as a move to another section, which takes the text as
        // it stands: the typing goes on, and the value is taken on Enter or leaving.
        const QSignalBlocker quiet(&edit);
        edit.setText(m_typing.text());
        if (m_typing.selectionLength() > 0)
            edit.setSelection(m_typing.selectionStart(), m_typing.selectionLength());
        else
            edit.setCursorPosition(m_typing.selectionStart());
    }
    m_shownText = edit.text();
    m_shownStart = selectionStartOf(edit);
    m_shownLength = edit.selectedText().size();
    return true;
}

namespace {

// Lets a wheel turn through to what lies under a box that does not hold the focus.
class WheelGuard : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        const auto* box = static_cast<QWidget*>(watched);
        const QWidget* focus = QApplication::focusWidget();
        if (focus && (focus == box || box->isAncestorOf(focus)))
            return false;
        event->ignore();
        return true;
    }
};

} // namespace

void wheelNeedsFocus(QWidget* box)
{
    static const char* const kGuarded = "rvWheelGuarded";
    if (box->property(kGuarded).toBool())
        return;
    box->setProperty(kGuarded, true);
    // A wheel turn must not give the focus either: it would then reach the box.
    QList<QWidget*> parts = box->findChildren<QWidget*>();
    parts << box;
    for (QWidget* w : parts)
        if ((w->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
            w->setFocusPolicy(Qt::StrongFocus);
    box->installEventFilter(new WheelGuard(box));
}

} // namespace detail

void guardWheels(QWidget* window)
{
    for (QAbstractSpinBox* box : window->findChildren<QAbstractSpinBox*>())
        detail::wheelNeedsFocus(box);
    for (QComboBox* box : window->findChildren<QComboBox*>())
        detail::wheelNeedsFocus(box);
}

// ---------------------------------------------------------------------------------------------
// Calendar

Calendar::Calendar(QWidget* parent) : QCalendarWidget(parent)
{
    // Qt's own typing reads the locale's short date ("12/5/26"), not the program's dates.
    setDateEditEnabled(false);
    m_typing.setFormat(QStringLiteral("yyyy/MM/dd"));
    QWidget* days = focusProxy() ? focusProxy() : findChild<QAbstractItemView*>();
    if (days)
        days->installEventFilter(this);
    m_typed = new QLabel(this);
    // Named as the calendar names its inner parts.
    m_typed->setObjectName(QStringLiteral("qt_calendar_typeddate"));
    m_typed->setFrameShape(QFrame::Box);
    m_typed->setAutoFillBackground(true);
    m_typed->setBackgroundRole(QPalette::Base);
    m_typed->setMargin(6);
    QFont f = m_typed->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    m_typed->setFont(f);
    m_typed->hide();
}

bool Calendar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == focusProxy() || watched == findChild<QAbstractItemView*>()) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(static_cast<QKeyEvent*>(event));
        case QEvent::FocusOut:
            // Only a date typed to its end counts: what a half-typed one would become is
            // not what the window says it will use.
            drop();
            break;
        case QEvent::MouseButtonPress:
            drop();
            break;
        default:
            break;
        }
    }
    return QCalendarWidget::eventFilter(watched, event);
}

bool Calendar::keyPress(QKeyEvent* event)
{
    const Key key = classify(event);
    if (m_typing.active() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // "1205" alone would be the year 1205 with the shown month and day: a deletion range
        // nobody meant. Only a date typed to its day is taken.
        if (m_typing.reachedLast())
            take();
        else
            show(m_typing.text() + QStringLiteral(" is not a whole date"), true);
        return true;
    }
    if (m_typing.active() && event->key() == Qt::Key_Escape) {
        drop();
        return true;
    }
    if (key == Key::Modifier)
        return false;
    if (key == Key::Other || (key == Key::Erase && !m_typing.active())) {
        drop();
        return false;
    }
    if (key == Key::OtherCharacter)
        return true;
    if (!m_typing.active()) {
        const QString shown = selectedDate().toString(m_typing.format());
        m_typing.begin(shown, 0, shown);
    }
    if (key == Key::Erase)
        m_typing.erase();
    else
        m_typing.type(event->text().at(0));
    show(m_typing.text(), false);
    if (m_typing.filled())
        take();
    return true;
}

void Calendar::take()
{
    if (!m_typing.active())
        return;
    m_typing.end();
    const QString text = m_typing.text();
    const std::optional<QDateTime> value = m_typing.read(text, QDateTime(selectedDate(), QTime(0, 0)));
    if (!value || value->date() < minimumDate() || value->date() > maximumDate()) {
        show(text + QStringLiteral(" is not a date"), true);
        return;
    }
    m_typed->hide();
    setSelectedDate(value->date());
}

void Calendar::drop()
{
    m_typing.end();
    m_typed->hide();
}

void Calendar::show(const QString& text, bool refused)
{
    m_typed->setText(text);
    m_typed->setStyleSheet(refused ? QStringLiteral("color: #c00000") : QString());
    m_typed->adjustSize();
    const QWidget* days = focusProxy() ? focusProxy() : findChild<QAbstractItemView*>();
    const QRect area = days ? days->geometry() : rect();
    QRect r(QPoint(0, 0), m_typed->size());
    r.moveCenter(area.center());
    m_typed->setGeometry(r);
    m_typed->raise();
    m_typed->show();
}

} // namespace rv
