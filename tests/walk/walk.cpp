// A seeded random walk of user actions. Each seed plays segments of rockvista-script steps
// (start ... close) against one data folder; after every close the database is checked:
// integrity, register rows against reading tables and network rows, unique keys, keys that
// agree with their date and time fields, loads that agree with the stored zeroed strains, and
// chart columns a pass would leave as they are, and kept chart blocks equal to those built afresh.
//
//   rockvista-walk SETUP_EXE SCRIPT_EXE [--seeds FIRST-LAST] [--steps N] [--keep DIR]
// WALK_SEED=N replays one seed; WALK_LONG=1 walks more seeds and steps. With
// ROCKVISTA_TEST_DATABASE (a database of a private server, scripts/test --postgres) each seed walks
// on a fresh database of that server instead of the folder's file.
#include "charts/domain/Preparation.h"
#include "readings/domain/SeriesStore.h"
#include "db/Database.h"
#include "db/DatabaseTarget.h"
#include "db/Errors.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <cmath>
#include <set>
#include <cstdio>

namespace {

constexpr double kFactor = 25; // every sensor the walk adds gets this k factor

QString q(const QString& s)
{
    QString out = s;
    out.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("\""), QLatin1String("\\\""));
    out.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

class Walker {
public:
    Walker(quint32 seed, bool onFile) : m_rng(seed), m_now(QDate(2024, 6, 15), QTime(10, 0)), m_onFile(onFile) {}

    // One segment: start, `steps` actions, close, then the invariants the runner checks itself.
    QStringList segment(int steps, QList<int>& invariantLines)
    {
        QStringList s;
        s << QStringLiteral("clock ") + q(m_now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))) << QStringLiteral("start");
        if (m_first) {
            m_first = false;
            for (const char* id : {"201175001", "201175002"})
                s << QStringLiteral("answer ") + QLatin1String(id) << QStringLiteral("answer Yes") << QStringLiteral("click imgAddSensor")
                  << QStringLiteral("set txtBoltkfactor \"25\"");
        }
        for (int i = 0; i < steps; ++i)
            action(s);
        s << QStringLiteral("close");
        // The reading tables against the register are checked by checkDatabase (the catalogue is the engine's).
        QStringList checks{
            QStringLiteral("expect-sql \"SELECT count(*) FROM Sensors s WHERE NOT EXISTS (SELECT 1 FROM NetworkConfig n "
                           "WHERE n.SensorID = s.InstrumentID)\" \"0\""),
            QStringLiteral("expect-sql \"SELECT count(*) FROM NetworkConfig WHERE SensorID NOT IN (SELECT InstrumentID "
                           "FROM Sensors)\" \"0\""),
        };
        if (m_onFile)
            checks.prepend(QStringLiteral("expect-sql \"PRAGMA integrity_check\" \"ok\""));
        for (const QString& c : checks) {
            s << c;
            invariantLines << s.size(); // 1-based line number
        }
        m_now = m_now.addSecs(3600 + pick(7200));
        return s;
    }

