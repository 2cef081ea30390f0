#pragma once
// Plays a scenario against the real program, one step per turn of the event loop.
#include "Objects.h"
#include "Script.h"
#include "ScriptedSeams.h"
#include "db/DatabaseTarget.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

namespace rv {
class Program;
}

namespace script {

class Runner : public QObject {
    Q_OBJECT
public:
    // database: the --database option, as the program takes it.
    Runner(QVector<Step> steps, const QString& scriptName, const QString& dataDir, const QString& database = {});
    ~Runner() override;

    // Schedules the first step; every event loop of the application ends after the last.
    void begin();
    // Ends the copies of the program still there, prints "N passed, M failed" and
    // returns the exit status.
    int finish();

private:
    using Handler = void (Runner::*)(const Step&);
    static const QHash<QString, Handler>& handlers();

    void next();
    void execute(const Step& step);
    void fail(int line, const QString& message);
    // Counts an expectation; a mismatch prints "expected <what> <expected>, got <got>".
    void expectThat(const Step& step, bool ok, const QString& expected, const QString& got);
    QWidget* mainWindow() const;
    // The database the program works on, chosen as the program chooses it.
    rv::DatabaseTarget database() const;

    // Program and clock
    void doClock(const Step& s);
    void doTick(const Step& s);
    void doStart(const Step& s);
    void doClose(const Step& s);
    void doAnswer(const Step& s);
    // User actions
    QWidget* reachable(const QString& name);
    void doClick(const Step& s);
    void doSet(const Step& s);
    void doType(const Step& s);
    void doKey(const Step& s);
    void doLeave(const Step& s);
    void doChoose(const Step& s);
    void doTab(const Step& s);
    void doCell(const Step& s);
    void doClickCell(const Step& s);
    // Expectations on windows
    void expectValue(const Step& s);
    void expectItems(const Step& s);
    void expectCell(const Step& s);
    void expectColour(const Step& s);
    void doDoubleClickCell(const Step& s);
    void doClickHeading(const Step& s);
    void expectVisible(const Step& s);
    void expectEnabled(const Step& s);
    void expectFocus(const Step& s);
    void expectChart(const Step& s);
    // Dialogs and desktop
    void expectMessage(const Step& s);
    void expectNoMessage(const Step& s);
    void expectOpen(const Step& s);
    // Files and database
    void doSql(const Step& s);
    void expectSql(const Step& s);
    void expectTables(const Step& s);
    void doReadingTable(const Step& s);
    void doSqlFile(const Step& s);
    void doCopyDatabase(const Step& s);
    void doWriteFile(const Step& s);
    void expectFile(const Step& s);
    void expectFileContains(const Step& s);
    void doScreenshot(const Step& s);

    QVector<Step> m_steps;
    QString m_scriptName;
    QString m_dataDir;
    QString m_database;
    int m_next = 0;
    bool m_done = false;
    QDeadlineTimer m_waitUntil{QDeadlineTimer::Forever}; // of the wait-sql step being waited on
    bool m_waiting = false;
    // A wait-sql step: true once it is over (its rows came, or its time ran out: a failure).
    bool waitSql(const Step& s);
    // For each step being executed, the modal window that was active when it began.
    std::vector<QPointer<QWidget>> m_executing;
    int m_passed = 0;
    int m_failed = 0;

    Transcript m_transcript;
    ScriptedDialogs m_dialogs{m_transcript};
    ScriptedDesktop m_desktop{m_transcript};
    ScriptedClock m_clock;
    std::vector<std::unique_ptr<rv::Program>> m_programs;
    QPointer<rv::Program> m_current; // the copy whose main window the steps act on
    Finder m_finder{[this] { return mainWindow(); }};
};

} // namespace script
