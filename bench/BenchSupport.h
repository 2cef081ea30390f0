#pragma once
// What every benchmark program shares: quiet stand-ins for the dialogs and the desktop,
// and a main() that runs the benchmarks inside a headless Qt application.
#include "app/Program.h"
#include "core/Seams.h"
#include "db/Database.h"
#include "db/Schema.h"

#include <QApplication>
#include <QDateTime>
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

// Registers a sensor of type 75 (k factor 25) in db with that many marked readings ten minutes
// apart from 2012, their channels varying a little from row to row.
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
    rv::Statement insert = db.prepare(
        QStringLiteral("INSERT INTO ") + rv::Database::quoteId(sensor)
        + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
                         "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, ?, 1)"));
    const QDateTime start(QDate(2012, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < readings; ++i) {
        const QDateTime t = start.addSecs(qint64(i) * 600);
        insert.reset();
        insert.bindAll({sensor + t.toString(QStringLiteral(" yyyy/MM/dd HH:mm:ss")),
                        t.toString(QStringLiteral("yyyy/MM/dd")), t.toString(QStringLiteral("HH:mm:ss")),
                        20.5 + i % 5, 100.25 + i % 7, 200.5 + i % 11, 300.75, 400.0 + i % 3, 500.25, 600.5 + i % 13,
                        t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        insert.step();
    }
    tx.commit();
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

} // namespace bench

#define ROCKVISTA_BENCHMARK_MAIN() \
    int main(int argc, char** argv) { return bench::run(argc, argv); }
