// rockvista-script [--data-dir DIR] SCRIPT.rvs
// Plays a scenario against the real program with scripted dialogs, desktop and clock.
#include "Runner.h"
#include "Script.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform's notes about itself say nothing about the program.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support"))
        || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    defaultHandler(type, context, message);
}

int usage(const char* problem)
{
    std::fprintf(stderr, "rockvista-script: %s\nusage: rockvista-script [--data-dir DIR] [--database URL] SCRIPT.rvs\n", problem);
    return 2;
}

const char kHelp[] = R"(rockvista-script [--data-dir DIR] [--database URL] SCRIPT.rvs
Plays a scenario against the real program with scripted dialogs, desktop and clock.
The database is chosen as the program chooses it (--database, ROCKVISTA_DATABASE, the data
folder's database.conf, else its file); the sql steps run on it.
Steps (one a line; words with blanks in double quotes; $DATA is the data folder):
  clock "yyyy/MM/dd HH:mm:ss" | tick SECONDS | start | close [WINDOW] | sleep SECONDS
  answer Yes|No|OK|Cancel|"text"
  click OBJECT | set OBJECT "text" | type OBJECT "chars" | key OBJECT NAME | leave OBJECT
  choose OBJECT "entry" | tab INDEX | cell GRID ROW COL | click-cell GRID ROW COL
  double-click-cell GRID ROW COL | click-heading GRID COL   (sorts a sortable grid)
  expect OBJECT "text" | expect-items OBJECT "a
b" | expect-cell GRID ROW COL "text"
  expect-colour OBJECT "#rrggbb" | expect-colour GRID ROW COL "#rrggbb"
      the colour a control or a grid cell is filled with
  expect-visible OBJECT true|false | expect-enabled OBJECT true|false | expect-focus OBJECT
  expect-message[-match] "text" [caption "..."] [icon NAME] | expect-no-message
  expect-open[-match] "path"
  expect-chart[-match] CHART "title=...;ymin=...;ymax=...;ystep=...;xformat=...;xtitle=...;series=...;points=N"
  expect-chart-axes[-match] CHART "xmin=yyyy/MM/dd HH:mm:ss;xmax=yyyy/MM/dd HH:mm:ss;ylabels=0|20|40"
      the time axis's range as drawn and the value-axis labels as drawn, bottom to top
      (an elided label as shown)
  sql "statement" | expect-sql "query" "rows"
  wait-sql "query" "rows" [SECONDS]   (asks again, the program running meanwhile, until the
      rows come; fails after SECONDS, 30 unless given: for another program on the same database)
  reading-table ID...   (the sensors' reading tables, made as the program makes them)
  copy-database "path"  (the database as a backup file, as the backup window writes it)
  sql-file "path" "statements"   (on an SQLite file of its own, made when missing)
  expect-tables "pattern" "names"   (the tables matching * and ?, one a line, in name order)
  write-file "path" "content" | expect-file "path" exists|missing
  expect-file-contains "path" "text"   (a report: its text, one line per paragraph)
  screenshot WINDOW "path.png"
)";

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    defaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    // The script ends the run, not the last window: steps after "close" check what closing saved.
    app.setQuitOnLastWindowClosed(false);

    QString dataDir = qEnvironmentVariable("ROCKVISTA_DATA_DIR");
    QString scriptPath;
    QString database;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (args[i] == QLatin1String("--data-dir")) {
            if (++i >= args.size())
                return usage("--data-dir needs a folder");
            dataDir = args[i];
        } else if (args[i] == QLatin1String("--database")) {
            if (++i >= args.size())
                return usage("--database needs a URL");
            database = args[i];
        } else if (scriptPath.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            scriptPath = args[i];
        } else {
            return usage("unexpected argument");
        }
    }
    if (scriptPath.isEmpty())
        return usage("no script given");
    // Never the user's own data folder by default: a scenario may delete and damage data.
    if (dataDir.isEmpty())
        return usage("no data folder: give --data-dir DIR or set ROCKVISTA_DATA_DIR");
    dataDir = QDir(dataDir).absolutePath();

    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "rockvista-script: cannot read %s: %s\n", qPrintable(scriptPath),
                     qPrintable(file.errorString()));
        return 2;
    }
    const QFileInfo info(scriptPath);
    QVector<script::Step> steps;
    try {
        steps = script::parseScript(QString::fromUtf8(file.readAll()), dataDir, info.absolutePath());
    } catch (const script::ParseError& e) {
        std::fprintf(stderr, "%s:%d: %s\n", qPrintable(info.fileName()), e.line, qPrintable(e.message));
        return 2;
    }

    script::Runner runner(steps, info.fileName(), dataDir, database);
    runner.begin();
    app.exec();
    return runner.finish();
}
