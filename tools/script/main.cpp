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
    std::fprintf(stderr, "rockvista-script: %s\nusage: rockvista-script [--data-dir DIR] SCRIPT.rvs\n", problem);
    return 2;
}

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
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data-dir")) {
            if (++i >= args.size())
                return usage("--data-dir needs a folder");
            dataDir = args[i];
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

    script::Runner runner(steps, info.fileName(), dataDir);
    runner.begin();
    app.exec();
    return runner.finish();
}
