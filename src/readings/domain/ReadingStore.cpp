#include "readings/domain/ReadingStore.h"

#include "core/Formats.h"
#include "readings/domain/ReadingKey.h"

#include <QSet>
#include <cmath>
#include <limits>

namespace rv {

namespace {

const QString kFullDate = QStringLiteral("FullDate");
const QString kMarked = QStringLiteral(
    "Plottemporal IS NOT NULL AND lower(trim(Plottemporal)) NOT IN ('0', '0.0', '', 'false', 'no')");

QString channelColumn(int i) { return QStringLiteral("Channel") + QString::number(i + 1); }
QString zeroColumn(int i) { return QStringLiteral("zero") + QString::number(i + 1); }
const char* const kLoadColumns[Reading::kLoads] = {"Load1", "Load2", "Load3", "Load5"};

// Every value column of a reading, in the order select() reads them after rowid.
QStringList valueColumns()
{
    QStringList cols{kFullDate, QStringLiteral("ReadingDate"), QStringLiteral("ReadingTime"),
                     QStringLiteral("ChannelT")};
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << channelColumn(i);
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << zeroColumn(i);
    cols << QStringLiteral("NumTemp");
    for (const char* c : kLoadColumns)
        cols << QString::fromLatin1(c);
    cols << QStringLiteral("Plottemporal") << QStringLiteral("PlotSpatial") << QStringLiteral("IsDirty");
    return cols;
}

bool flag(const QVariant& v)
{
    if (v.isNull())
        return false;
    const QString t = v.toString().trimmed().toLower();
    return !(t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("0.0") || t == QLatin1String("false")
             || t == QLatin1String("no"));
}

QVariant bindable(const OptDouble& v)
{
    return v ? QVariant(*v) : QVariant();
}

double nanIfNull(const OptDouble& v)
{
    return v ? *v : std::numeric_limits<double>::quiet_NaN();
}

// Days since 1899-12-30, the fraction the time of day: how a converted Access file keeps dates.
QDateTime fromSerialDate(double serial)
{
    if (!std::isfinite(serial))
        return {};
    const double wholeDays = std::floor(serial);
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(wholeDays));
    const int seconds = static_cast<int>(std::lround((serial - wholeDays) * 86400.0));
    if (seconds >= 86400)
        return readingMoment(date.addDays(1), QTime(0, 0));
    return readingMoment(date, QTime(0, 0).addSecs(seconds));
}

} // namespace

// --- stored forms ---

QString readingForms::fullDateText(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    return dateText(moment.date(), '-') + QLatin1Char(' ') + readingTimeText(moment.time());
}

QDateTime readingForms::parseFullDate(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    const int type = stored.typeId();
    if (type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int)
        return fromSerialDate(stored.toDouble());
    if (type == QMetaType::QDateTime)
        return readingMoment(stored.toDateTime().date(), stored.toDateTime().time());
    QString t = stored.toString().trimmed();
    if (t.endsWith(QLatin1Char('Z')))
        t.chop(1);
    t.replace(QLatin1Char('T'), QLatin1Char(' '));
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    const QDate date = parseReadingDate(blank < 0 ? t : t.left(blank));
    if (!date.isValid())
        return {};
    if (blank < 0)
        return readingMoment(date, QTime(0, 0));
    QString timeText = t.mid(blank + 1).trimmed();
    const qsizetype point = timeText.indexOf(QLatin1Char('.'));
    if (point >= 0)
        timeText.truncate(point);
    const QTime time = parseReadingTime(timeText);
    return time.isValid() ? readingMoment(date, time) : QDateTime();
}

QDateTime readingForms::momentOf(const QVariant& fullDate, const QVariant& readingDate, const QVariant& readingTime)
{
    const QDateTime m = parseFullDate(fullDate);
    if (m.isValid())
        return m;
    const QDate d = parseReadingDate(readingDate.toString());
    const QTime t = parseReadingTime(readingTime.toString());
    return d.isValid() && t.isValid() ? readingMoment(d, t) : QDateTime();
}

OptDouble readingForms::number(const QVariant& stored)
{
    if (stored.isNull())
        return std::nullopt;
    const int type = stored.typeId();
    if (type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int)
        return stored.toDouble();
    const QString t = stored.toString();
    if (t.trimmed().isEmpty())
        return std::nullopt;
    return leadingNumber(t);
}