private:
    int pick(int n) { return int(m_rng.bounded(quint32(n))); }
    template <typename T> T one(std::initializer_list<T> l) { return *(l.begin() + pick(int(l.size()))); }

    QString sensor() { return QStringLiteral("2011750%1").arg(1 + pick(5), 2, 10, QLatin1Char('0')); }
    QString number()
    {
        switch (pick(4)) {
        case 0: return QString::number(pick(2000));
        case 1: return QString::number(pick(200000) / 100.0 - 500, 'f', 2);
        case 2: return one({QStringLiteral("1e3"), QStringLiteral("-0"), QStringLiteral(".5"), QStringLiteral("12,5")});
        default: return QString::number(100 + pick(50));
        }
    }
    QString text()
    {
        return one({QStringLiteral("L12"), QStringLiteral("O'Brien \"north\""), QStringLiteral("Stollen Nord ä"),
                    QStringLiteral("x,y;z"), QStringLiteral(""), QString(300, QLatin1Char('w'))});
    }
    QString date() { return m_now.date().addDays(-pick(60)).toString(QStringLiteral("yyyy/MM/dd")); }
    QString time() { return QTime(pick(24), pick(60), pick(60)).toString(QStringLiteral("HH:mm:ss")); }
    QString answer() { return one({QStringLiteral("answer Yes"), QStringLiteral("answer Yes"), QStringLiteral("answer No")}); }

    void action(QStringList& s)
    {
        switch (pick(20)) {
        case 0: // add a sensor
        case 19:
            s << QStringLiteral("tab 0") << QStringLiteral("answer ") + q(pick(8) ? sensor() : QStringLiteral("20117500")) << answer()
              << QStringLiteral("click imgAddSensor") << QStringLiteral("set txtBoltkfactor \"25\"");
            break;
        case 1: // delete the shown sensor
            if (pick(3) == 0)
                s << QStringLiteral("tab 0") << answer() << QStringLiteral("click imgDelete");
            break;
        case 2:
            s << QStringLiteral("tab 0") << QStringLiteral("choose cboSensors ") + q(sensor());
            break;
        case 3:
            s << QStringLiteral("tab 0") << one({QStringLiteral("click imgNext"), QStringLiteral("click imgPrevious")});
            break;
        case 4: { // type into the sensor form; the family sits on the first tab, the rest on the second
            const QString box = one({QStringLiteral("txtLevel"), QStringLiteral("txtLocation"), QStringLiteral("txtBorehole"),
                                     QStringLiteral("txtInstallBy"), QStringLiteral("txtPurpose"), QStringLiteral("txtFamily")});
            s << (box == QLatin1String("txtFamily") ? QStringLiteral("tab 0") : QStringLiteral("tab 1"))
              << QStringLiteral("set %1 %2").arg(box, q(text())) << QStringLiteral("tab 0")
              << QStringLiteral("type %1 %2").arg(one({QStringLiteral("txtElasticLimit"), QStringLiteral("txtLengthLongG"),
                                                       QStringLiteral("txtUltimateStrength")}),
                                                  q(number()));
            break;
        }
        case 5:
        case 6: // tabs, the charts among them
            s << QStringLiteral("tab %1").arg(pick(8));
            break;
        case 7:
        case 8: // a new reading with its channels
            m_now = m_now.addSecs(1 + pick(600));
            s << QStringLiteral("clock ") + q(m_now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))) << QStringLiteral("tab 2")
              << QStringLiteral("click imgAddReading");
            for (int i = pick(7); i > 0; --i)
                s << QStringLiteral("type txtChannel_%1 %2").arg(1 + pick(6)).arg(q(number()));
            if (pick(2))
                s << QStringLiteral("type txtChannelT ") + q(number());
            break;
        case 9: // edit the shown reading's date, time, channels, mark
            s << QStringLiteral("tab 2") << one({QStringLiteral("click imgFirst"), QStringLiteral("click imgLast"),
                                                 QStringLiteral("click imgNextData"), QStringLiteral("click imgPrevData")});
            if (pick(2))
                // Now and then a date decades away: charts spanning a lifetime.
                s << QStringLiteral("set dtpRdate ") + q(pick(8) ? date() : one({QStringLiteral("1901/01/01"), QStringLiteral("2099/12/31")}));
            if (pick(2))
                s << QStringLiteral("set dtpRtime ") + q(time());
            if (pick(2))
                s << QStringLiteral("set txtChannel_%1 %2").arg(1 + pick(6)).arg(q(number()));
            if (pick(3) == 0)
                s << QStringLiteral("set chkTemporal ") + q(QString::number(pick(2)));
            if (pick(2))
                s << one({QStringLiteral("click imgNextData"), QStringLiteral("tab 0")});
            break;
        case 10: { // import a readout file
            const QString id = sensor();
            QString body;
            for (int i = 3 + pick(12); i > 0; --i) {
                const QDateTime t = m_now.addSecs(-pick(90 * 86400));
                body += t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QStringLiteral(",N1,75,") + id;
                for (int c = pick(12); c > 0; --c)
                    body += QLatin1Char(',') + (pick(9) ? QString::number(pick(3000) / 10.0) : QStringLiteral("abc"));
                body += QStringLiteral("\n");
            }
            const QString path = QStringLiteral("$DATA/readout/") + id + QStringLiteral(".txt");
            s << QStringLiteral("write-file %1 %2").arg(q(path), q(body)) << QStringLiteral("tab 2")
              << QStringLiteral("choose cboNuboInt ") + q(one({QStringLiteral("1"), QStringLiteral("24")}))
              << QStringLiteral("answer ") + q(path) << QStringLiteral("click imgAddNuboData");
            if (pick(3))
                s << QStringLiteral("click-cell MSFlexGrid1 %1 11").arg(1 + pick(3));
            s << answer() << QStringLiteral("click cmdAppend") << QStringLiteral("close frmNuboData");
            break;
        }
        case 11: // delete a range of readings
            s << QStringLiteral("tab 2") << QStringLiteral("click imgDeleteReading")
              << QStringLiteral("set DelStart ") + q(date()) << QStringLiteral("set DelEnd ") + q(date())
              << QStringLiteral("click OKButton") << QStringLiteral("close frmBatchDel");
            break;
        case 12: // the datasheet
            s << QStringLiteral("tab 2") << QStringLiteral("click imgDatasheet");
            for (int i = 1 + pick(4); i > 0; --i) {
                if (pick(3) == 0) {
                    s << QStringLiteral("click-cell MSFlexGrid1 %1 %2").arg(1 + pick(4)).arg(10 + pick(2));
                } else {
                    s << QStringLiteral("cell MSFlexGrid1 %1 %2").arg(1 + pick(4)).arg(3 + pick(7));
                    if (pick(3) == 0)
                        s << QStringLiteral("key MSFlexGrid1 Backspace");
                    s << QStringLiteral("type MSFlexGrid1 ") + q(QString::number(pick(1000)));
                }
            }
            s << QStringLiteral("close frmDatasheet");
            break;
        case 13: // back up
            s << QStringLiteral("tab 7") << QStringLiteral("click imgBackup");
            m_backups.insert(m_now.date().toString(QStringLiteral("yyyy-MM-dd")));
            break;
        case 14: // restore one of the backups made
            if (!m_backups.empty()) {
                const QStringList b(m_backups.begin(), m_backups.end());
                s << QStringLiteral("tab 0") << QStringLiteral("tab 7")
                  << QStringLiteral("choose lstFiles ") + q(QStringLiteral("gSTAYbackup%1.mdb").arg(b[pick(int(b.size()))]))
                  << answer() << QStringLiteral("click imgRestore");
            }
            break;
        case 15: // a day passes
            m_now = m_now.addSecs(3600 * (1 + pick(30)));
            s << QStringLiteral("clock ") + q(m_now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
            break;
        case 16:
            s << QStringLiteral("tab %1").arg(one({3, 4, 5, 6}));
            break;
        case 17: // filter on and off
            s << QStringLiteral("tab 7") << QStringLiteral("set chkDontShowDestroyed ") + q(QString::number(pick(2))) << QStringLiteral("click imgFilter");
            break;
        case 18:
            s << QStringLiteral("tab 1") << QStringLiteral("choose cboDestroyed ") + q(one({QStringLiteral("Yes"), QStringLiteral("No")}));
            break;
        }
    }

    QRandomGenerator m_rng;
    QDateTime m_now;
    bool m_onFile; // the database is a file: its integrity is checked too
    // Ordered: a hash set's order changes from run to run, and so would the walk of a seed.
    std::set<QString> m_backups;
    bool m_first = true;
};

