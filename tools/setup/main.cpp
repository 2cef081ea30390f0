// rockvista-setup: creates the data folder and the supplied database in it.
#include "app/Manual.h"
#include "../common/ToolSupport.h"
#include "core/Paths.h"
#include "db/Schema.h"
#include "readings/domain/ReadingStore.h"
#include "sensors/domain/SensorStore.h"

#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>

using rv::printLine;

namespace {

int usage()
{
    printLine(stderr, QStringLiteral("usage: rockvista-setup [--data-dir DIR] [--mine-id TEXT] [--demo] [--if-missing]"));
    return 2;
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
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--data-dir") && i + 1 < args.size()) {
            ++i; // read by dataDirFromArguments
        } else if (a == QLatin1String("--mine-id") && i + 1 < args.size()) {
            mineId = args[++i];
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

    // The sample mine's identifier, shown before every sensor number and in the titles.
    if (!mineId)
        mineId = demo ? QStringLiteral("KLD-") : QLatin1String("");

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
            for (const QString& id : rv::SensorStore(*db).instrumentIds()) {
                const int count = rv::ReadingStore(*db, id).count();
                printLine(stdout, QStringLiteral("  demo sensor ") + id + QStringLiteral(" with ")
                                      + QString::number(count) + QStringLiteral(" readings"));
            }
        } catch (const rv::RvError& e) {
            // Only the summary is missing; the database stands.
            errors.report(rv::errorReport(e, " rockvista-setup summary"));
        }
    }
    return 0;
}