// --- store ---

ReadingStore::ReadingStore(Database& db, const QString& instrumentId) : m_db(db), m_id(instrumentId) {}

QString ReadingStore::keyOf(const QDateTime& moment) const
{
    return readingKey(m_id, moment.date(), moment.time());
}

bool ReadingStore::tableExists() const
{
    return m_db.tableExists(m_id);
}

int ReadingStore::count() const
{
    return m_db.query(QStringLiteral("SELECT count(*) FROM ") + table()).value(0).value(0).toInt();
}

bool ReadingStore::keyExists(const QString& key) const
{
    return !m_db
                .query(QStringLiteral("SELECT 1 FROM ") + table() + QStringLiteral(" WHERE DateTimeKey = ? LIMIT 1"),
                       {key})
                .isEmpty();
}

QVector<Reading> ReadingStore::select(const QString& where, const QString& order) const
{
    QString sql = QStringLiteral("SELECT rowid, ") + valueColumns().join(QStringLiteral(", "))
                  + QStringLiteral(" FROM ") + table();
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" ORDER BY ") + order;
    QVector<Reading> out;
    Statement st = m_db.prepare(sql);
    while (st.step()) {
        Reading r;
        int c = 0;
        r.rowid = st.column(c++).toLongLong();
        const QVariant fullDate = st.column(c++);
        const QVariant date = st.column(c++);
        const QVariant time = st.column(c++);
        r.moment = readingForms::momentOf(fullDate, date, time);
        r.temperature = readingForms::number(st.column(c++));
        for (auto& v : r.channels)
            v = readingForms::number(st.column(c++));
        for (auto& v : r.zeroed)
            v = readingForms::number(st.column(c++));
        r.numTemp = readingForms::number(st.column(c++));
        for (auto& v : r.loads)
            v = readingForms::number(st.column(c++));
        r.plotTemporal = flag(st.column(c++));
        r.plotSpatial = flag(st.column(c++));
        r.isDirty = flag(st.column(c++));
        out.append(r);
    }
    st.reset();
    return out;
}

QVector<Reading> ReadingStore::readings(bool markedOnly) const
{
    return select(markedOnly ? kMarked : QString(), QStringLiteral("FullDate, rowid"));
}

ReadingColumns ReadingStore::markedColumns() const
{
    const QVector<Reading> rows = readings(true);
    ReadingColumns c;
    const int n = rows.size();
    c.rowids.reserve(n);
    c.moments.reserve(n);
    for (const Reading& r : rows) {
        c.rowids.append(r.rowid);
        c.moments.append(r.moment);
        c.temperatures.append(nanIfNull(r.temperature));
        for (int i = 0; i < Reading::kChannels; ++i) {
            c.channels[i].append(nanIfNull(r.channels[i]));
            c.zeroed[i].append(nanIfNull(r.zeroed[i]));
        }
        c.numTemps.append(nanIfNull(r.numTemp));
        for (int i = 0; i < Reading::kLoads; ++i)
            c.loads[i].append(nanIfNull(r.loads[i]));
    }
    return c;
}

std::optional<Reading> ReadingStore::firstMarked() const
{
    const QVector<Reading> r = select(kMarked, QStringLiteral("FullDate, rowid LIMIT 1"));
    return r.isEmpty() ? std::nullopt : std::optional<Reading>(r.first());
}

std::optional<Reading> ReadingStore::lastMarked() const
{
    const QVector<Reading> r = select(kMarked, QStringLiteral("FullDate DESC, rowid DESC LIMIT 1"));
    return r.isEmpty() ? std::nullopt : std::optional<Reading>(r.first());
}

