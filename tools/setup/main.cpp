// rockvista-setup: creates the data folder and the supplied database in it.
#include "app/Manual.h"
#include "../common/ToolSupport.h"
#include "core/Paths.h"
#include "db/DatabaseCopy.h"
#include "db/DatabaseTarget.h"
#include "db/Maintenance.h"
#include "db/Schema.h"
#include "readings/domain/ReadingStore.h"
#include "sensors/domain/SensorStore.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>

using rv::printLine;

namespace {

int usage()
{
    printLine(stderr, QStringLiteral("usage: rockvista-setup [--data-dir DIR] [--mine-id TEXT] [--demo] [--if-missing]\n"
                                     "       rockvista-setup --database URL [--mine-id TEXT] [--demo] [--data-dir DIR]\n"
                                     "       rockvista-setup --database URL --copy-from FILE\n"
                                     "       rockvista-setup --database URL --backup-to FILE | --restore-from FILE"));
    return 2;
}

void printDemoSensors(rv::Database& db);
void ensureManual(const QString& dataDir);

// What is done with a server database.
enum class ServerWork { SetUp, CopyFrom, BackupTo, RestoreFrom };

// Prints how long a copy took and what it read back and checked.
void printCopy(const QString& done, qint64 ms, const rv::CopyReport& report)
{
    printLine(stdout, done + QStringLiteral(" in %1 s").arg(double(ms) / 1000.0, 0, 'f', 2));
    for (const auto& [table, rows] : report.counts)
        printLine(stdout, QStringLiteral("  %1: %2 row%3").arg(table).arg(rows).arg(rows == 1 ? "" : "s"));
    printLine(stdout, QStringLiteral("  %1 tables, %2 rows; %3 readings of %4 sensors, checksum %5; "
                                     "every count and checksum read back agrees")
                          .arg(report.tables)
                          .arg(report.rows)
                          .arg(report.readings)
                          .arg(report.sensors)
                          .arg(report.readingsSum, 16, 16, QLatin1Char('0')));
    if (!report.leftOut.isEmpty())
        printLine(stdout, QStringLiteral("  left out, the program makes them again: ") + report.leftOut.join(QStringLiteral(", ")));
}

// Sets up an empty server database (the five tables, or a file's tables and readings copied in),
// backs one up to a file, or replaces its data with a backup file's.
int workOnServer(const QString& setting, ServerWork work, const QString& mineId, const QString& file, bool demo)
{
    rv::StandardErrorSink errors;
    QString shown = QStringLiteral("the database");
    QString password;
    const QString fileShown = QDir::toNativeSeparators(file);
    try {
        const rv::DatabaseTarget target = rv::DatabaseTarget::server(setting);
        shown = target.display();
        password = target.password();
        auto db = rv::Database::open(target);
        if (work == ServerWork::SetUp) {
            rv::Transaction tx(*db);
            rv::requireEmptyDatabase(*db);
            rv::createSuppliedDatabase(*db, mineId);
            if (demo)
                rv::addDemoData(*db);
            tx.commit();
            printLine(stdout, QStringLiteral("Set up ") + shown);
            printLine(stdout, QStringLiteral("  tables Configuration (type 75), Prefs (mine \"") + mineId
                                  + QStringLiteral("\"), Sensors, NetworkConfig, sensordata"));
            if (demo)
                printDemoSensors(*db);
            return 0;
        }
        QElapsedTimer timer;
        timer.start();
        if (work == ServerWork::CopyFrom) {
            auto from = rv::Database::openReadOnly(file);
            const rv::CopyReport report = rv::copyDatabase(*from, *db);
            printCopy(QStringLiteral("Copied ") + fileShown + QStringLiteral(" into ") + shown, timer.elapsed(), report);
        } else if (work == ServerWork::BackupTo) {
            const rv::CopyReport report = rv::maintenance::backupDatabase(*db, file);
            printCopy(QStringLiteral("Backed up ") + shown + QStringLiteral(" to ") + fileShown, timer.elapsed(), report);
        } else {
            const rv::CopyReport report = rv::maintenance::restoreDatabase(file, *db);
            printCopy(QStringLiteral("Restored ") + fileShown + QStringLiteral(" into ") + shown, timer.elapsed(), report);
        }
        return 0;
    } catch (const rv::RvError& e) {
        static const char* const kCannot[] = {"set up ", "copy into ", "back up ", "restore into "};
        errors.report(rv::withoutPassword(QStringLiteral("rockvista-setup: cannot ") + QLatin1String(kCannot[int(work)])
                                              + shown + QStringLiteral(": ") + e.description + QStringLiteral(" (")
                                              + QString::number(e.number) + QLatin1Char(')'),
                                          password));
        return 1;
    }
}

// The manual in the data folder; an existing one is kept.
void ensureManual(const QString& dataDir)
{
    const QString path = dataDir + QStringLiteral("/RockvistaManual.pdf");
    if (QFileInfo::exists(path))
        return;
    if (rv::writeManualPdf(path))
        printLine(stdout, QStringLiteral("Wrote ") + QDir::toNativeSeparators(path));
    else
        printLine(stderr, QStringLiteral("rockvista-setup: cannot write ") + QDir::toNativeSeparators(path));
}

// The sample mine's identifier, shown before every sensor number and in the titles.
const QString kDemoMine = QStringLiteral("KLD-");

// One line for each sensor of the sample and its readings.
void printDemoSensors(rv::Database& db)
{
    for (const QString& id : rv::SensorStore(db).instrumentIds())
        printLine(stdout, QStringLiteral("  demo sensor ") + id + QStringLiteral(" with ")
                              + QString::number(rv::ReadingStore(db, id).count()) + QStringLiteral(" readings"));
}

} // namespace

