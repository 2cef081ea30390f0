#include "Runner.h"

#include "Expectations.h"
#include "Output.h"
#include "SqlFile.h"

#include "app/Program.h"
#include "db/Schema.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>

namespace script {

namespace {

const char* kindWord(DialogEvent::Kind kind)
{
    switch (kind) {
    case DialogEvent::Message: return "MESSAGE";
    case DialogEvent::Question: return "QUESTION";
    case DialogEvent::Input: return "INPUT";
    case DialogEvent::File: return "FILE";
    }
    return "MESSAGE";
}

// "." crosses line breaks: messages often have several lines.
bool wholeMatch(const QString& pattern, const QString& text)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

QString boolText(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }

int toInt(const QString& word) { return word.toInt(); } // checked when the script was read

// The text of an OpenDocument file's content, one line per paragraph, runs of blanks spelled out.
QString documentText(const QString& path)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("content.xml")});
    if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0)
        throw StepFailure(QStringLiteral("cannot read the document ") + path + QStringLiteral(" (unzip)"));
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    QString text;
    bool inBody = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringView name = xml.qualifiedName();
        if (xml.isStartElement()) {
            if (name == QLatin1String("office:body"))
                inBody = true;
            else if (inBody && name == QLatin1String("text:s"))
                text += QString(std::max(1, xml.attributes().value(QLatin1String("text:c")).toInt()), QLatin1Char(' '));
            else if (inBody && name == QLatin1String("text:tab"))
                text += QLatin1Char('\t');
            else if (inBody && name == QLatin1String("text:line-break"))
                text += QLatin1Char('\n');
        } else if (xml.isEndElement() && inBody && (name == QLatin1String("text:p") || name == QLatin1String("text:h"))) {
            text += QLatin1Char('\n');
        } else if (xml.isCharacters() && inBody && !xml.isWhitespace()) {
            // Runs of white space in a paragraph count as one blank; longer ones are text:s.
            text += xml.text().toString().replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
        }
    }
    return text;
}

// A file's text; of an OpenDocument file (a report) the text its reader shows.
QString readFile(const QString& path, bool* exists)
{
    QFile f(path);
    *exists = f.open(QIODevice::ReadOnly);
    if (!*exists)
        return QString();
    const QByteArray bytes = f.readAll();
    if (bytes.startsWith("PK\x03\x04") && bytes.contains("application/vnd.oasis.opendocument"))
        return documentText(path);
    return QString::fromUtf8(bytes);
}

void makeParentFolder(const QString& path)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw StepFailure(QStringLiteral("cannot create the folder ") + dir);
}

} // namespace

Runner::Runner(QVector<Step> steps, const QString& scriptName, const QString& dataDir, const QString& database)
    : m_steps(std::move(steps)), m_scriptName(scriptName), m_dataDir(dataDir), m_database(database)
{
    m_transcript.fail = [this](int line, const QString& message) { fail(line, message); };
}

Runner::~Runner() = default;

const QHash<QString, Runner::Handler>& Runner::handlers()
{
    static const QHash<QString, Handler> table = {
        {"clock", &Runner::doClock},
        {"tick", &Runner::doTick},
        {"start", &Runner::doStart},
        {"close", &Runner::doClose},
        {"answer", &Runner::doAnswer},
        {"click", &Runner::doClick},
        {"set", &Runner::doSet},
        {"type", &Runner::doType},
        {"key", &Runner::doKey},
        {"leave", &Runner::doLeave},
        {"choose", &Runner::doChoose},
        {"tab", &Runner::doTab},
        {"cell", &Runner::doCell},
        {"click-cell", &Runner::doClickCell},
        {"expect", &Runner::expectValue},
        {"expect-items", &Runner::expectItems},
        {"expect-cell", &Runner::expectCell},
        {"expect-colour", &Runner::expectColour},
        {"double-click-cell", &Runner::doDoubleClickCell},
        {"click-heading", &Runner::doClickHeading},
        {"expect-visible", &Runner::expectVisible},
        {"expect-enabled", &Runner::expectEnabled},
        {"expect-focus", &Runner::expectFocus},
        {"expect-chart", &Runner::expectChart},
        {"expect-chart-match", &Runner::expectChart},
        {"expect-chart-axes", &Runner::expectChart},
        {"expect-chart-axes-match", &Runner::expectChart},
        {"expect-message", &Runner::expectMessage},
        {"expect-message-match", &Runner::expectMessage},
        {"expect-no-message", &Runner::expectNoMessage},
        {"expect-open", &Runner::expectOpen},
        {"expect-open-match", &Runner::expectOpen},
        {"sql", &Runner::doSql},
        {"expect-sql", &Runner::expectSql},
        {"expect-tables", &Runner::expectTables},
        {"reading-table", &Runner::doReadingTable},
        {"sql-file", &Runner::doSqlFile},
        {"copy-database", &Runner::doCopyDatabase},
        {"write-file", &Runner::doWriteFile},
        {"expect-file", &Runner::expectFile},
        {"expect-file-contains", &Runner::expectFileContains},
        {"screenshot", &Runner::doScreenshot},
    };
    return table;
}

