#include "app/TerminationSignals.h"

#include "app/Program.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace rv {

namespace {
int g_signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}
} // namespace

void closeOnTerminationSignals(Program& program)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &program);
    QObject::connect(notifier, &QSocketNotifier::activated, &program, [&program] {
        char byte;
        [[maybe_unused]] const auto read = ::read(g_signalPipe[1], &byte, 1);
        // From here on nothing asks or tells: what can be saved is saved, the rest is logged.
        program.beginTermination();
        // Open dialogs end first, so that their handlers finish before the window unloads.
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            if (QApplication::activeModalWidget() == modal)
                break;
        }
        QTimer::singleShot(0, &program, [&program] { program.terminate(); });
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &action, nullptr);
}

} // namespace rv