int main(int argc, char** argv)
{
    // The manual is laid out with fonts, which needs a GUI platform; none has to be on screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();

    std::optional<QString> mineId;
    bool demo = false;
    bool ifMissing = false;
    std::optional<QString> database;
    QString copyFrom, backupTo, restoreFrom;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--data-dir") && i + 1 < args.size()) {
            ++i; // read by dataDirFromArguments
        } else if (a == QLatin1String("--mine-id") && i + 1 < args.size()) {
            mineId = args[++i];
        } else if (a == QLatin1String("--database") && i + 1 < args.size()) {
            database = args[++i];
        } else if (a == QLatin1String("--copy-from") && i + 1 < args.size()) {
            copyFrom = args[++i];
        } else if (a == QLatin1String("--backup-to") && i + 1 < args.size()) {
            backupTo = args[++i];
        } else if (a == QLatin1String("--restore-from") && i + 1 < args.size()) {
            restoreFrom = args[++i];
        } else if (a == QLatin1String("--demo")) {
            demo = true;
        } else if (a == QLatin1String("--if-missing")) {
            ifMissing = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage();
            return 0;
        } else {
            printLine(stderr, QStringLiteral("rockvista-setup: unknown argument ") + a);
            return usage();
        }
    }

    if (database || !copyFrom.isEmpty() || !backupTo.isEmpty() || !restoreFrom.isEmpty()) {
        // A copied file brings its own Prefs row; the sample and the manual belong to a data folder.
        const bool made = mineId || demo;
        const int ways = int(made) + int(!copyFrom.isEmpty()) + int(!backupTo.isEmpty()) + int(!restoreFrom.isEmpty());
        if (!database || ifMissing || ways != 1) {
            printLine(stderr, QStringLiteral("rockvista-setup: a server database is set up with --database URL and "
                                             "--mine-id TEXT, --demo or both, or with --copy-from FILE; it is backed "
                                             "up with --backup-to FILE and restored with --restore-from FILE"));
            return usage();
        }
        if (made) {
            const int rc = workOnServer(*database, ServerWork::SetUp, mineId.value_or(demo ? kDemoMine : QString()), {}, demo);
            // An engineer's folder beside the server's database: the log, pictures, reports, the manual.
            if (rc == 0 && args.contains(QLatin1String("--data-dir"))) {
                const QString dataDir = rv::dataDirFromArguments(args);
                if (QDir().mkpath(dataDir))
                    ensureManual(dataDir);
                else
                    printLine(stderr, QStringLiteral("rockvista-setup: cannot create the folder ") + QDir::toNativeSeparators(dataDir));
            }
            return rc;
        }
        if (!copyFrom.isEmpty())
            return workOnServer(*database, ServerWork::CopyFrom, {}, copyFrom, false);
        if (!backupTo.isEmpty())
            return workOnServer(*database, ServerWork::BackupTo, {}, backupTo, false);
        return workOnServer(*database, ServerWork::RestoreFrom, {}, restoreFrom, false);
    }

    if (!mineId)
        mineId = demo ? kDemoMine : QLatin1String("");

    const QString dataDir = rv::dataDirFromArguments(args);
    const QString dbPath = dataDir + QLatin1Char('/') + rv::kDatabaseFileName;
    if (QFileInfo::exists(dbPath)) {
        ensureManual(dataDir);
        if (ifMissing)
            return 0;
        printLine(stderr, QStringLiteral("rockvista-setup: ") + QDir::toNativeSeparators(dbPath)
                              + QStringLiteral(" already exists; it was left untouched."));
        return 1;
    }
    if (!QDir().mkpath(dataDir)) {
        printLine(stderr, QStringLiteral("rockvista-setup: cannot create the folder ") + QDir::toNativeSeparators(dataDir));
        return 1;
    }

    rv::StandardErrorSink errors;
    try {
        auto db = rv::Database::create(dbPath);
        rv::createSuppliedDatabase(*db, *mineId);
        if (demo)
            rv::addDemoData(*db);
    } catch (const rv::RvError& e) {
        // A half-made database would only be refused later.
        QFile::remove(dbPath);
        QFile::remove(dbPath + QStringLiteral("-journal"));
        errors.report(QStringLiteral("rockvista-setup: cannot create ") + QDir::toNativeSeparators(dbPath)
                      + QStringLiteral(": ") + e.description + QStringLiteral(" (") + QString::number(e.number)
                      + QLatin1Char(')'));
        return 1;
    }

    printLine(stdout, QStringLiteral("Created ") + QDir::toNativeSeparators(dbPath));
    printLine(stdout, QStringLiteral("  tables Configuration (type 75), Prefs (mine \"") + *mineId
                          + QStringLiteral("\"), Sensors, NetworkConfig, sensordata"));
    ensureManual(dataDir);
    if (demo) {
        try {
            auto db = rv::Database::open(dbPath);
            printDemoSensors(*db);
        } catch (const rv::RvError& e) {
            // Only the summary is missing; the database stands.
            errors.report(rv::errorReport(e, " rockvista-setup summary"));
        }
    }
    return 0;
}