// While the zero reading and k factor a table's last chart pass used still hold, the next pass
// computes only the readings flagged dirty: every other marked reading must already hold what a
// pass over all of them gives.
QStringList checkPassMemory(rv::Database& db, const QString& id, double k)
{
    QStringList faults;
    try {
        if (!db.tableExists(QStringLiteral("ChartPasses")))
            return {};
        const auto memory = db.query(QStringLiteral("SELECT ZeroRowid, ZeroChannels, KFactor FROM ChartPasses "
                                                    "WHERE InstrumentID = ?"),
                                     {id});
        rv::ReadingStore store(db, id);
        std::set<qint64> dirty;
        for (const QVariantList& r : db.query(QStringLiteral("SELECT rowid FROM \"%1\" WHERE IsDirty IS NULL OR IsDirty <> 0").arg(id)))
            dirty.insert(r.value(0).toLongLong());
        // The kept chart blocks are those the readings give, but for the blocks of readings the
        // next pass computes (it marks them stale).
        faults << rv::SeriesStore(db, id).differences(store, [&](qint64 rowid) { return dirty.count(rowid) > 0; });
        rv::ReadingColumns all = store.markedColumns();
        if (memory.isEmpty() || all.size() == 0 || memory[0].value(0).toLongLong() != all.rowids[0]
            || memory[0].value(2).toDouble() != k)
            return {};
        QStringList zero;
        for (const auto& channel : all.channels)
            zero << (std::isnan(channel[0]) ? QString() : QString::number(channel[0], 'g', 17));
        if (zero.join(QLatin1Char(';')) != memory[0].value(1).toString())
            return {};
        for (const rv::ComputedValues& v : rv::preparePass(all, k).changed)
            if (!dirty.count(v.rowid))
                faults << QStringLiteral("%1: reading %2 is marked computed but differs from a whole pass").arg(id).arg(v.rowid);
    } catch (const rv::RvError& e) {
        faults << QStringLiteral("%1: the pass check failed: %2").arg(id, e.description);
    }
    return faults;
}

