#pragma once
// The program talks to the user and to the desktop only through these interfaces,
// so that tests can answer and record instead of showing real windows.
#include <QDateTime>
#include <QString>

namespace rv {

inline const QString kAppTitle = QStringLiteral("Rockvista g-STAY");

enum class Icon { None, Information, Exclamation, Warning, Critical, Question };
enum class Answer { OK, Cancel, Yes, No };
enum class Buttons { OK, OKCancel, YesNo };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // An empty caption means the application title.
    void message(const QString& text, const QString& caption = {}, Icon icon = Icon::None)
    {
        showMessage(text, caption.isEmpty() ? kAppTitle : caption, icon);
    }
    Answer question(const QString& text, const QString& caption, Icon icon, Buttons buttons, Answer defaultButton)
    {
        return askQuestion(text, caption.isEmpty() ? kAppTitle : caption, icon, buttons, defaultButton);
    }
    // Returns the empty text when the prompt is cancelled.
    virtual QString input(const QString& prompt, const QString& title, const QString& defaultText = {}) = 0;
    // Returns the chosen path, or the empty text when cancelled.
    virtual QString openFile(const QString& filter, const QString& title = {}) = 0;

protected:
    virtual void showMessage(const QString& text, const QString& caption, Icon icon) = 0;
    virtual Answer askQuestion(const QString& text, const QString& caption, Icon icon, Buttons buttons,
                               Answer defaultButton) = 0;
};

// Each returns false when no application took the file or address.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual bool open(const QString& pathOrUrl) = 0;
    virtual bool openSpreadsheet(const QString& path) = 0;
    virtual bool openDocument(const QString& path) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override
    {
        QDateTime t = QDateTime::currentDateTime();
        return t.addMSecs(-t.time().msec());
    }
};

struct Seams {
    Dialogs* dialogs = nullptr;
    Desktop* desktop = nullptr;
    Clock* clock = nullptr;
};

const char* iconName(Icon icon);

} // namespace rv
