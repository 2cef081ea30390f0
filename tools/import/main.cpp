// rockvista-import: readout files appended to their sensors with the import window's rules.
#include "../common/ToolSupport.h"
#include "db/Errors.h"
#include "db/Schema.h"
#include "exchange/domain/ReadoutAppend.h"
#include "monitoring/domain/BoltStatus.h"
#include "readings/domain/ReadingStore.h"
#include "sensors/domain/SensorStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

using namespace rv;

namespace {

const QString kTool = QStringLiteral("rockvista-import");

int usage(FILE* stream = stderr)
{
    printLine(stream, QStringLiteral("usage: rockvista-import [--data-dir DIR] [--database URL] [--interval 1|8|24] "
                                     "[--layout YYYY/MM/DD|DD/MM/YYYY|MM/DD/YYYY] [--dry-run] FILE_OR_FOLDER..."));
    return 2;
}

struct Totals {
    int files = 0, refused = 0, lines = 0, appended = 0, duplicates = 0, badDates = 0, unmarked = 0;
};

QString counts(int lines, int appended, int duplicates, int badDates, int unmarked)
{
    return QString::number(lines) + QStringLiteral(" lines read, ") + QString::number(appended)
           + QStringLiteral(" appended, ") + QString::number(duplicates) + QStringLiteral(" duplicates, ")
           + QString::number(badDates) + QStringLiteral(" bad dates, ") + QString::number(unmarked)
           + QStringLiteral(" skipped unmarked");
}

// A folder means its *.txt files, in name order.
QStringList expand(const QStringList& paths, QStringList& missing)
{
    QStringList files;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QFileInfo& f : QDir(path).entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
                files << f.filePath();
        } else if (info.exists()) {
            files << path;
        } else {
            missing << path;
        }
    }
    return files;
}

class Importer {
public:
    Importer(Database& db, int interval, DateLayout layout, bool dryRun)
        : m_db(db), m_sensors(db), m_interval(interval), m_layout(layout), m_dryRun(dryRun) {}