void Runner::begin() { QTimer::singleShot(0, this, &Runner::next); }

// Step i+1 is scheduled before step i runs: when step i opens a modal window, step i+1
// runs inside that window's event loop. While a step is still running without having
// opened a new modal window (a handler turning the event loop itself), the next step waits.
void Runner::next()
{
    if (m_done)
        return;
    if (!m_executing.empty()) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_executing.back()) {
            QTimer::singleShot(5, this, &Runner::next);
            return;
        }
    }
    if (m_next >= m_steps.size()) {
        m_done = true;
        QCoreApplication::exit(0); // leaves the nested loops of windows still open as well
        return;
    }
    const Step& step = m_steps[m_next++];
    if (step.command == QLatin1String("wait-sql")) {
        // Asked again and again from the top of the event loop, so that the program hears and
        // shows meanwhile what other programs commit.
        if (!waitSql(step))
            --m_next;
        QTimer::singleShot(m_waiting ? 25 : 0, this, &Runner::next);
        return;
    }
    if (step.command == QLatin1String("sleep")) {
        QTimer::singleShot(int(step.args[0].toDouble() * 1000), this, &Runner::next);
        return;
    }
    QTimer::singleShot(0, this, &Runner::next);
    m_executing.emplace_back(QApplication::activeModalWidget());
    execute(step);
    m_executing.pop_back();
}

void Runner::execute(const Step& step)
{
    // The window on top is the active one, as after the window manager raised it.
    QWidget* top = QApplication::activeModalWidget();
    if (!top)
        top = mainWindow();
    if (top && top->isVisible())
        activate(top);

    try {
        (this->*handlers().value(step.command))(step);
    } catch (const StepFailure& f) {
        fail(step.line, f.message);
    } catch (const std::exception& e) {
        fail(step.line, QStringLiteral("the step raised an error: ") + QString::fromUtf8(e.what()));
    }
}

int Runner::finish()
{
    // A run that ended early (a program quitting the application) leaves steps that never ran.
    for (int i = m_next; i < m_steps.size(); ++i)
        fail(m_steps[i].line, QStringLiteral("the step did not run: the run ended before it"));
    // Copies still running end with the runner, without their unloading.
    while (!m_programs.empty())
        m_programs.pop_back();
    printLine(QStringLiteral("%1 passed, %2 failed").arg(m_passed).arg(m_failed));
    return m_failed == 0 ? 0 : 1;
}

void Runner::fail(int line, const QString& message)
{
    ++m_failed;
    printLine(QStringLiteral("FAIL %1:%2: %3").arg(m_scriptName).arg(line).arg(message));
}

void Runner::expectThat(const Step& step, bool ok, const QString& expected, const QString& got)
{
    if (ok)
        ++m_passed;
    else
        fail(step.line, QStringLiteral("expected %1, got %2").arg(expected, got));
}

QWidget* Runner::mainWindow() const { return m_current ? m_current->window() : nullptr; }

rv::DatabaseTarget Runner::database() const
{
    try {
        return rv::DatabaseTarget::choose(m_database, m_dataDir, m_dataDir + QLatin1Char('/') + rv::kDatabaseFileName);
    } catch (const rv::RvError& e) {
        throw StepFailure(e.description);
    }
}

// ---- Program and clock

