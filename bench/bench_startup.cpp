// Start-up with a large register: open the database, fill the sensor box, show the first sensor.
#include "app/Program.h"
#include "db/Schema.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QTemporaryDir>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

QString makeRegister(const QTemporaryDir& dir, int sensors)
{
    auto db = rv::Database::create(dir.filePath(rv::kDatabaseFileName));
    rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
    rv::Transaction tx(*db);
    for (int i = 0; i < sensors; ++i) {
        const QString id = QStringLiteral("%1%2%3").arg(1000 + i / 999).arg(75).arg(i % 999 + 1, 3, 10, QLatin1Char('0'));
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, "
                                "numgauges, InstallDate, Destroyed, HeadLocation, LengthofCable, Level, Location) "
                                "VALUES (?, ?, '75', '75', ?, 'g-STAY', 'g6STAY', 6, '2011/03/27', 'No', 1, 0, '1200', 'North')"),
                 {id, id.left(4), id.right(3)});
    }
    tx.commit();
    return dir.path();
}

void BM_StartupWith10000Sensors(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString dataDir = makeRegister(dir, 10000);
    bench::QuietDialogs dialogs;
    bench::QuietDesktop desktop;
    rv::SystemClock clock;
    for (auto _ : state) {
        rv::Program program(dataDir, rv::Seams{&dialogs, &desktop, &clock});
        if (!program.load())
            state.SkipWithError("start-up failed");
        benchmark::DoNotOptimize(program.window());
        state.PauseTiming();
        program.window()->close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupWith10000Sensors)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

ROCKVISTA_BENCHMARK_MAIN()