    // One file and the line that tells of it; false when it was refused.
    bool importFile(const QString& path, Totals& totals, QString& told)
    {
        const QFileInfo info(path);
        const QString name = info.fileName();
        const auto refuse = [&](const QString& why) {
            told = name + QStringLiteral(": skipped: ") + why;
            return false;
        };
        if (info.suffix() != QLatin1String("txt"))
            return refuse(QStringLiteral("not a readout file (<InstrumentID>.txt)"));
        const QString id = info.completeBaseName();
        const std::optional<Sensor> sensor = m_sensors.sensor(id);
        if (!sensor)
            return refuse(QStringLiteral("no sensor ") + id + QStringLiteral(" in the register"));
        ReadoutFile file;
        if (const auto status = file.load(path); status != ReadoutFile::Status::Ok)
            return refuse(ReadoutFile::refusal(status, name));

        ReadingStore store(m_db, id);
        if (!store.tableExists()) {
            if (m_dryRun)
                return refuse(QStringLiteral("the sensor has no reading table"));
            createReadingTable(m_db, id); // as the readings tab makes it afresh
        }
        const QVector<char> marks = defaultMarks(file, m_interval, m_layout);
        std::optional<StatusWatch> watch;
        if (!m_dryRun)
            watch.emplace(m_db, QStringList{id});
        const AppendOutcome outcome = appendMarkedLines(
            m_db, file, marks, readoutSensor(id, sensor->sensorType, m_sensors.type(sensor->sensorType)), m_layout,
            m_dryRun);
        // Every line is one of: appended, duplicate, bad date (marked or not), unmarked.
        const int lines = file.lineCount();
        int unmarked = 0, unmarkedBad = 0;
        file.forEachLine([&](int line, const ReadoutLine& split) {
            if (marks[line])
                return;
            if (readReadoutDate(split.field(0), m_layout).valid)
                ++unmarked;
            else
                ++unmarkedBad;
        }, 1);
        const int duplicates = outcome.count(Refusal::Duplicate);
        const int badDates = unmarkedBad + outcome.count(Refusal::InvalidDate) + outcome.count(Refusal::UnclosedQuote);
        told = name + QStringLiteral(": sensor ") + id + QStringLiteral(", ")
               + counts(lines, outcome.inserted, duplicates, badDates, unmarked);
        if (watch && outcome.inserted > 0)
            for (const QString& worse : watch->worsened())
                told += QStringLiteral("\n  ") + worse;
        totals.lines += lines;
        totals.appended += outcome.inserted;
        totals.duplicates += duplicates;
        totals.badDates += badDates;
        totals.unmarked += unmarked;
        return true;
    }

private:
    Database& m_db;
    SensorStore m_sensors;
    int m_interval;
    DateLayout m_layout;
    bool m_dryRun;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    int interval = 24;
    DateLayout layout = DateLayout::YearFirst;
    bool dryRun = false;
    QStringList paths;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((a == QLatin1String("--data-dir") || a == QLatin1String("--database")) && hasValue) {
            ++i; // read by chosenDatabase
        } else if (a == QLatin1String("--interval") && hasValue) {
            const QString v = args[++i];
            if (v != QLatin1String("1") && v != QLatin1String("8") && v != QLatin1String("24"))
                return usage();
            interval = v.toInt();
        } else if (a == QLatin1String("--layout") && hasValue) {
            const QStringList layouts{QStringLiteral("YYYY/MM/DD"), QStringLiteral("DD/MM/YYYY"),
                                      QStringLiteral("MM/DD/YYYY")};
            const auto index = layouts.indexOf(args[++i]);
            if (index < 0)
                return usage();
            layout = static_cast<DateLayout>(index);
        } else if (a == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        } else if (a.startsWith(QLatin1String("--"))) {
            printLine(stderr, kTool + QStringLiteral(": unknown argument ") + a);
            return usage();
        } else {
            paths << a;
        }
    }
    if (paths.isEmpty())
        return usage();

    const std::optional<DatabaseTarget> target = chosenDatabase(kTool, args);
    if (!target)
        return 1;
    // Only the file is the folder's alone: a server is shared by the team's programs.
    std::unique_ptr<QLockFile> lock;
    if (!target->isServer() && !(lock = lockDataFolder(kTool, QFileInfo(target->sqlitePath()).path())))
        return 1;

    QStringList missing;
    const QStringList files = expand(paths, missing);
    Totals totals;
    for (const QString& path : missing) {
        printLine(stdout, path + QStringLiteral(": skipped: no such file or folder"));
        ++totals.refused;
    }
    const bool progress = isatty(fileno(stderr)) && files.size() > 1;
    try {
        const auto db = dryRun && !target->isServer() ? Database::openReadOnly(target->sqlitePath())
                                                      : Database::openSupplied(*target);
        Importer importer(*db, interval, layout, dryRun);
        for (int i = 0; i < files.size(); ++i) {
            if (progress)
                std::fprintf(stderr, "\r%d/%lld %s\033[K", i + 1, static_cast<long long>(files.size()),
                             QFileInfo(files[i]).fileName().toLocal8Bit().constData());
            ++totals.files;
            bool handled = false;
            QString told;
            try {
                handled = importer.importFile(files[i], totals, told);
            } catch (const RvError& e) {
                // The file's transaction is undone; the others stand.
                told = QFileInfo(files[i]).fileName() + QStringLiteral(": not appended: ") + e.description;
            }
            if (!handled)
                ++totals.refused;
            if (progress) // the progress line gives way to the file's own line
                std::fprintf(stderr, "\r\033[K");
            printLine(stdout, told);
        }
    } catch (const RvError& e) {
        printLine(stderr, kTool + QStringLiteral(": cannot open ") + target->display() + QStringLiteral(": ")
                              + withoutPassword(e.description, target->password()));
        return 1;
    }
    printLine(stdout, QStringLiteral("Total: ") + QString::number(totals.files) + QStringLiteral(" files, ")
                          + counts(totals.lines, totals.appended, totals.duplicates, totals.badDates, totals.unmarked)
                          + QStringLiteral(", ") + QString::number(totals.refused) + QStringLiteral(" refused")
                          + (dryRun ? QStringLiteral(" (dry run: nothing written)") : QString()));
    return totals.refused ? 1 : 0;
}