// Checks that need the list of reading tables; returns the faults found.
QStringList checkDatabase(const rv::DatabaseTarget& target)
{
    QStringList faults;
    std::unique_ptr<rv::Database> db;
    try {
        db = target.isServer() ? rv::Database::open(target) : rv::Database::openReadOnly(target.sqlitePath());
    } catch (const rv::RvError& e) {
        return {QStringLiteral("cannot open %1: %2").arg(target.display(), e.description)};
    }
    const auto rows = [&](const QString& sql) {
        QList<QStringList> out;
        try {
            for (const QVariantList& row : db->query(sql)) {
                QStringList r;
                for (const QVariant& v : row)
                    r << (v.isNull() ? QStringLiteral("<null>") : v.toString());
                out << r;
            }
        } catch (const rv::RvError& e) {
            faults << QStringLiteral("query failed: %1: %2").arg(sql, e.description);
        }
        return out;
    };
    static const QRegularExpression nine(QStringLiteral("^[0-9]{9}$"));
    QSet<QString> readingTables;
    for (const QString& name : db->tableNames())
        if (nine.match(name).hasMatch())
            readingTables.insert(name);
    QList<QStringList> sensors;
    for (const QStringList& s : rows(QStringLiteral("SELECT InstrumentID, boltkfactor FROM Sensors"))) {
        if (readingTables.remove(s[0]))
            sensors << s;
        else
            faults << QStringLiteral("sensor %1 has no reading table").arg(s[0]);
    }
    for (const QString& name : std::as_const(readingTables))
        faults << QStringLiteral("the reading table %1 has no sensor").arg(name);
    static const QRegularExpression date(QStringLiteral("^[0-9]{4}/[0-1][0-9]/[0-3][0-9]$"));
    static const QRegularExpression time(QStringLiteral("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]$"));
    for (const QStringList& t : sensors) {
        const QString table = QLatin1Char('"') + t[0] + QLatin1Char('"');
        for (const QStringList& r : rows(QStringLiteral("SELECT DateTimeKey, count(*) FROM %1 GROUP BY DateTimeKey "
                                                        "HAVING count(*) > 1").arg(table)))
            faults << QStringLiteral("%1: %2 readings with the key %3").arg(t[0], r[1], r[0]);
        for (const QStringList& r : rows(QStringLiteral("SELECT DateTimeKey, ReadingDate, ReadingTime, FullDate FROM %1").arg(table))) {
            const QString& day = r[1];
            const QString& at = r[2];
            if (r[0].mid(10) != day + QLatin1Char(' ') + at
                || r[3] != QString(day).replace(QLatin1Char('/'), QLatin1Char('-')) + QLatin1Char(' ') + at
                || !date.match(day).hasMatch() || !time.match(at).hasMatch())
                faults << QStringLiteral("%1: key and date disagree: %2").arg(t[0], r.join(QLatin1Char('|')));
            if (r[0].left(10) != t[0] + QLatin1Char(' '))
                faults << QStringLiteral("%1: the key %2 names another sensor").arg(t[0], r[0]);
        }
        // Loads are computed for marked readings from the zeroed strains with the sensor's k factor.
        const double k = t[1] == QLatin1String("<null>") ? 0 : t[1].toDouble();
        if (k != kFactor)
            continue; // the walk never changes a k factor from the one it set; other sensors keep their loads
        faults << checkPassMemory(*db, t[0], k);
        for (const QStringList& r : rows(QStringLiteral("SELECT DateTimeKey, zero1, zero2, zero3, zero4, zero5, zero6, "
                                                        "Load1, Load2, Load3, Load5 FROM %1 WHERE Plottemporal <> 0 "
                                                        "AND Load1 IS NOT NULL").arg(table))) {
            const auto z = [&](int g) { return r[g].toDouble(); };
            const double want[4] = {(z(1) + z(4)) / 2 * (1 / k), z(2) * (1 / k), (z(3) + z(6)) / 2 * (1 / k), z(5) * (1 / k)};
            for (int i = 0; i < 4; ++i) {
                const double got = r[7 + i].toDouble();
                if (r[7 + i] == QLatin1String("<null>") || std::fabs(got - want[i]) > 1e-9 * std::max(1.0, std::fabs(want[i])))
                    faults << QStringLiteral("%1: %2 load %3 is %4, its strains give %5")
                                  .arg(t[0], r[0]).arg(i == 3 ? 5 : i + 1).arg(r[7 + i]).arg(want[i], 0, 'g', 15);
            }
        }
    }
    return faults;
}

