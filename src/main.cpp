// Rockvista g-STAY: the program.
#include "app/Program.h"
#include "app/TerminationSignals.h"
#include "core/Paths.h"
#include "ui/RealSeams.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Answered before any window system is needed: installers and packagers ask it.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Rockvista %s\n", RV_VERSION);
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rockvista g-STAY"));
    QApplication::setQuitOnLastWindowClosed(false);
    rv::RealDialogs dialogs;
    rv::RealDesktop desktop;
    rv::SystemClock clock;
    const QStringList args = QApplication::arguments();
    rv::Program program(rv::dataDirFromArguments(args), rv::databaseFromArguments(args),
                        rv::Seams{&dialogs, &desktop, &clock});
    // Before loading: a shutdown that comes while the database opens is held until the window
    // runs and then closes it as its close button does, instead of killing the program outright.
    rv::closeOnTerminationSignals(program);
    if (!program.load())
        return 1;
    QObject::connect(&program, &rv::Program::finished, &app, &QApplication::quit);
    return app.exec();
}
