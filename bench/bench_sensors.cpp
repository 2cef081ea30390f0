// The sensor register with 10,000 sensors: a type-ahead key in the sensor box, adding and
// deleting a sensor, applying and removing a filter, each with the refill of the sensor box.
#include "app/Program.h"
#include "core/State.h"
#include "db/Schema.h"
#include "sensors/domain/SensorRecords.h"
#include "ui/FrmRockvista.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kSensors = 10000;

QString sensorId(int i)
{
    return QStringLiteral("%1%2%3").arg(1000 + i / 999).arg(75).arg(i % 999 + 1, 3, 10, QLatin1Char('0'));
}

// Every sensor with its reading table and network row, as the program leaves them.
QString makeRegister(const QTemporaryDir& dir)
{
    auto db = rv::Database::create(dir.filePath(rv::kDatabaseFileName));
    rv::createSuppliedDatabase(*db, QStringLiteral("KLD-"));
    rv::Transaction tx(*db);
    for (int i = 0; i < kSensors; ++i) {
        const QString id = sensorId(i);
        db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, "
                                "numgauges, InstallDate, Destroyed, HeadLocation, LengthofCable, Level, Location) "
                                "VALUES (?, ?, '75', '75', ?, 'g-STAY', 'g6STAY', 6, ?, ?, 1, 0, ?, ?)"),
                 {id, id.left(4), id.right(3), QStringLiteral("20%1/03/27").arg(5 + i % 8, 2, 10, QLatin1Char('0')),
                  i % 10 == 0 ? QStringLiteral("Yes") : QStringLiteral("No"), QString::number(1200 + (i % 5) * 100),
                  i % 2 ? QStringLiteral("North") : QStringLiteral("O'Brien's Cut")});
        rv::createReadingTable(*db, id);
        rv::addNetworkRow(*db, id);
    }
    tx.commit();
    return dir.path();
}

struct Fixture {
    QTemporaryDir dir;
    bench::QuietDialogs dialogs;
    bench::QuietDesktop desktop;
    rv::SystemClock clock;
    std::unique_ptr<rv::Program> program;
    int added = 0;

    Fixture()
    {
        dialogs.alwaysYes = true;
        program = std::make_unique<rv::Program>(makeRegister(dir), rv::Seams{&dialogs, &desktop, &clock});
        program->load();
    }
    rv::FrmRockvista& form() { return *program->window(); }
    // A number no sensor has: date codes from 2000 sort after every sensor, from 0500 before.
    QString nextNumber(int dateCode)
    {
        const int n = added++;
        return QStringLiteral("%1%2%3").arg(dateCode + n / 999, 4, 10, QLatin1Char('0')).arg(75).arg(n % 999 + 1, 3, 10, QLatin1Char('0'));
    }
    void addSensor(int dateCode = 2000)
    {
        dialogs.nextInput = nextNumber(dateCode);
        emit form().imgAddSensor->clicked();
    }
    void key(const QString& character)
    {
        QKeyEvent press(QEvent::KeyPress, character.at(0).unicode(), Qt::NoModifier, character);
        QApplication::sendEvent(form().cboSensors, &press);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_TypeAheadKey(benchmark::State& state)
{
    Fixture& f = fixture();
    QLineEdit* edit = f.form().cboSensors->lineEdit();
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The last character of a prefix that exists half-way down the list.
        const QString prefix = sensorId(kSensors / 2 + (i++ % 100) * 7).left(7);
        f.form().cboSensors->setEditText(prefix.left(6));
        edit->setCursorPosition(6);
        f.program->state().deleting = false;
        state.ResumeTiming();
        f.key(prefix.right(1));
    }
    if (f.form().cboSensors->currentText().size() != 9)
        state.SkipWithError("the key did not complete a sensor number");
}
BENCHMARK(BM_TypeAheadKey)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_TypeAheadKeyWithoutMatch(benchmark::State& state)
{
    Fixture& f = fixture();
    QLineEdit* edit = f.form().cboSensors->lineEdit();
    for (auto _ : state) {
        state.PauseTiming();
        f.form().cboSensors->setEditText(QStringLiteral("9"));
        edit->setCursorPosition(1);
        state.ResumeTiming();
        f.key(QStringLiteral("9")); // searches the whole list
    }
}
BENCHMARK(BM_TypeAheadKeyWithoutMatch)->Unit(benchmark::kMillisecond)->Iterations(30);

// Adds a sensor (timed) and deletes it again (not timed).
void addAndDelete(benchmark::State& state, int dateCode)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.addSensor(dateCode);
        state.PauseTiming();
        emit f.form().imgDelete->clicked();
        state.ResumeTiming();
    }
    if (f.form().cboSensors->count() != kSensors)
        state.SkipWithError("the register did not return to its size");
}

// A number that sorts last: the appended row is already in its place.
void BM_AddSensor(benchmark::State& state) { addAndDelete(state, 2000); }
BENCHMARK(BM_AddSensor)->Unit(benchmark::kMillisecond)->Iterations(20);

// A number that sorts first: the register is read again to put it in its place.
void BM_AddSensorAtHead(benchmark::State& state) { addAndDelete(state, 500); }
BENCHMARK(BM_AddSensorAtHead)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DeleteSensor(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.addSensor();
        state.ResumeTiming();
        emit f.form().imgDelete->clicked();
    }
    if (f.form().cboSensors->count() != kSensors)
        state.SkipWithError("the register did not return to its size");
}
BENCHMARK(BM_DeleteSensor)->Unit(benchmark::kMillisecond)->Iterations(20);

void setFilterPanel(rv::FrmRockvista& form)
{
    form.txtFilterType->setEditText(QStringLiteral("75"));
    form.txtFilterLevel->setText(QStringLiteral("1300"));
    form.txtStartDate->setText(QStringLiteral("2006/01/01"));
    form.chkDontShowDestroyed->setChecked(true);
}

void BM_ApplyFilter(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        setFilterPanel(f.form());
        state.ResumeTiming();
        emit f.form().imgFilter->clicked();
        state.PauseTiming();
        if (f.form().cboSensors->count() == kSensors)
            state.SkipWithError("the filter did not narrow the register");
        emit f.form().imgFilter->clicked();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyFilter)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RemoveFilter(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        setFilterPanel(f.form());
        emit f.form().imgFilter->clicked();
        state.ResumeTiming();
        emit f.form().imgFilter->clicked();
    }
    if (f.form().cboSensors->count() != kSensors)
        state.SkipWithError("the filter was not removed");
}
BENCHMARK(BM_RemoveFilter)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

ROCKVISTA_BENCHMARK_MAIN()