void Runner::doClock(const Step& s)
{
    m_clock.set(QDateTime::fromString(s.args[0], QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

void Runner::doTick(const Step& s) { m_clock.tick(s.args[0].toLongLong()); }

// Several copies may exist: a second start while one runs is a second copy of the
// program, which must find the first one's lock and end.
void Runner::doStart(const Step&)
{
    m_programs.push_back(std::make_unique<rv::Program>(m_dataDir, m_database, rv::Seams{&m_dialogs, &m_desktop, &m_clock}));
    rv::Program* program = m_programs.back().get();
    const QPointer<rv::Program> previous = m_current;
    m_current = program; // already during start-up, for the steps that run in its modal windows
    if (program->load()) {
        if (QWidget* w = program->window(); w && w->isVisible() && !QApplication::activeModalWidget())
            activate(w);
    } else if (previous && previous->window()) {
        m_current = previous;
    }
}

void Runner::doClose(const Step& s)
{
    if (s.args.isEmpty()) {
        QWidget* w = mainWindow();
        if (!w || !w->isVisible())
            throw StepFailure(QStringLiteral("the program is not running"));
        closeWindow(w);
        return;
    }
    QWidget* w = m_finder.window(s.args[0]);
    if (!w)
        throw StepFailure(QStringLiteral("window %1 is not open").arg(s.args[0]));
    closeWindow(w);
}

void Runner::doAnswer(const Step& s) { m_transcript.answers.push_back({s.args[0], s.line}); }

// ---- User actions

// A user acts only on what is shown: a control on another tab page cannot be clicked or typed into.
QWidget* Runner::reachable(const QString& name)
{
    QWidget* w = m_finder.find(name);
    if (!w->isVisible())
        throw StepFailure(name + QStringLiteral(" is not shown, so a user cannot reach it"));
    return w;
}

void Runner::doClick(const Step& s) { click(reachable(s.args[0])); }
void Runner::doSet(const Step& s) { setValue(reachable(s.args[0]), s.args[1]); }
void Runner::doType(const Step& s) { typeText(reachable(s.args[0]), s.args[1]); }
void Runner::doKey(const Step& s) { pressKey(reachable(s.args[0]), s.args[1]); }
void Runner::doLeave(const Step& s) { leave(reachable(s.args[0])); }
void Runner::doChoose(const Step& s) { choose(reachable(s.args[0]), s.args[1]); }
void Runner::doTab(const Step& s) { selectTab(m_finder.find(QStringLiteral("SSTab1")), toInt(s.args[0])); }
void Runner::doCell(const Step& s)
{
    setCurrentCell(reachable(s.args[0]), toInt(s.args[1]), toInt(s.args[2]));
}
void Runner::doClickCell(const Step& s)
{
    clickCell(reachable(s.args[0]), toInt(s.args[1]), toInt(s.args[2]));
}

void Runner::doDoubleClickCell(const Step& s)
{
    doubleClickCell(reachable(s.args[0]), toInt(s.args[1]), toInt(s.args[2]));
}

void Runner::doClickHeading(const Step& s) { clickHeading(reachable(s.args[0]), toInt(s.args[1])); }

// ---- Expectations on windows

void Runner::expectValue(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const QString got = valueOf(w);
    expectThat(s, got == s.args[1], describe(w) + QLatin1Char(' ') + quoted(s.args[1]), quoted(got));
}

void Runner::expectItems(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const QString got = itemsOf(w);
    expectThat(s, got == s.args[1], QStringLiteral("items of %1 %2").arg(describe(w), quoted(s.args[1])), quoted(got));
}

void Runner::expectCell(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const QString got = cellText(w, toInt(s.args[1]), toInt(s.args[2]));
    expectThat(s, got == s.args[3],
               QStringLiteral("%1 cell %2 %3 %4").arg(describe(w), s.args[1], s.args[2], quoted(s.args[3])),
               quoted(got));
}

void Runner::expectColour(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const bool cell = s.args.size() == 4;
    const QString got = cell ? cellColour(w, toInt(s.args[1]), toInt(s.args[2])) : colourOf(w);
    const QString where = cell ? QStringLiteral("%1 cell %2 %3").arg(describe(w), s.args[1], s.args[2]) : describe(w);
    expectThat(s, got == s.args.last(), QStringLiteral("%1 colour %2").arg(where, s.args.last()), got);
}

void Runner::expectVisible(const Step& s)
{
    QWidget* w = m_finder.tryFind(s.args[0]);
    bool shown = false;
    if (w)
        shown = shownByProgram(w);
    else if (!s.args[0].startsWith(QLatin1String("frm")) || s.args[0].contains(QLatin1Char('.')))
        w = m_finder.find(s.args[0]); // throws: only a window that is not open counts as hidden
    const QString name = w ? describe(w) : s.args[0];
    expectThat(s, boolText(shown) == s.args[1], QStringLiteral("%1 visible %2").arg(name, s.args[1]), boolText(shown));
}

void Runner::expectEnabled(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const QString got = boolText(w->isEnabled());
    expectThat(s, got == s.args[1], QStringLiteral("%1 enabled %2").arg(describe(w), s.args[1]), got);
}

void Runner::expectFocus(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    QWidget* fw = QApplication::focusWidget();
    const bool ok = fw && (w->hasFocus() || w->isAncestorOf(fw));
    expectThat(s, ok, QStringLiteral("focus on %1").arg(describe(w)), focusName());
}

void Runner::expectChart(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    const QString got = s.command.startsWith(QLatin1String("expect-chart-axes")) ? chartAxes(w) : chartSummary(w);
    if (s.command.endsWith(QLatin1String("-match")))
        expectThat(s, wholeMatch(s.args[1], got), QStringLiteral("%1 matching %2").arg(describe(w), quoted(s.args[1])),
                   quoted(got));
    else
        expectThat(s, got == s.args[1], describe(w) + QLatin1Char(' ') + quoted(s.args[1]), quoted(got));
}

// ---- Dialogs and desktop

void Runner::expectMessage(const Step& s)
{
    const bool match = s.command.endsWith(QLatin1String("-match"));
    QString caption, icon;
    bool hasCaption = false, hasIcon = false;
    for (int i = 1; i + 1 < s.args.size(); i += 2) {
        if (s.args[i] == QLatin1String("caption")) {
            caption = s.args[i + 1];
            hasCaption = true;
        } else {
            icon = s.args[i + 1];
            hasIcon = true;
        }
    }
    QString expected = QStringLiteral("message ") + (match ? QStringLiteral("matching ") : QString()) + quoted(s.args[0]);
    if (hasCaption)
        expected += QStringLiteral(" caption ") + quoted(caption);
    if (hasIcon)
        expected += QStringLiteral(" icon ") + icon;

    if (m_transcript.dialogs.empty()) {
        expectThat(s, false, expected, QStringLiteral("no message"));
        return;
    }
    const DialogEvent ev = m_transcript.dialogs.front();
    m_transcript.dialogs.pop_front();
    const QString gotIcon = QLatin1String(rv::iconName(ev.icon));
    const bool ok = (match ? wholeMatch(s.args[0], ev.text) : ev.text == s.args[0])
                    && (!hasCaption || ev.caption == caption) && (!hasIcon || gotIcon == icon);
    QString got = QLatin1String(kindWord(ev.kind)) + QLatin1Char(' ') + quoted(ev.text);
    if (hasCaption)
        got += QStringLiteral(" caption ") + quoted(ev.caption);
    if (hasIcon)
        got += QStringLiteral(" icon ") + gotIcon;
    expectThat(s, ok, expected, got);
}

void Runner::expectNoMessage(const Step& s)
{
    const size_t left = m_transcript.dialogs.size();
    if (left == 0) {
        expectThat(s, true, {}, {});
        return;
    }
    const DialogEvent ev = m_transcript.dialogs.front();
    m_transcript.dialogs.clear(); // one failure, not one for every later expectation
    QString got = QLatin1String(kindWord(ev.kind)) + QLatin1Char(' ') + quoted(ev.text);
    if (left > 1)
        got += QStringLiteral(" and %1 more").arg(left - 1);
    expectThat(s, false, QStringLiteral("no message"), got);
}

void Runner::expectOpen(const Step& s)
{
    const bool match = s.command.endsWith(QLatin1String("-match"));
    const QString expected = QStringLiteral("open ") + (match ? QStringLiteral("matching ") : QString()) + quoted(s.args[0]);
    if (m_transcript.opened.empty()) {
        expectThat(s, false, expected, QStringLiteral("nothing opened"));
        return;
    }
    const QString got = m_transcript.opened.front();
    m_transcript.opened.pop_front();
    expectThat(s, match ? wholeMatch(s.args[0], got) : got == s.args[0], expected, quoted(got));
}

// ---- Files and database

namespace {
void printRows(QStringList rows)
{
    for (QString& row : rows)
        printLine(QStringLiteral("ROW ") + row.replace(QLatin1Char('\n'), QLatin1String("\\n")));
}
} // namespace

void Runner::doSql(const Step& s) { printRows(runSql(database(), s.args[0], true)); }

void Runner::expectSql(const Step& s)
{
    const QString got = runSql(database(), s.args[0], false).join(QLatin1Char('\n'));
    expectThat(s, got == s.args[1], QStringLiteral("rows ") + quoted(s.args[1]), quoted(got));
}

bool Runner::waitSql(const Step& s)
{
    if (!m_waiting) {
        m_waiting = true;
        m_waitUntil.setRemainingTime(qint64((s.args.size() > 2 ? s.args[2].toDouble() : 30) * 1000));
    }
    QString got;
    try {
        got = runSql(database(), s.args[0], false).join(QLatin1Char('\n'));
    } catch (const StepFailure& f) {
        got = f.message; // a table not made yet, say: asked again
    }
    const bool came = got == s.args[1];
    if (!came && !m_waitUntil.hasExpired())
        return false;
    m_waiting = false;
    expectThat(s, came, QStringLiteral("rows ") + quoted(s.args[1]) + QStringLiteral(" within %1 s").arg(s.args.size() > 2 ? s.args[2] : QStringLiteral("30")),
               quoted(got));
    return true;
}

void Runner::doReadingTable(const Step& s) { makeReadingTables(database(), s.args); }

// An SQLite file of its own, whichever database the program works on (a backup to damage).
void Runner::doSqlFile(const Step& s) { printRows(runSql(rv::DatabaseTarget::sqliteFile(s.args[0]), s.args[1], true)); }

void Runner::doCopyDatabase(const Step& s)
{
    makeParentFolder(s.args[0]);
    copyDatabase(database(), s.args[0]);
}

// Table names are matched without regard to case on both engines (a server keeps them in lower case).
void Runner::expectTables(const Step& s)
{
    const QString got = tableNames(database(), s.args[0]).join(QLatin1Char('\n'));
    expectThat(s, got.compare(s.args[1], Qt::CaseInsensitive) == 0, QStringLiteral("tables ") + quoted(s.args[1]),
               quoted(got));
}

void Runner::doWriteFile(const Step& s)
{
    makeParentFolder(s.args[0]);
    QFile f(s.args[0]);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(s.args[1].toUtf8()) < 0)
        throw StepFailure(QStringLiteral("cannot write %1: %2").arg(s.args[0], f.errorString()));
}

void Runner::expectFile(const Step& s)
{
    const QString got = QFileInfo::exists(s.args[0]) ? QStringLiteral("exists") : QStringLiteral("missing");
    expectThat(s, got == s.args[1], QStringLiteral("file %1 %2").arg(quoted(s.args[0]), s.args[1]), got);
}

void Runner::expectFileContains(const Step& s)
{
    bool exists = false;
    const QString content = readFile(s.args[0], &exists);
    const QString expected = QStringLiteral("file %1 to contain %2").arg(quoted(s.args[0]), quoted(s.args[1]));
    if (!exists) {
        expectThat(s, false, expected, QStringLiteral("no such file"));
        return;
    }
    const int shown = 300;
    expectThat(s, content.contains(s.args[1]), expected,
               quoted(content.left(shown)) + (content.size() > shown ? QStringLiteral("...") : QString()));
}

void Runner::doScreenshot(const Step& s)
{
    QWidget* w = m_finder.find(s.args[0]);
    // What the user sees is drawn after the pending layouts (a chart lays out its axes late).
    QCoreApplication::processEvents();
    makeParentFolder(s.args[1]);
    if (!w->grab().save(s.args[1], "PNG"))
        throw StepFailure(QStringLiteral("cannot save the picture ") + s.args[1]);
}

} // namespace script
