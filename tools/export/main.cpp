// rockvista-export: sensors' readings with the charts' computed values, as CSV or a workbook.
#include "../common/ToolSupport.h"
#include "charts/domain/ReadingExport.h"
#include "readings/domain/XlsxExport.h"
#include "sensors/domain/SensorStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using namespace rv;

namespace {

const QString kTool = QStringLiteral("rockvista-export");

int usage(FILE* stream = stderr)
{
    printLine(stream, QStringLiteral("usage: rockvista-export [--data-dir DIR] [--database URL] (--sensor ID... | --all) [--from DATE] "
                                     "[--to DATE] --format csv|xlsx --output PATH"));
    return 2;
}

// yyyy-MM-dd or yyyy/MM/dd.
QDate readDate(const QString& text)
{
    QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return d.isValid() ? d : QDate::fromString(text, QStringLiteral("yyyy/MM/dd"));
}

struct SensorExport {
    QString id;
    ReadingStore store;
    QVector<Reading> readings;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QStringList ids;
    bool all = false;
    QDate from, to;
    QString format, output;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((a == QLatin1String("--data-dir") || a == QLatin1String("--database")) && hasValue) {
            ++i; // read by chosenDatabase
        } else if (a == QLatin1String("--sensor") && hasValue) {
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                ids << args[++i];
        } else if (a == QLatin1String("--all")) {
            all = true;
        } else if ((a == QLatin1String("--from") || a == QLatin1String("--to")) && hasValue) {
            const QDate d = readDate(args[++i]);
            if (!d.isValid()) {
                printLine(stderr, kTool + QStringLiteral(": not a date (yyyy-mm-dd): ") + args[i]);
                return usage();
            }
            (a == QLatin1String("--from") ? from : to) = d;
        } else if (a == QLatin1String("--format") && hasValue) {
            format = args[++i];
        } else if (a == QLatin1String("--output") && hasValue) {
            output = args[++i];
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        } else {
            printLine(stderr, kTool + QStringLiteral(": unknown argument ") + a);
            return usage();
        }
    }
    const bool csv = format == QLatin1String("csv");
    if ((!csv && format != QLatin1String("xlsx")) || output.isEmpty() || all == !ids.isEmpty())
        return usage();

    const std::optional<DatabaseTarget> target = chosenDatabase(kTool, args);
    if (!target)
        return 1;
    int failures = 0;
    std::vector<SensorExport> exports;
    try {
        const auto db = target->isServer() ? Database::openSupplied(*target) : Database::openReadOnly(target->sqlitePath());
        const SensorStore sensors(*db);
        if (all)
            ids = sensors.instrumentIds();
        for (const QString& id : ids) {
            const std::optional<Sensor> sensor = sensors.sensor(id);
            ReadingStore store(*db, id);
            if (!sensor || !store.tableExists()) {
                printLine(stderr, kTool + QStringLiteral(": no sensor ") + id
                                      + (sensor ? QStringLiteral(" readings") : QStringLiteral(" in the register")));
                ++failures;
                continue;
            }
            // The k factor as the sensor tab holds it: a stored number, none being 0.
            std::optional<RvError> loadError;
            QVector<Reading> readings
                = withFreshComputation(store.readings(), sensor->boltkfactor.value_or(0.0), loadError);
            if (loadError)
                printLine(stderr, kTool + QStringLiteral(": sensor ") + id
                                      + QStringLiteral(": loads not computed (the k factor is 0)"));
            readings.removeIf([&](const Reading& r) {
                const QDate day = r.moment.date();
                return (from.isValid() && day < from) || (to.isValid() && day > to);
            });
            exports.push_back({id, store, std::move(readings)});
        }

        const bool folder = csv && (all || ids.size() > 1);
        if (folder && !QDir().mkpath(output)) {
            printLine(stderr, kTool + QStringLiteral(": cannot create the folder ") + output);
            return 1;
        }
        if (csv) {
            for (const SensorExport& e : exports) {
                const QString path = folder ? QDir(output).filePath(e.id + QStringLiteral(".csv")) : output;
                QSaveFile file(path);
                const bool ok = file.open(QIODevice::WriteOnly)
                                && writeCsv(file, e.readings, [&](const Reading& r) { return e.store.keyOf(r.moment); })
                                && file.commit();
                if (!ok) {
                    printLine(stderr, kTool + QStringLiteral(": cannot write ") + path + QStringLiteral(": ")
                                          + file.errorString());
                    return 1;
                }
                printLine(stdout, e.id + QStringLiteral(": ") + QString::number(e.readings.size())
                                      + QStringLiteral(" readings to ") + QDir::toNativeSeparators(path));
            }
        } else {
            QVector<WorkbookSheet> sheets;
            for (const SensorExport& e : exports) {
                sheets.push_back({e.id, static_cast<int>(e.readings.size()) + 1, exportColumnCount(),
                                  [&e](int row, int column) -> QVariant {
                                      if (row == 0)
                                          return exportHeader(column);
                                      const Reading& r = e.readings[row - 1];
                                      return exportCell(column == 0 ? e.store.keyOf(r.moment) : QString(), r, column);
                                  }});
            }
            writeWorkbook(output, sheets);
            for (const SensorExport& e : exports)
                printLine(stdout, e.id + QStringLiteral(": ") + QString::number(e.readings.size())
                                      + QStringLiteral(" readings to ") + QDir::toNativeSeparators(output));
        }
    } catch (const RvError& e) {
        printLine(stderr, kTool + QStringLiteral(": ") + withoutPassword(e.description, target->password()));
        return 1;
    }
    return failures ? 1 : 0;
}
