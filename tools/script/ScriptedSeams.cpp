#include "ScriptedSeams.h"

#include "Output.h"

#include <QStringList>

namespace script {

namespace {

QList<rv::Answer> buttonsOf(rv::Buttons buttons)
{
    switch (buttons) {
    case rv::Buttons::OK: return {rv::Answer::OK};
    case rv::Buttons::OKCancel: return {rv::Answer::OK, rv::Answer::Cancel};
    case rv::Buttons::YesNo: return {rv::Answer::Yes, rv::Answer::No};
    }
    return {rv::Answer::OK};
}

QString titleOrApp(const QString& title) { return title.isEmpty() ? rv::kAppTitle : title; }

} // namespace

const char* answerName(rv::Answer answer)
{
    switch (answer) {
    case rv::Answer::OK: return "OK";
    case rv::Answer::Cancel: return "Cancel";
    case rv::Answer::Yes: return "Yes";
    case rv::Answer::No: return "No";
    }
    return "OK";
}

std::optional<QueuedAnswer> ScriptedDialogs::nextAnswer()
{
    if (m_t.answers.empty())
        return std::nullopt;
    QueuedAnswer a = m_t.answers.front();
    m_t.answers.pop_front();
    return a;
}

void ScriptedDialogs::showMessage(const QString& text, const QString& caption, rv::Icon icon)
{
    printLine(QStringLiteral("MESSAGE caption=%1 icon=%2 text=%3")
                  .arg(quoted(caption), QLatin1String(rv::iconName(icon)), quoted(text)));
    m_t.dialogs.push_back({DialogEvent::Message, text, caption, icon});
}

rv::Answer ScriptedDialogs::askQuestion(const QString& text, const QString& caption, rv::Icon icon,
                                        rv::Buttons buttons, rv::Answer defaultButton)
{
    rv::Answer answer = defaultButton;
    if (const auto queued = nextAnswer()) {
        bool fits = false;
        for (rv::Answer b : buttonsOf(buttons)) {
            if (queued->text == QLatin1String(answerName(b))) {
                answer = b;
                fits = true;
            }
        }
        if (!fits && m_t.fail) {
            QStringList names;
            for (rv::Answer b : buttonsOf(buttons))
                names << QLatin1String(answerName(b));
            m_t.fail(queued->line, QStringLiteral("answer %1 does not fit the question %2 (buttons %3); "
                                                  "its default button was used")
                                       .arg(quoted(queued->text), quoted(text), names.join(QLatin1Char('/'))));
        }
    }
    printLine(QStringLiteral("QUESTION caption=%1 icon=%2 text=%3 -> %4")
                  .arg(quoted(caption), QLatin1String(rv::iconName(icon)), quoted(text),
                       QLatin1String(answerName(answer))));
    m_t.dialogs.push_back({DialogEvent::Question, text, caption, icon});
    return answer;
}

QString ScriptedDialogs::input(const QString& prompt, const QString& title, const QString& /*defaultText*/)
{
    const auto queued = nextAnswer();
    const QString result = queued ? queued->text : QString();
    const QString shownTitle = titleOrApp(title);
    printLine(QStringLiteral("INPUT title=%1 prompt=%2 -> %3").arg(quoted(shownTitle), quoted(prompt), quoted(result)));
    m_t.dialogs.push_back({DialogEvent::Input, prompt, shownTitle, rv::Icon::None});
    return result;
}

QString ScriptedDialogs::openFile(const QString& filter, const QString& title)
{
    const auto queued = nextAnswer();
    const QString result = queued ? queued->text : QString();
    printLine(QStringLiteral("FILE filter=%1 -> %2").arg(quoted(filter), quoted(result)));
    m_t.dialogs.push_back({DialogEvent::File, filter, titleOrApp(title), rv::Icon::None});
    return result;
}

bool ScriptedDesktop::record(const char* kind, const QString& path)
{
    printLine(QLatin1String(kind) + QLatin1Char(' ') + quoted(path));
    m_t.opened.push_back(path);
    return true;
}

bool ScriptedDesktop::open(const QString& pathOrUrl) { return record("OPEN", pathOrUrl); }
bool ScriptedDesktop::openSpreadsheet(const QString& path) { return record("SPREADSHEET", path); }
bool ScriptedDesktop::openDocument(const QString& path) { return record("DOCUMENT", path); }

QDateTime ScriptedClock::now() const { return m_fixed ? *m_fixed : m_system.now(); }

void ScriptedClock::tick(qint64 seconds)
{
    m_fixed = now().addSecs(seconds);
}

} // namespace script