// One seed: returns an empty text when every segment passed, else what went wrong.
// database: a server database's URL, empty for the folder's file.
QString walk(const QString& setup, const QString& runner, quint32 seed, int steps, const QString& dir,
             const QString& database, int& walked)
{
    QStringList chosen;
    if (!database.isEmpty())
        chosen << QStringLiteral("--database") << database;
    QProcess p;
    p.start(setup, QStringList{QStringLiteral("--data-dir"), dir, QStringLiteral("--mine-id"), QStringLiteral("KLD-")} + chosen);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("set-up failed");
    const rv::DatabaseTarget target = database.isEmpty()
                                          ? rv::DatabaseTarget::sqliteFile(dir + QStringLiteral("/RockvistagSTAY.mdb"))
                                          : rv::DatabaseTarget::server(database);
    Walker w(seed, !target.isServer());
    QStringList all;
    for (int seg = 0; steps > 0; ++seg) {
        const int n = std::min(steps, 15 + int(seed % 7) * 5);
        steps -= n;
        QList<int> invariants;
        const QStringList lines = w.segment(n, invariants);
        all << lines;
        const QString script = QStringLiteral("%1/walk-%2-%3.rvs").arg(dir).arg(seed).arg(seg);
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write ") + script;
        f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        f.close();
        QFile whole(QStringLiteral("%1/walk-%2.rvs").arg(dir).arg(seed));
        if (whole.open(QIODevice::WriteOnly | QIODevice::Truncate))
            whole.write((QStringLiteral("#setup: --mine-id KLD-\n") + all.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        whole.close();

        // A runaway allocation is a fault to report, not a reason to starve the machine.
        // (AddressSanitizer reserves terabytes of shadow space and brings its own allocation limit.)
        if (!qEnvironmentVariableIsSet("ROCKVISTA_SANITIZED")) p.setChildProcessModifier([] {
            const rlimit limit{rlim_t(4) << 30, rlim_t(4) << 30};
            setrlimit(RLIMIT_AS, &limit);
        });
        // Every sensor of a few readings keeps chart blocks, so that the check below has some.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ROCKVISTA_CHART_BLOCKS"), QStringLiteral("2"));
        p.setProcessEnvironment(env);
        p.start(runner, QStringList{QStringLiteral("--data-dir"), dir, script} + chosen);
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
            return QStringLiteral("segment %1 hangs: %2").arg(seg).arg(script);
        }
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        // A sanitizer's report ends the runner with status 1, as a failed line does: its text tells.
        static const QRegularExpression sanitizer(QStringLiteral("ERROR: \\w+Sanitizer|runtime error: "));
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() > 1 || err.contains(sanitizer))
            return QStringLiteral("segment %1 crashed (status %2): %3\n%4%5")
                .arg(seg).arg(p.exitCode()).arg(script, out.right(2000), err.right(4000));
        walked += n;
        QStringList faults;
        static const QRegularExpression fail(QStringLiteral("^FAIL [^:]*:(\\d+): (.*)$"), QRegularExpression::MultilineOption);
        for (auto it = fail.globalMatch(out); it.hasNext();) {
            const auto m = it.next();
            if (invariants.contains(m.captured(1).toInt()))
                faults << m.captured(2);
        }
        faults << checkDatabase(target);
        if (!faults.isEmpty())
            return QStringLiteral("segment %1 (%2) breaks:\n  %3").arg(seg).arg(script, faults.join(QStringLiteral("\n  ")));
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rockvista-walk SETUP_EXE SCRIPT_EXE [--seeds A-B] [--steps N] [--keep DIR]\n");
        return 2;
    }
    const bool isLong = qEnvironmentVariableIntValue("WALK_LONG") != 0;
    quint32 first = 1, last = isLong ? 20 : 4;
    int steps = isLong ? 200 : 100;
    QString keep;
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--seeds")) {
            const QStringList ab = args[i + 1].split(QLatin1Char('-'));
            first = ab.value(0).toUInt();
            last = ab.value(1, ab.value(0)).toUInt();
        } else if (args[i] == QLatin1String("--steps")) {
            steps = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--keep")) {
            keep = args[i + 1];
        }
    }
    if (qEnvironmentVariableIsSet("WALK_SEED"))
        first = last = qEnvironmentVariable("WALK_SEED").toUInt();

    int walked = 0, failed = 0;
    QMap<QString, int> reports;
    for (quint32 seed = first; seed <= last; ++seed) {
        QTemporaryDir tmp;
        const QString dir = keep.isEmpty() ? tmp.path() : keep + QStringLiteral("/seed-") + QString::number(seed);
        if (!keep.isEmpty()) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
        }
        // On a server: a fresh database of its own for each seed.
        const QString server = qEnvironmentVariable("ROCKVISTA_TEST_DATABASE");
        QString database;
        const QString name = QStringLiteral("walk_%1_%2").arg(seed).arg(QCoreApplication::applicationPid());
        const auto psql = [&](const QString& sql) {
            return QProcess::execute(QStringLiteral("psql"), {QStringLiteral("-XAtq"), QStringLiteral("-d"), server,
                                                               QStringLiteral("-c"), sql}) == 0;
        };
        if (!server.isEmpty()) {
            if (!psql(QStringLiteral("CREATE DATABASE ") + name)) {
                std::printf("FAIL seed %u: cannot create the database %s\n", seed, qPrintable(name));
                ++failed;
                continue;
            }
            database = server.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('/'), 0, -2) + QLatin1Char('/') + name;
        }
        QString fault = walk(args[0], args[1], seed, steps, dir, database, walked);
        if (!server.isEmpty())
            psql(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        // The program's error reports are not faults by themselves (some are its documented
        // answers), but a new kind among them is worth a look: they are counted by number and
        // procedure.
        QFile log(dir + QStringLiteral("/gSTAY.txt"));
        if (log.open(QIODevice::ReadOnly | QIODevice::Text)) {
            static const QRegularExpression report(QStringLiteral("^\\S+ \\S+ - Err #(-?\\d+): .* (\\S+)$"),
                                                   QRegularExpression::MultilineOption);
            const QString text = QString::fromUtf8(log.readAll());
            for (auto it = report.globalMatch(text); it.hasNext();) {
                const auto m = it.next();
                ++reports[QStringLiteral("Err #%1 in%2").arg(m.captured(1), m.captured(2).prepend(QLatin1Char(' ')))];
                // The walk never damages the tables: on a server an SQL error is a text the server refused.
                if (!server.isEmpty() && m.captured(1) == QLatin1String("1") && fault.isEmpty())
                    fault = QStringLiteral("the program logged an SQL error: ") + m.captured(0);
            }
        }
        if (!fault.isEmpty()) {
            ++failed;
            if (keep.isEmpty())
                tmp.setAutoRemove(false);
            std::printf("FAIL seed %u: %s\n  replay: WALK_SEED=%u rockvista-walk SETUP SCRIPT --steps %d (scripts in %s)\n",
                        seed, qPrintable(fault), seed, steps, qPrintable(dir));
        }
        std::fflush(stdout);
    }
    for (auto it = reports.cbegin(); it != reports.cend(); ++it)
        std::printf("  logged %5d × %s\n", it.value(), qPrintable(it.key()));
    std::printf("%d steps walked over %u seeds, %d failed\n", walked, last - first + 1, failed);
    return failed ? 1 : 0;
}
