#pragma once
// Seams that answer from the script and record what the program showed and opened.
#include "core/Seams.h"

#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace script {

struct DialogEvent {
    enum Kind { Message, Question, Input, File };
    Kind kind = Message;
    QString text;    // the message, the prompt of an input, the filter of a file dialog
    QString caption; // the caption, the title of an input or file dialog
    rv::Icon icon = rv::Icon::None;
};

struct QueuedAnswer {
    QString text;
    int line = 0; // the script line that queued it
};

// What the program has shown and opened, oldest first, until the script expects it.
struct Transcript {
    std::deque<DialogEvent> dialogs;
    std::deque<QString> opened;
    std::deque<QueuedAnswer> answers;
    // Reports an answer that does not fit the question that consumed it.
    std::function<void(int line, const QString& message)> fail;
};

class ScriptedDialogs : public rv::Dialogs {
public:
    explicit ScriptedDialogs(Transcript& transcript) : m_t(transcript) {}
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFile(const QString& filter, const QString& title) override;

protected:
    void showMessage(const QString& text, const QString& caption, rv::Icon icon) override;
    rv::Answer askQuestion(const QString& text, const QString& caption, rv::Icon icon, rv::Buttons buttons,
                           rv::Answer defaultButton) override;

private:
    std::optional<QueuedAnswer> nextAnswer();
    Transcript& m_t;
};

class ScriptedDesktop : public rv::Desktop {
public:
    explicit ScriptedDesktop(Transcript& transcript) : m_t(transcript) {}
    bool open(const QString& pathOrUrl) override;
    bool openSpreadsheet(const QString& path) override;
    bool openDocument(const QString& path) override;

private:
    bool record(const char* kind, const QString& path);
    Transcript& m_t;
};

// The real clock until the script sets it; then it stands still unless moved.
class ScriptedClock : public rv::Clock {
public:
    QDateTime now() const override;
    void set(const QDateTime& moment) { m_fixed = moment; }
    void tick(qint64 seconds);

private:
    std::optional<QDateTime> m_fixed;
    rv::SystemClock m_system;
};

const char* answerName(rv::Answer answer);

} // namespace script
