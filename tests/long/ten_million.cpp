// Only under WALK_LONG=1 (scripts/test --long): a sensor of 10,000,000 readings opens its readings
// tab, its datasheet and a chart tab within three times what one of 1,000,000 takes. Otherwise it
// skips (77).
#include "app/Program.h"
#include "core/Seams.h"
#include "core/State.h"
#include "db/Database.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "ui/FrmDatasheet.h"
#include "ui/FrmRockvista.h"

#include <QChartView>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

const QString kSensor = QStringLiteral("201175001");

struct Quiet : rv::Dialogs {
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&) override { return {}; }
    void showMessage(const QString&, const QString&, rv::Icon) override {}
    rv::Answer askQuestion(const QString&, const QString&, rv::Icon, rv::Buttons, rv::Answer d) override { return d; }
};
struct NoDesktop : rv::Desktop {
    bool open(const QString&) override { return true; }
    bool openSpreadsheet(const QString&) override { return true; }
    bool openDocument(const QString&) override { return true; }
};

// One sensor with that many marked readings a minute apart, made by SQLite itself.
void makeSensor(const QString& dir, qint64 readings)
{
    auto db = rv::Database::create(dir + QLatin1Char('/') + rv::kDatabaseFileName);
    rv::createSuppliedDatabase(*db, QStringLiteral("LONG"));
    db->exec(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, "
                            "numgauges, boltkfactor, InstallDate, Destroyed, HeadLocation, LengthofCable) VALUES "
                            "(?, '2011', '75', '75', '001', 'g-STAY', 'g6STAY', 6, 25, '2011/03/27', 'No', 1, 0)"),
             {kSensor});
    rv::createReadingTable(*db, kSensor);
    rv::Transaction tx(*db);
    db->exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1), "
                 "m(i, t) AS (SELECT i, datetime('2000-01-01', '+' || i || ' minutes') FROM n) "
                 "INSERT INTO \"201175001\" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, "
                 "Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) "
                 "SELECT '201175001 ' || replace(t, '-', '/'), replace(substr(t, 1, 10), '-', '/'), substr(t, 12), "
                 "20.5, 100.25 + i % 7, 200.5, 300.75, 400.0 + i % 3, 500.25, 600.5, 1, 0, t, 1 FROM m"),
             {readings});
    tx.commit();
}

// The median of three: the readings tab entered, and the datasheet shown, in seconds.
struct Times {
    double tab = 0, datasheet = 0;
};

Times measure(const QString& dir)
{
    Quiet dialogs;
    NoDesktop desktop;
    rv::SystemClock clock;
    rv::Program program(dir, rv::Seams{&dialogs, &desktop, &clock});
    if (!program.load())
        return {-1, -1};
    QTabWidget* tabs = program.window()->SSTab1;
    std::vector<double> tab, sheet;
    for (int round = 0; round < 3; ++round) {
        tabs->setCurrentIndex(0);
        QElapsedTimer t;
        t.start();
        tabs->setCurrentIndex(2);
        tab.push_back(t.nsecsElapsed() / 1e9);
        t.restart();
        QTimer::singleShot(0, [&] {
            if (auto* window = qobject_cast<rv::FrmDatasheet*>(QApplication::activeModalWidget())) {
                window->MSFlexGrid1->viewport()->grab();
                sheet.push_back(t.nsecsElapsed() / 1e9);
                window->close();
            }
        });
        emit program.window()->imgDatasheet->clicked();
    }
    program.window()->close();
    if (sheet.size() != 3)
        return {-1, -1};
    std::sort(tab.begin(), tab.end());
    std::sort(sheet.begin(), sheet.end());
    return {tab[1], sheet[1]};
}

// The median of three: the first chart tab of a run entered with every value already stored
// (they are computed once beforehand), until its chart is painted, in seconds.
double measureChart(const QString& dir)
{
    std::vector<double> times;
    for (int round = 0; round < 4; ++round) {
        Quiet dialogs;
        NoDesktop desktop;
        rv::SystemClock clock;
        rv::Program program(dir, rv::Seams{&dialogs, &desktop, &clock});
        if (!program.load())
            return -1;
        rv::FrmRockvista* w = program.window();
        w->show();
        QElapsedTimer t;
        t.start();
        w->SSTab1->setCurrentIndex(3);
        w->ChartSLong->grab();
        if (round > 0) // the first computes them
            times.push_back(t.nsecsElapsed() / 1e9);
        const bool shown = w->SSTab1->currentIndex() == 3;
        w->close();
        if (!shown)
            return -1;
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIntValue("WALK_LONG") == 0)
        return 77;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir small, large;
    makeSensor(small.path(), 1000000);
    makeSensor(large.path(), 10000000);
    const Times one = measure(small.path());
    const Times ten = measure(large.path());
    const double chartOne = measureChart(small.path());
    const double chartTen = measureChart(large.path());
    std::printf("readings tab: %.3f s at 1,000,000, %.3f s at 10,000,000\n", one.tab, ten.tab);
    std::printf("datasheet:    %.3f s at 1,000,000, %.3f s at 10,000,000\n", one.datasheet, ten.datasheet);
    std::printf("chart tab:    %.3f s at 1,000,000, %.3f s at 10,000,000\n", chartOne, chartTen);
    if (one.tab < 0 || ten.tab < 0) {
        std::printf("the program did not open the readings\n");
        return 1;
    }
    if (chartOne < 0 || chartTen < 0) {
        std::printf("the program did not open the chart tab\n");
        return 1;
    }
    // A floor of 10 ms keeps a very fast small case from failing on noise alone.
    const bool ok = ten.tab <= 3 * std::max(one.tab, 0.01) && ten.datasheet <= 3 * std::max(one.datasheet, 0.01)
                    && chartTen <= 3 * std::max(chartOne, 0.01);
    std::printf("%s\n", ok ? "within three times" : "more than three times");
    return ok ? 0 : 1;
}
