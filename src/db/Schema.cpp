#include "db/Schema.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

namespace rv {

namespace {

// Lengths, limits and paddle positions are "NUMERIC TEXT": stored as the formatted text the form
// writes ("2.0" stays "2.0"), while the record set refuses a text that is not a number.
// Column definitions "Name TYPE[ constraint]", the types as SQLite declares them; each engine
// spells them its own way (see tableSql).
const char* const kSensorsTable =
    "InstrumentID TEXT UNIQUE NOT NULL, DateID TEXT, TypeID TEXT, SensorType TEXT, SensorNo TEXT, "
    "Family TEXT, Model TEXT, numgauges INTEGER, LengthLongG NUMERIC TEXT, LengthShortG NUMERIC TEXT, boltkfactor REAL, "
    "ElasticLimit NUMERIC TEXT, PerfectPlasticLimit NUMERIC TEXT, UltimateStrength NUMERIC TEXT, Elongation NUMERIC TEXT, "
    "PaddleLocation1 NUMERIC TEXT, PaddleLocation2 NUMERIC TEXT, PaddleLocation3 NUMERIC TEXT, Level TEXT, Location TEXT, "
    "Borehole TEXT, InstallDate TEXT, InstallBy TEXT, Purpose TEXT, Notes TEXT, Destroyed TEXT, "
    "DestructionDate TEXT, HeadLocation INTEGER, LengthofCable REAL";

const char* const kConfigurationTable =
    "SensorType TEXT, Family TEXT, Model TEXT, NumChannels INTEGER, TempChannel INTEGER, Temp TEXT, "
    "lblNotes TEXT, templow REAL, temphigh REAL, lowval REAL, highval REAL";

const char* const kPrefsTable =
    "MineID TEXT NOT NULL DEFAULT '', MaxY REAL, MinY REAL, MinX REAL, MaxX REAL";

const char* const kNetworkConfigTable =
    "SensorID TEXT, MasterID TEXT, SlaveID TEXT, SlotID TEXT, TimeConfig INTEGER";

// The datasheet addresses the first ten columns by position: their order is fixed.
const char* const kReadingTemplate =
    "DateTimeKey TEXT, ReadingDate TEXT, ReadingTime TEXT, ChannelT REAL, "
    "Channel1 REAL, Channel2 REAL, Channel3 REAL, Channel4 REAL, Channel5 REAL, Channel6 REAL, "
    "Plottemporal INTEGER, PlotSpatial INTEGER, FullDate TEXT, "
    "Channel7 REAL, Channel8 REAL, Channel9 REAL, Channel10 REAL, "
    "zero1 REAL, zero2 REAL, zero3 REAL, zero4 REAL, zero5 REAL, "
    "zero6 REAL, zero7 REAL, zero8 REAL, zero9 REAL, zero10 REAL, "
    "NumTemp REAL, Load1 REAL, Load2 REAL, Load3 REAL, Load5 REAL, IsDirty INTEGER";

const struct {
    const char* name;
    const char* columns;
} kSuppliedTables[] = {{"Sensors", kSensorsTable},
                       {"Configuration", kConfigurationTable},
                       {"Prefs", kPrefsTable},
                       {"NetworkConfig", kNetworkConfigTable},
                       {"sensordata", kReadingTemplate}};

struct DemoSensor {
    const char* id;
    const char* level;
    const char* location;
    const char* borehole;
    const char* installBy;
    const char* purpose;
    const char* notes;
    double kFactor;
    const char* lengthLong;
    const char* lengthShort;
    const char* paddles[3];
    int installedDaysAgo;
    int destroyedDaysAgo; // 0: still in service
};

const DemoSensor kDemoSensors[] = {
    {"120375001", "1200", "North drive, xc 12", "NB-12-03", "J. Mokoena", "Pillar monitoring",
     "Installed through a 1.2 m thick weak band.", 7.48, "2.4", "0.8", {"0.45", "1.2", "1.95"}, 128, 0},
    {"120375002", "1200", "North drive, xc 14", "NB-14-01", "J. Mokoena", "Hangingwall support",
     "Close to the fault at the eastern sidewall.", 7.52, "2.4", "0.8", {"0.45", "1.2", "1.95"}, 126, 0},
    {"120375003", "1350", "Ramp 3, bay 2", "R3-02-07", "P. Naidoo", "Support trial",
     "Cable cut by the scaler; bolt left in place.", 7.5, "1.8", "0.6", {"0.3", "0.9", "1.5"}, 115, 21},
    {"130175001", "1350", "Stope 6 brow", "S6-B-01", "P. Naidoo", "Brow stability",
     "Mesh and shotcrete applied after installation.", 7.46, "3.0", "0.9", {"0.6", "1.5", "2.4"}, 97, 0},
};

// Small deterministic generator so that the sample is the same on every machine.
struct Noise {
    quint32 state;
    double next() // -1 .. 1
    {
        state = state * 1664525u + 1013904223u;
        return (static_cast<double>(state >> 8) / static_cast<double>(1u << 24)) * 2.0 - 1.0;
    }
};

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

void addDemoReadings(Database& db, const DemoSensor& s, const QDate& today, Noise& noise)
{
    const QString table = Database::quoteId(QString::fromLatin1(s.id));
    Statement insert = db.prepare(
        QStringLiteral("INSERT INTO ") + table
        + QStringLiteral(" (DateTimeKey, ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, Channel3, "
                         "Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, FullDate, IsDirty) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 0, ?, 1)"));
    const QDate first = today.addDays(-(s.installedDaysAgo - 2));
    const QDate last = s.destroyedDaysAgo > 0 ? today.addDays(-s.destroyedDaysAgo) : today;
    double base[6];
    double rate[6];
    for (int c = 0; c < 6; ++c) {
        base[c] = 180.0 + 45.0 * c + 20.0 * noise.next();
        rate[c] = 0.9 + 0.5 * (c % 3) + 0.2 * noise.next(); // strain per day
    }
    int day = 0;
    for (QDate date = first; date <= last; date = date.addDays(1), ++day) {
        if (date.dayOfWeek() == 7 && date != last)
            continue; // nobody reads on Sundays
        if (noise.next() > 0.85 && date != last)
            continue; // a missed shift now and then
        const QTime time(7 + static_cast<int>((noise.next() + 1.0) * 1.5), static_cast<int>((noise.next() + 1.0) * 29.0),
                         static_cast<int>((noise.next() + 1.0) * 29.0));
        QDateTime moment(date, time);
        const QDateTime now = QDateTime::currentDateTime();
        if (moment > now) // today's reading cannot lie ahead of the clock
            moment = QDateTime(date, QTime(now.time().hour(), now.time().minute(), now.time().second()));
        const QTime readTime = moment.time();
        insert.reset();
        insert.bind(1, QString::fromLatin1(s.id) + QLatin1Char(' ')
                           + moment.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        insert.bind(2, date.toString(QStringLiteral("yyyy/MM/dd")));
        insert.bind(3, readTime.toString(QStringLiteral("HH:mm:ss")));
        const double temp = 21.0 + 2.5 * std::sin(day / 9.0) + 0.4 * noise.next();
        insert.bind(4, std::round(temp * 10.0) / 10.0);
        // Strain builds up fast after installation, then creeps.
        const double settle = 1.0 - std::exp(-day / 20.0);
        for (int c = 0; c < 6; ++c)
            insert.bind(5 + c, round2(base[c] + rate[c] * day * 0.6 + 60.0 * settle + 1.5 * noise.next()));
        insert.bind(11, moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        while (insert.step()) {
        }
    }
    insert.reset();
}

} // namespace

void createSuppliedDatabase(Database& db, const QString& mineId)
{
    Transaction tx(db);
    db.defineColumnTypes();
    static const QRegularExpression definition(QStringLiteral("^(\\w+) ([A-Z ]+?)( (?:UNIQUE|NOT NULL).*)?$"));
    for (const auto& table : kSuppliedTables) {
        QVector<TableColumn> columns;
        for (const QString& text : QString::fromLatin1(table.columns).split(QStringLiteral(", "))) {
            const QRegularExpressionMatch m = definition.match(text);
            columns.append({m.captured(1), m.captured(2), m.captured(3).trimmed()});
        }
        db.exec(tableSql(db, QString::fromLatin1(table.name), columns));
    }
    db.exec(QStringLiteral("INSERT INTO Configuration (SensorType, Family, Model, NumChannels, TempChannel, Temp, "
                           "lblNotes, templow, temphigh, lowval, highval) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("75"), QStringLiteral("g-STAY"), QStringLiteral("g6STAY"), 6, 1, QStringLiteral("deg C"),
             QStringLiteral("Notes:"), -40.0, 85.0, -5000.0, 5000.0});
    db.exec(QStringLiteral("INSERT INTO Prefs (MineID, MaxY, MinY, MinX, MaxX) VALUES (?, ?, ?, ?, ?)"),
            {mineId.isNull() ? QString(QLatin1String("")) : mineId, 5000.0, -5000.0, 0.0, 100.0});
    tx.commit();
}

void addDemoData(Database& db)
{
    const QDate today = QDate::currentDate();
    Noise noise{20240611u};
    Transaction tx(db);
    for (const DemoSensor& s : kDemoSensors) {
        const QString id = QString::fromLatin1(s.id);
        const bool destroyed = s.destroyedDaysAgo > 0;
        db.exec(QStringLiteral(
                    "INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, "
                    "numgauges, LengthLongG, LengthShortG, boltkfactor, ElasticLimit, PerfectPlasticLimit, "
                    "UltimateStrength, Elongation, PaddleLocation1, PaddleLocation2, PaddleLocation3, Level, "
                    "Location, Borehole, InstallDate, InstallBy, Purpose, Notes, Destroyed, DestructionDate, "
                    "HeadLocation, LengthofCable) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {id, id.left(4), id.mid(4, 2), id.mid(4, 2), id.mid(6, 3), QStringLiteral("g-STAY"),
                 QStringLiteral("g6STAY"), 6, QString::fromLatin1(s.lengthLong), QString::fromLatin1(s.lengthShort),
                 s.kFactor, QStringLiteral("180.0"), QStringLiteral("210.0"), QStringLiteral("250.0"),
                 QStringLiteral("15.0"), QString::fromLatin1(s.paddles[0]), QString::fromLatin1(s.paddles[1]),
                 QString::fromLatin1(s.paddles[2]), QString::fromLatin1(s.level), QString::fromLatin1(s.location),
                 QString::fromLatin1(s.borehole),
                 today.addDays(-s.installedDaysAgo).toString(QStringLiteral("yyyy/MM/dd")),
                 QString::fromLatin1(s.installBy), QString::fromLatin1(s.purpose), QString::fromLatin1(s.notes),
                 destroyed ? QStringLiteral("Yes") : QStringLiteral("No"),
                 destroyed ? QVariant(today.addDays(-s.destroyedDaysAgo).toString(QStringLiteral("yyyy/MM/dd")))
                           : QVariant(),
                 1, 0.0});
        db.exec(QStringLiteral("INSERT INTO NetworkConfig (SensorID, MasterID, SlaveID, SlotID, TimeConfig) "
                               "VALUES (?, ?, ?, ?, ?)"),
                {id, QStringLiteral("NA"), QStringLiteral("NA"), QStringLiteral("NA"), 24});
        createReadingTable(db, id);
        addDemoReadings(db, s, today, noise);
    }
    tx.commit();
}

namespace {

QStringList columnsOf(Database& db, const QString& table)
{
    QStringList names;
    for (const Database::Column& column : db.columns(table))
        names << column.name;
    return names;
}

// The columns of the five tables as this program makes them, read once from a database made so;
// of the reading template only those a reading is stored with.
const QList<QPair<QString, QStringList>>& suppliedColumns()
{
    static const QList<QPair<QString, QStringList>> columns = [] {
        auto db = Database::create(QStringLiteral(":memory:"));
        createSuppliedDatabase(*db, {});
        QList<QPair<QString, QStringList>> list;
        for (const char* table : {"Configuration", "Prefs", "Sensors", "NetworkConfig", "sensordata"}) {
            QStringList names = columnsOf(*db, QString::fromLatin1(table));
            // The columns the charts compute (zero1 … zero10, NumTemp, the loads) are added
            // when a table from an older program lacks them: their absence does no harm.
            names.removeIf([](const QString& name) {
                return name.startsWith(QLatin1String("zero")) || name == QLatin1String("NumTemp")
                       || name.startsWith(QLatin1String("Load"));
            });
            list.append({QString::fromLatin1(table), names});
        }
        return list;
    }();
    return columns;
}

// The first of the wanted columns that the table lacks; empty when it has them all.
QString lackedColumn(Database& db, const QString& table, const QStringList& wanted)
{
    const QStringList has = columnsOf(db, table);
    for (const QString& column : wanted)
        if (!has.contains(column, Qt::CaseInsensitive))
            return column;
    return {};
}

} // namespace

QString schemaProblem(Database& db)
{
    QStringList readingColumns;
    for (const auto& [table, columns] : suppliedColumns()) {
        if (!db.tableExists(table))
            return QStringLiteral("the table ") + table + QStringLiteral(" is missing");
        const QString lacked = lackedColumn(db, table, columns);
        if (!lacked.isEmpty())
            return QStringLiteral("the table ") + table + QStringLiteral(" lacks the column ") + lacked;
        if (table == QLatin1String("sensordata"))
            readingColumns = columns;
    }
    for (const auto& row : db.query(QStringLiteral("SELECT InstrumentID FROM Sensors ORDER BY InstrumentID"))) {
        const QString id = row.value(0).toString();
        if (!db.tableExists(id))
            return QStringLiteral("the reading table of sensor ") + id + QStringLiteral(" is missing");
        const QString lacked = lackedColumn(db, id, readingColumns);
        if (!lacked.isEmpty())
            return QStringLiteral("the reading table of sensor ") + id + QStringLiteral(" lacks the column ") + lacked;
    }
    return {};
}

void createReadingTable(Database& db, const QString& instrumentId)
{
    // The template's columns, so that they keep their order and types.
    QVector<TableColumn> columns;
    for (const Database::Column& column : db.columns(QStringLiteral("sensordata")))
        columns.append({column.name, column.declaredType, {}});
    if (columns.isEmpty())
        throw RvError(1, QStringLiteral("no such table: sensordata"));
    Transaction tx(db);
    db.exec(tableSql(db, instrumentId, columns));
    // Readings are shown in FullDate order, ties by row id: SQLite's indexes end with the rowid
    // of their own, a surrogate one is named.
    db.exec(QStringLiteral("CREATE INDEX ") + Database::quoteId(instrumentId + QStringLiteral("_FullDate"))
            + QStringLiteral(" ON ") + Database::quoteId(instrumentId)
            + (db.rowidColumn().isEmpty() ? QStringLiteral(" (FullDate)") : QStringLiteral(" (FullDate, rowid)")));
    db.touch(instrumentId);
    tx.commit();
}

QString sqlName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch() ? name : Database::quoteId(name);
}

QString tableSql(const Database& db, const QString& table, const QVector<TableColumn>& columns)
{
    QStringList definitions;
    if (const QString rowid = db.rowidColumn(); !rowid.isEmpty())
        definitions << rowid;
    for (const TableColumn& column : columns) {
        QString text = sqlName(column.name);
        if (const QString type = db.columnType(column.declaredType); !type.isEmpty())
            text += QLatin1Char(' ') + type;
        if (!column.constraint.isEmpty())
            text += QLatin1Char(' ') + column.constraint;
        definitions << text;
    }
    return QStringLiteral("CREATE TABLE ") + sqlName(table) + QStringLiteral(" (") + definitions.join(QStringLiteral(", "))
           + QLatin1Char(')');
}

void dropReadingTable(Database& db, const QString& instrumentId)
{
    // Refused before any statement fails: on a server a failed one spoils the caller's transaction.
    if (!db.tableExists(instrumentId))
        throw RvError(1, QStringLiteral("no such table: ") + instrumentId);
    db.exec(QStringLiteral("DROP TABLE ") + Database::quoteId(instrumentId));
    // What the program kept of the readings goes with them: a table made anew under the name,
    // perhaps in a later session, would else be taken for the old one.
    for (const QString& kept : {QStringLiteral("ChartBlocks"), QStringLiteral("ChartPasses")})
        if (db.tableExists(kept))
            db.exec(QStringLiteral("DELETE FROM ") + kept + QStringLiteral(" WHERE InstrumentID = ?"), {instrumentId});
    db.touch(instrumentId);
}

void deleteAllReadings(Database& db, const QString& instrumentId)
{
    db.exec(QStringLiteral("DELETE FROM ") + Database::quoteId(instrumentId));
    db.touch(instrumentId); // emptied whole: the row hook does not see it
}

} // namespace rv
