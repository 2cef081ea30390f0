#pragma once
// What every benchmark program shares: quiet stand-ins for the dialogs and the desktop,
// and a main() that runs the benchmarks inside a headless Qt application.
#include "app/Program.h"
#include "core/Seams.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

// Answers every question with its default button (or Yes when told) and every prompt with
// nextInput; shows nothing.
struct QuietDialogs : rv::Dialogs {
    QString nextInput;
    bool alwaysYes = false;
    QString input(const QString&, const QString&, const QString&) override { return nextInput; }
    QString openFile(const QString&, const QString&) override { return {}; }
    void showMessage(const QString&, const QString&, rv::Icon) override {}
    rv::Answer askQuestion(const QString&, const QString&, rv::Icon, rv::Buttons, rv::Answer d) override
    {
        return alwaysYes ? rv::Answer::Yes : d;
    }
};

struct QuietDesktop : rv::Desktop {
    bool open(const QString&) override { return true; }
    bool openSpreadsheet(const QString&) override { return true; }
    bool openDocument(const QString&) override { return true; }
};

// The program started on a data folder with the quiet stand-ins and the system clock.
struct RunningProgram {
    QuietDialogs dialogs;
    QuietDesktop desktop;
    rv::SystemClock clock;
    rv::Program program;
    bool loaded;
    explicit RunningProgram(const QString& dataDir)
        : program(dataDir, rv::Seams{&dialogs, &desktop, &clock}), loaded(program.load())
    {
    }
};

inline int run(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench

#define ROCKVISTA_BENCHMARK_MAIN() \
    int main(int argc, char** argv) { return bench::run(argc, argv); }