int ReadingStore::writeComputed(const QVector<ComputedValues>& rows)
{
    if (rows.isEmpty())
        return 0;
    // The WHERE clause leaves a reading alone when every value is stored already (IS compares
    // Nulls as equal), so that an unchanged pass writes no page.
    const auto statement = [&](bool withLoads) {
        QStringList cols;
        for (int i = 0; i < Reading::kChannels; ++i)
            cols << zeroColumn(i);
        cols << QStringLiteral("NumTemp");
        if (withLoads)
            for (const char* c : kLoadColumns)
                cols << QString::fromLatin1(c);
        QStringList sets, same;
        for (int i = 0; i < cols.size(); ++i) {
            const QString p = QStringLiteral("?") + QString::number(i + 1);
            sets << cols[i] + QStringLiteral(" = ") + p;
            same << cols[i] + QStringLiteral(" IS ") + p;
        }
        return QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
               + QStringLiteral(" WHERE rowid = ?") + QString::number(cols.size() + 1) + QStringLiteral(" AND NOT (")
               + same.join(QStringLiteral(" AND ")) + QLatin1Char(')');
    };
    int written = 0;
    Transaction tx(m_db);
    Statement withLoads = m_db.prepare(statement(true));
    Statement withoutLoads = m_db.prepare(statement(false));
    for (const ComputedValues& row : rows) {
        Statement& st = row.writeLoads ? withLoads : withoutLoads;
        int p = 1;
        for (const OptDouble& v : row.zeroed)
            st.bind(p++, bindable(v));
        st.bind(p++, bindable(row.numTemp));
        if (row.writeLoads)
            for (const OptDouble& v : row.loads)
                st.bind(p++, bindable(v));
        st.bind(p, row.rowid);
        while (st.step()) {
        }
        written += m_db.changes();
        st.reset();
    }
    tx.commit();
    return written;
}

InsertOutcome ReadingStore::insert(const QVector<Reading>& batch)
{
    InsertOutcome out;
    if (batch.isEmpty())
        return out;
    QSet<QString> present;
    for (const QVariantList& row : m_db.query(QStringLiteral("SELECT DateTimeKey FROM ") + table()))
        if (!row.value(0).isNull())
            present.insert(row.value(0).toString());

    // Only the columns the table has: a value for a column it lacks is dropped.
    QSet<QString> have;
    for (const Database::Column& c : m_db.columns(m_id))
        have.insert(c.name.toLower());
    QStringList cols{QStringLiteral("DateTimeKey"), QStringLiteral("ReadingDate"), QStringLiteral("ReadingTime"),
                     kFullDate, QStringLiteral("ChannelT")};
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << channelColumn(i);
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << zeroColumn(i);
    cols << QStringLiteral("NumTemp");
    for (const char* c : kLoadColumns)
        cols << QString::fromLatin1(c);
    cols << QStringLiteral("IsDirty") << QStringLiteral("PlotSpatial") << QStringLiteral("Plottemporal");
    QVector<int> used;
    QStringList usedNames;
    for (int i = 0; i < cols.size(); ++i)
        if (have.contains(cols[i].toLower())) {
            used.append(i);
            usedNames << cols[i];
        }
    QStringList marks;
    for (int i = 0; i < used.size(); ++i)
        marks << QStringLiteral("?");
    const QString sql = QStringLiteral("INSERT INTO ") + table() + QStringLiteral(" (")
                        + usedNames.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                        + marks.join(QStringLiteral(", ")) + QLatin1Char(')');

    Transaction tx(m_db);
    Statement st = m_db.prepare(sql);
    for (int index = 0; index < batch.size(); ++index) {
        const Reading& r = batch[index];
        const QString key = keyOf(r.moment);
        if (present.contains(key)) {
            out.refusedKeys << key;
            out.refusedIndex << index;
            continue;
        }
        QVariantList values{key, readingDateText(r.moment.date()), readingTimeText(r.moment.time()),
                            readingForms::fullDateText(r.moment), bindable(r.temperature)};
        for (const OptDouble& v : r.channels)
            values << bindable(v);
        for (const OptDouble& v : r.zeroed)
            values << bindable(v);
        values << bindable(r.numTemp);
        for (const OptDouble& v : r.loads)
            values << bindable(v);
        values << r.isDirty << r.plotSpatial << r.plotTemporal;
        st.reset();
        for (int i = 0; i < used.size(); ++i)
            st.bind(i + 1, values[used[i]]);
        while (st.step()) {
        }
        present.insert(key);
        ++out.inserted;
    }
    st.reset();
    tx.commit();
    return out;
}

} // namespace rv
