#pragma once
// What every benchmark program shares: quiet stand-ins for the dialogs and the desktop,
// and a main() that runs the benchmarks inside a headless Qt application.
#include "app/Program.h"
#include "core/Seams.h"
#include "db/Database.h"
#include "db/Schema.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <functional>

namespace bench {

// Answers every question with its default button (or Yes when told) and every prompt with
// nextInput; shows nothing.
struct QuietDialogs : rv::Dialogs {
    QString nextInput;
    bool alwaysYes = false;
    QString input(const QString&, const QString&, const QString&) override { return nextInput; }
    QString nextFile; // the answer of a file dialog
    QString openFile(const QString&, const QString&) override { return nextFile; }
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
    // On the database a --database setting names.
    RunningProgram(const QString& dataDir, const QString& database)
        : program(dataDir, database, rv::Seams{&dialogs, &desktop, &clock}), loaded(program.load())
    {
    }
};

// Registers a sensor of type 75 (k factor 25) in db with that many marked readings ten minutes
// apart from 2012, their channels varying a little from row to row; made by SQLite itself in one
// statement, so that a million readings take seconds.
inline void addSensorWithReadings(rv::Database& db, const QString& sensor, int readings)
{
    db.exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, "
                           "Model, numgauges, boltkfactor, InstallDate, Destroyed, HeadLocation, LengthofCable) "
                           "VALUES (?, '2011', '75', '75', ?, 'g-STAY', 'g6STAY', 6, 25, '2011/03/27', 'No', 1, 0)"),
            {sensor, sensor.right(3)});
    rv::createReadingTable(db, sensor);
    if (readings == 0)
        return;
    rv::Transaction tx(db);
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1), "
                           "m(i, t) AS (SELECT i, datetime('2012-01-01', '+' || (i * 600) || ' seconds') FROM n) "
                           "INSERT INTO ")
                + rv::Database::quoteId(sensor)
                + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
                                 "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) "
                                 "SELECT ? || ' ' || replace(t, '-', '/'), replace(substr(t, 1, 10), '-', '/'), "
                                 "substr(t, 12), 20.5 + i % 5, 100.25 + i % 7, 200.5 + i % 11, 300.75, 400.0 + i % 3, "
                                 "500.25, 600.5 + i % 13, 1, 0, t, 1 FROM m"),
            {readings, sensor});
    tx.commit();
}

// The high-water mark of this process's resident memory (VmHWM), in MB.
inline double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Runs this benchmark program again as a child with the arguments (its main answers them, see
// probeMain) and returns the numbers it printed on one line; empty when it failed. A fresh
// process per measure, so that each peak is its own.
inline QList<double> childNumbers(const QStringList& arguments)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    QList<double> out;
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return out;
    for (const QByteArray& n : child.readAllStandardOutput().trimmed().split(' '))
        out << n.toDouble();
    return out;
}

// Makes the supplied database in dir with one such sensor.
inline void makeSensorWithReadings(const QString& dir, const QString& sensor, int readings)
{
    auto db = rv::Database::create(dir + QLatin1Char('/') + rv::kDatabaseFileName);
    rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
    addSensorWithReadings(*db, sensor, readings);
}

inline int run(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Seconds since a moment, for manually timed benchmarks.
inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs work inside the modal window a click on button opens, as the user opens it, then closes
// the window.
template <class Window, class Button>
void insideModal(Button* button, const std::function<void(Window&)>& work)
{
    QTimer::singleShot(0, [&] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            work(*window);
            window->close();
        }
    });
    emit button->clicked();
}

// As run(), but started as `--probe-memory DIR` (by childNumbers) it only calls probe(DIR), whose
// output the parent reads.
inline int runOrProbe(int argc, char** argv, int (*probe)(const QString& dir))
{
    if (argc == 3 && std::strcmp(argv[1], "--probe-memory") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return probe(QString::fromLocal8Bit(argv[2]));
    }
    return run(argc, argv);
}

} // namespace bench

#define ROCKVISTA_BENCHMARK_MAIN() \
    int main(int argc, char** argv) { return bench::run(argc, argv); }
#define ROCKVISTA_BENCHMARK_MAIN_WITH_PROBE(probe) \
    int main(int argc, char** argv) { return bench::runOrProbe(argc, argv, probe); }
