#include "readings/domain/ReadingStore.h"

#include "base/Formats.h"
#include "readings/domain/RangeDelete.h"
#include "readings/domain/SeriesStore.h"
#include "readings/domain/ReadingKey.h"
#include "readings/domain/Validation.h"

#include <QSet>
#include <QVarLengthArray>
#include <cmath>
#include <cstring>
#include <limits>

namespace rv {

namespace {

const QString& kFullDate = readingField::fullDate;
const QString kInDateOrder = QStringLiteral(" ORDER BY FullDate, rowid");
// The common stored True (1) is decided before the text forms are looked at: on 100,000
// readings the string functions cost more than the rest of the read.
QString markedOn(const Database& db)
{
    return QStringLiteral("Plottemporal IS NOT NULL AND (Plottemporal = 1 OR lower(trim(") + db.textOf(readingField::plotTemporal)
           + QStringLiteral(")) NOT IN ('0', '0.0', '', 'false', 'no'))");
}

QString channelColumn(int i) { return readingField::channel(i + 1); }
QString zeroColumn(int i) { return readingField::zero(i + 1); }
const char* const kLoadColumns[Reading::kLoads] = {"Load1", "Load2", "Load3", "Load5"};

// The columns the preparation pass writes: zero1 … zero10, NumTemp, then the loads.
QStringList computedColumns()
{
    QStringList cols;
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << zeroColumn(i);
    cols << QStringLiteral("NumTemp");
    for (const char* c : kLoadColumns)
        cols << QString::fromLatin1(c);
    return cols;
}

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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// FullDate in its written form "yyyy-MM-dd HH:mm:ss", read from the statement's bytes; an
// invalid moment for anything else (the general parser then decides).
QDateTime fastFullDate(const Statement& st, int col)
{
    double serial = 0;
    if (st.columnNumber(col, &serial) != Statement::Kind::Text)
        return {};
    const QByteArrayView t = st.columnUtf8(col);
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return {};
    const auto field = [&](int from, int len) {
        int v = 0;
        for (int i = from; i < from + len; ++i) {
            if (t[i] < '0' || t[i] > '9')
                return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    const int y = field(0, 4), mo = field(5, 2), d = field(8, 2), h = field(11, 2), mi = field(14, 2),
              s = field(17, 2);
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap) || h < 0 || h > 23 || mi < 0
        || mi > 59 || s < 0 || s > 59)
        return {};
    const qint64 secs = daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}

} // namespace

QStringList computedFieldColumns(const QVector<ComputedField>& fields)
{
    static const QStringList names = [] {
        QStringList n{readingField::numTemp};
        for (int i = 1; i <= 6; ++i)
            n << readingField::zero(i);
        for (int i = 0; i < Reading::kLoads; ++i)
            n << readingField::load(i);
        return n;
    }();
    QStringList columns;
    for (const ComputedField f : fields)
        columns << names[int(f)];
    return columns;
}

// --- stored forms ---

QString readingField::channel(int number) { return QStringLiteral("Channel") + QString::number(number); }
QString readingField::zero(int number) { return QStringLiteral("zero") + QString::number(number); }
QString readingField::load(int index) { return QString::fromLatin1(kLoadColumns[index]); }

bool readingField::isChannel(const QString& name)
{
    if (!name.startsWith(QLatin1String("Channel"), Qt::CaseInsensitive) || name.size() <= 7)
        return false;
    const QStringView rest = QStringView(name).mid(7);
    if (rest.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0)
        return true;
    for (QChar c : rest) {
        if (!c.isDigit())
            return false;
    }
    return true;
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
    // The written form, read without the general parsers: every chart reads it 100,000 times.
    if (t.size() == 19 && t[4] == QLatin1Char('-') && t[7] == QLatin1Char('-') && t[10] == QLatin1Char(' ')
        && t[13] == QLatin1Char(':') && t[16] == QLatin1Char(':')) {
        const auto field = [&](int from, int len) {
            int v = 0;
            for (int i = from; i < from + len; ++i) {
                const char16_t ch = t[i].unicode();
                if (ch < u'0' || ch > u'9')
                    return -1;
                v = v * 10 + (ch - u'0');
            }
            return v;
        };
        const QDate date(field(0, 4), field(5, 2), field(8, 2));
        const QTime time(field(11, 2), field(14, 2), field(17, 2));
        if (date.isValid() && time.isValid())
            return readingMoment(date, time);
    }
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

ReadingStore::ReadingStore(Database& db, const QString& instrumentId) : m_db(db), m_id(instrumentId)
{
    watchEdits();
}

QString ReadingStore::keyOf(const QDateTime& moment) const
{
    return readingKey(m_id, moment.date(), moment.time());
}

StoredMoment ReadingStore::formsOf(const QDateTime& moment) const
{
    const QString date = readingDateText(moment.date());
    const QString time = readingTimeText(moment.time());
    return {m_id + QLatin1Char(' ') + date + QLatin1Char(' ') + time, date, time, fullDateText(moment)};
}

QString ReadingStore::marked() const
{
    return markedOn(m_db);
}

bool ReadingStore::tableExists() const
{
    return m_db.tableExists(m_id);
}

int ReadingStore::count() const
{
    return m_db.query(QStringLiteral("SELECT count(*) FROM ") + table()).value(0).value(0).toInt();
}

int ReadingStore::markedCount() const
{
    return m_db.query(QStringLiteral("SELECT count(*) FROM ") + table() + QStringLiteral(" WHERE ") + marked())
        .value(0)
        .value(0)
        .toInt();
}

bool ReadingStore::keyExists(const QString& key) const
{
    return !m_db
                .query(QStringLiteral("SELECT 1 FROM ") + table() + QStringLiteral(" WHERE DateTimeKey = ? LIMIT 1"),
                       {key})
                .isEmpty();
}

qint64 ReadingStore::rowidOfKey(const QString& key) const
{
    // The key names a moment, whose FullDate the table's index finds at once; the keys are read
    // whole only where the FullDate is written otherwise, or no reading holds the key.
    if (key.startsWith(m_id + QLatin1Char(' '))) {
        const QString moment = key.mid(m_id.size() + 1);
        const QDate date = parseReadingDate(moment.section(QLatin1Char(' '), 0, 0));
        const QTime time = parseReadingTime(moment.section(QLatin1Char(' '), 1));
        if (date.isValid() && time.isValid()) {
            const auto rows = m_db.query(QStringLiteral("SELECT rowid FROM ") + table()
                                             + QStringLiteral(" WHERE FullDate = ? AND DateTimeKey = ? LIMIT 1"),
                                         {fullDateText(readingMoment(date, time)), key});
            if (!rows.isEmpty())
                return rows.first().value(0).toLongLong();
        }
    }
    const auto rows = m_db.query(
        QStringLiteral("SELECT rowid FROM ") + table() + QStringLiteral(" WHERE DateTimeKey = ? LIMIT 1"), {key});
    return rows.isEmpty() ? 0 : rows.first().value(0).toLongLong();
}

bool ReadingStore::keyTakenHeld(const QString& key, qint64 except) const
{
    m_db.holdTable(table());
    return !m_db
                .query(QStringLiteral("SELECT 1 FROM ") + table()
                           + QStringLiteral(" WHERE DateTimeKey = ? AND rowid <> ? LIMIT 1"),
                       {key, except})
                .isEmpty();
}

std::unique_ptr<RecordSet> ReadingStore::openAll(bool fromStart) const
{
    // A keyset: a sensor may hold millions of readings, and the tab shows one at a time.
    auto rs = std::make_unique<RecordSet>(m_db, QStringLiteral("SELECT * FROM ") + table() + QStringLiteral(" ORDER BY ")
                                                    + kFullDate,
                                          QVariantList(), RecordSet::Keyset{fromStart});
    if (!rs->bof() && !rs->eof())
        rs->moveFirst();
    return rs;
}

QString ReadingStore::keyAt(const RecordSet& rs)
{
    return rs.text(QStringLiteral("DateTimeKey"));
}

ShownReading ReadingStore::shown(const RecordSet& rs)
{
    ShownReading r;
    r.rowid = rs.bookmark();
    r.key = keyAt(rs);
    r.date = parseReadingDate(rs.text(QStringLiteral("ReadingDate")));
    if (!r.date.isValid())
        r.date = parseReadingDate(rs.text(kFullDate));
    r.time = parseReadingTime(rs.text(QStringLiteral("ReadingTime")));
    if (!r.time.isValid())
        r.time = parseReadingTime(rs.text(kFullDate).section(QLatin1Char(' '), 1));
    if (!r.date.isValid() || !r.time.isValid())
        throw typeMismatch();
    r.temperature = rs.text(QStringLiteral("ChannelT"));
    for (int i = 0; i < 6; ++i)
        r.channels << rs.text(channelColumn(i));
    const QVariant plot = rs.value(QStringLiteral("Plottemporal"));
    r.plotTemporal = plot.isNull() || yesNoText(plot.toString());
    return r;
}

void ReadingStore::setMoment(RecordSet& rs, const QDate& date, const QTime& time) const
{
    const StoredMoment forms = formsOf(readingMoment(date, time));
    rs.setValue(readingField::dateTimeKey, forms.key);
    rs.setValue(kFullDate, forms.fullDate);
    rs.setValue(readingField::readingDate, forms.date);
    rs.setValue(readingField::readingTime, forms.time);
}

void ReadingStore::setTyped(RecordSet& rs, const QString& temperature, const QStringList& channels, bool plotTemporal)
{
    rs.setValue(QStringLiteral("ChannelT"), temperatureValueText(temperature));
    for (int i = 0; i < channels.size(); ++i)
        rs.setValue(channelColumn(i), channelValueText(channels[i]));
    rs.setValue(QStringLiteral("Plottemporal"), plotTemporal);
}

void ReadingStore::setAddedFlags(RecordSet& rs)
{
    rs.setValue(QStringLiteral("Plottemporal"), true);
    rs.setValue(QStringLiteral("PlotSpatial"), false);
    rs.setValue(QStringLiteral("IsDirty"), true);
}

QString ReadingStore::selectText(const QString& where, const QString& order) const
{
    // A value column the table lacks (a file from an older program) reads as Null.
    const QStringList present = columnNames();
    QStringList cols;
    for (const QString& c : valueColumns())
        cols << (present.contains(c, Qt::CaseInsensitive) ? c : QStringLiteral("NULL"));
    QString sql = QStringLiteral("SELECT rowid, ") + cols.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table();
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return sql + QStringLiteral(" ORDER BY ") + order;
}

QVector<Reading> ReadingStore::select(const QString& where, const QString& order) const
{
    return readingsOf(selectText(where, order));
}

QVector<Reading> ReadingStore::readingsOf(const QString& sql, int first) const
{
    QVector<Reading> out;
    Statement st = m_db.prepare(sql);
    while (st.step()) {
        Reading r;
        int c = first;
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
    return select(markedOnly ? marked() : QString(), QStringLiteral("FullDate, rowid"));
}

QStringList ReadingStore::columnNames() const
{
    QStringList names;
    for (const Database::Column& c : m_db.columns(m_id))
        names << c.name;
    return names;
}

ReadingColumns ReadingStore::markedColumns(const QStringList& fields) const
{
    return markedColumnsWhere(fields, {});
}

ReadingColumns ReadingStore::markedColumnsWhere(const QStringList& fields, const QString& extra, bool ordered,
                                                const QVariantList& params) const
{
    // Read column-wise straight from the statement: a chart of 100,000 readings cannot afford
    // a Reading value per row, nor the dates and times read apart from FullDate.
    ReadingColumns c;
    QStringList cols;
    QVector<QVector<double>*> targets;
    const auto want = [&](const QString& column, QVector<double>& target) {
        if (fields.isEmpty() || fields.contains(column, Qt::CaseInsensitive)) {
            cols << column;
            targets << &target;
        }
    };
    want(QStringLiteral("ChannelT"), c.temperatures);
    for (int i = 0; i < Reading::kChannels; ++i)
        want(channelColumn(i), c.channels[i]);
    for (int i = 0; i < Reading::kChannels; ++i)
        want(zeroColumn(i), c.zeroed[i]);
    want(QStringLiteral("NumTemp"), c.numTemps);
    for (int i = 0; i < Reading::kLoads; ++i)
        want(QString::fromLatin1(kLoadColumns[i]), c.loads[i]);
    const int n = int(targets.size());
    streamMarked(cols, extra, ordered ? kInDateOrder : QString(), [&](qint64 rowid, const QDateTime& moment, const double* values) {
        c.rowids.append(rowid);
        c.moments.append(moment);
        for (int i = 0; i < n; ++i)
            targets[i]->append(values[i]);
    }, true, params);
    return c;
}

void ReadingStore::streamMarked(const QStringList& columns, const QString& extra, const QString& order,
                                const MarkedVisit& visit, bool moments, const QVariantList& params, bool* written) const
{
    // A table from an older program may lack a value column: it reads as Null, as an empty one.
    const QStringList present = columnNames();
    QStringList cols{moments ? kFullDate : QStringLiteral("NULL")};
    for (const QString& column : columns)
        cols << (present.contains(column, Qt::CaseInsensitive) ? column : QStringLiteral("NULL"));
    const QString sql = QStringLiteral("SELECT rowid, ") + cols.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                        + table() + QStringLiteral(" WHERE (") + marked() + QLatin1Char(')') + extra + order;
    Statement st = m_db.prepare(sql);
    st.bindAll(params);
    const auto num = [&](int col) {
        double v = 0;
        switch (st.columnNumber(col, &v)) {
        case Statement::Kind::Number: return v;
        case Statement::Kind::Null: return std::numeric_limits<double>::quiet_NaN();
        case Statement::Kind::Text: break;
        }
        return nanIfNull(readingForms::number(st.column(col)));
    };
    const int n = int(columns.size());
    QVarLengthArray<double, 32> values(n);
    while (st.step()) {
        double id = 0;
        st.columnNumber(0, &id);
        const qint64 rowid = qint64(id);
        QDateTime moment = moments ? fastFullDate(st, 1) : QDateTime();
        if (written)
            *written = moment.isValid();
        if (moments && !moment.isValid())
            moment = readingForms::parseFullDate(st.column(1));
        if (moments && !moment.isValid()) {
            const QVector<QVariantList> texts =
                m_db.query(QStringLiteral("SELECT ReadingDate, ReadingTime FROM ") + table()
                               + QStringLiteral(" WHERE rowid = ?"),
                           {rowid});
            if (!texts.isEmpty())
                moment = readingForms::momentOf(QVariant(), texts[0].value(0), texts[0].value(1));
        }
        for (int i = 0; i < n; ++i)
            values[i] = num(2 + i);
        visit(rowid, moment, values.data());
    }
    st.reset();
}

void ReadingStore::forEachMarked(const QVector<ComputedField>& fields, const MarkedVisit& visit) const
{
    streamMarked(computedFieldColumns(fields), {}, kInDateOrder, visit);
}

void ReadingStore::forEachMarkedWritten(const WrittenVisit& visit, const QString& from, const QString& to) const
{
    QVector<ComputedField> fields;
    for (int f = 0; f <= int(ComputedField::Load5); ++f)
        fields << ComputedField(f);
    QString range;
    QVariantList params;
    if (!from.isEmpty()) {
        range += QStringLiteral(" AND FullDate >= ?");
        params << from;
    }
    if (!to.isEmpty()) {
        range += QStringLiteral(" AND FullDate < ?");
        params << to;
    }
    bool written = false;
    streamMarked(
        computedFieldColumns(fields), range, kInDateOrder,
        [&](qint64 rowid, const QDateTime& moment, const double* values) { visit(rowid, moment, written, values); },
        true, params, &written);
}

MarkedSpan ReadingStore::markedSpan() const
{
    MarkedSpan span;
    streamMarked({}, {}, kInDateOrder + QStringLiteral(" LIMIT 1"), [&](qint64 rowid, const QDateTime& moment, const double*) {
        span.firstRowid = rowid;
        span.first = moment;
    });
    streamMarked({}, {}, QStringLiteral(" ORDER BY FullDate DESC, rowid DESC LIMIT 1"),
                 [&](qint64 rowid, const QDateTime& moment, const double*) {
                     span.lastRowid = rowid;
                     span.last = moment;
                 });
    return span;
}

ReadingColumns ReadingStore::markedColumnsOf(const QVector<qint64>& rowids, const QStringList& columns) const
{
    if (rowids.isEmpty())
        return {};
    QStringList ids;
    ids.reserve(rowids.size());
    for (const qint64 id : rowids)
        ids << QString::number(id);
    // A chart's thousands: one parameter where the engine would parse them slowly.
    if (const QString bound = m_db.oneOfBoundList(QStringLiteral("rowid")); !bound.isEmpty())
        return markedColumnsWhere(columns, QStringLiteral(" AND ") + bound, true,
                                  {QLatin1Char('{') + ids.join(QLatin1Char(',')) + QLatin1Char('}')});
    return markedColumnsWhere(columns, QStringLiteral(" AND rowid IN (") + ids.join(QLatin1Char(',')) + QLatin1Char(')'));
}

ReadingColumns ReadingStore::markedColumns(const QVector<ComputedField>& fields) const
{
    return markedColumns(computedFieldColumns(fields));
}

std::pair<std::optional<Reading>, std::optional<Reading>> ReadingStore::markedEnds() const
{
    // Ordered by a leading column: the order of a compound's parts is not promised. Either both
    // come, or neither.
    const QVector<Reading> r = readingsOf(
        QStringLiteral("SELECT 0 AS rv_end, * FROM (") + selectText(marked(), QStringLiteral("FullDate, rowid LIMIT 1"))
            + QStringLiteral(") AS f UNION ALL SELECT 1, * FROM (")
            + selectText(marked(), QStringLiteral("FullDate DESC, rowid DESC LIMIT 1")) + QStringLiteral(") AS l ORDER BY 1"),
        1);
    if (r.size() != 2)
        return {};
    return {r.first(), r.last()};
}

std::optional<Reading> ReadingStore::last() const
{
    const QVector<Reading> r = select(QString(), QStringLiteral("FullDate DESC, rowid DESC LIMIT 1"));
    return r.isEmpty() ? std::nullopt : std::optional<Reading>(r.first());
}

namespace {

// Which reading of a table a summary row is.
enum SummaryRow { FirstRow, LatestRow, FirstMarkedRow, LastMarkedRow };

// Tables per statement: two rows of a compound each, within SQLite's 500 terms.
constexpr int kSummaryTables = 100;

// One term of a summary's compound: the table's position, the kind of row, the count (on the
// latest row only), then the reading. rowid = (…) seeks the one row the date index finds.
QString summaryTerm(const Database& db, int index, const QString& table, SummaryRow kind)
{
    static const QString columns = [] {
        QStringList c{QStringLiteral("rowid"), kFullDate, readingField::readingDate, readingField::readingTime,
                      readingField::plotTemporal};
        for (int i = 0; i < 6; ++i)
            c << channelColumn(i);
        return c.join(QStringLiteral(", "));
    }();
    const bool marked = kind == FirstMarkedRow || kind == LastMarkedRow;
    const bool first = kind == FirstRow || kind == FirstMarkedRow;
    return QStringLiteral("SELECT ") + QString::number(index) + QStringLiteral(", ") + QString::number(int(kind))
           + (kind == LatestRow ? QStringLiteral(", (SELECT count(*) FROM ") + table + QStringLiteral("), ")
                                : QStringLiteral(", NULL, "))
           + columns + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE rowid = (SELECT rowid FROM ") + table
           + (marked ? QStringLiteral(" WHERE ") + markedOn(db) : QString())
           + (first ? QStringLiteral(" ORDER BY FullDate, rowid LIMIT 1)")
                    : QStringLiteral(" ORDER BY FullDate DESC, rowid DESC LIMIT 1)"));
}

OptDouble storedNumber(const Statement& st, int col)
{
    double v = 0;
    switch (st.columnNumber(col, &v)) {
    case Statement::Kind::Number: return v;
    case Statement::Kind::Null: return std::nullopt;
    case Statement::Kind::Text: break;
    }
    return readingForms::number(st.column(col));
}

// A summary row's reading, from its fourth column on.
Reading summaryReading(const Statement& st)
{
    Reading r;
    r.rowid = st.column(3).toLongLong();
    r.moment = fastFullDate(st, 4);
    if (!r.moment.isValid())
        r.moment = readingForms::momentOf(st.column(4), st.column(5), st.column(6));
    r.plotTemporal = flag(st.column(7));
    for (int i = 0; i < 6; ++i)
        r.channels[i] = storedNumber(st, 8 + i);
    return r;
}

} // namespace

QVector<ReadingSummary> ReadingStore::summaries(Database& db, const QStringList& instrumentIds)
{
    QVector<ReadingSummary> out(instrumentIds.size());
    // Table names match without regard to case, as SQLite does; one read of the schema
    // instead of one per sensor.
    QSet<QString> tables;
    for (const QString& name : db.tableNames())
        tables.insert(name.toLower());
    const auto run = [&](const QVector<QPair<int, SummaryRow>>& wanted) {
        for (int from = 0; from < wanted.size(); from += 2 * kSummaryTables) {
            QStringList terms;
            for (int i = from; i < std::min<int>(wanted.size(), from + 2 * kSummaryTables); ++i)
                terms << summaryTerm(db, wanted[i].first, Database::quoteId(instrumentIds[wanted[i].first]), wanted[i].second);
            Statement st = db.prepareTransient(terms.join(QStringLiteral(" UNION ALL ")));
            while (st.step()) {
                ReadingSummary& s = out[st.column(0).toInt()];
                const Reading r = summaryReading(st);
                switch (SummaryRow(st.column(1).toInt())) {
                case FirstRow:
                    if (r.plotTemporal)
                        s.firstMarked = r;
                    break;
                case LatestRow:
                    s.count = st.column(2).toInt();
                    s.latest = r;
                    if (r.plotTemporal)
                        s.lastMarked = r;
                    break;
                case FirstMarkedRow: s.firstMarked = r; break;
                case LastMarkedRow: s.lastMarked = r; break;
                }
            }
        }
    };
    // The first and the latest reading of every table; in the common case both are marked, and
    // so the first and the last marked ones too.
    QVector<QPair<int, SummaryRow>> wanted;
    for (int i = 0; i < instrumentIds.size(); ++i) {
        if (tables.contains(instrumentIds[i].toLower()))
            wanted << qMakePair(i, FirstRow) << qMakePair(i, LatestRow);
    }
    run(wanted);
    // Else a second look for the marked ones of those tables alone.
    wanted.clear();
    for (int i = 0; i < out.size(); ++i) {
        if (!out[i].latest)
            continue;
        if (!out[i].firstMarked)
            wanted << qMakePair(i, FirstMarkedRow);
        if (!out[i].lastMarked)
            wanted << qMakePair(i, LastMarkedRow);
    }
    run(wanted);
    return out;
}

int ReadingStore::writeComputed(const QVector<ComputedValues>& rows)
{
    if (rows.isEmpty())
        return 0;
    // The WHERE clause leaves a reading alone when every value is stored already (IS compares
    // Nulls as equal), so that an unchanged pass writes no page.
    const auto statement = [&](bool withLoads) {
        QStringList cols = computedColumns();
        if (!withLoads)
            cols = cols.mid(0, Reading::kChannels + 1);
        QStringList sets, same;
        for (int i = 0; i < cols.size(); ++i) {
            const QString p = QStringLiteral("?") + QString::number(i + 1);
            sets << cols[i] + QStringLiteral(" = ") + p;
            same << cols[i] + QStringLiteral(" IS NOT DISTINCT FROM ") + p;
        }
        return QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
               + QStringLiteral(" WHERE rowid = ?") + QString::number(cols.size() + 1) + QStringLiteral(" AND NOT (")
               + same.join(QStringLiteral(" AND ")) + QLatin1Char(')');
    };
    int written = 0;
    Transaction tx(m_db);
    // The computed columns a table lacks are added, empty, with the values that fill them.
    const QStringList present = columnNames();
    for (const QString& col : computedColumns())
        if (!present.contains(col, Qt::CaseInsensitive))
            m_db.exec(QStringLiteral("ALTER TABLE ") + table() + QStringLiteral(" ADD COLUMN ") + col
                      + QLatin1Char(' ') + m_db.columnType(QStringLiteral("REAL")));
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
    // Values written past the pass: the kept series no longer follows from them.
    if (written > 0)
        SeriesStore::computed(m_db, m_id, QString());
    tx.commit();
    return written;
}

// --- the chart pass's memory ---

namespace {

// What the last pass of each reading table used; a table of the program's own beside the
// supplied ones, so that older files and their readers are not affected.
const QString kPasses = QStringLiteral("ChartPasses");
// The commit count of other connections last seen, per reading table ("" at the first look):
// a connection's own, so it is forgotten with it.
const QString kSeen = QStringLiteral("temp.ChartPassSeen");
// How many readings a pass computes before the engine is to learn the table's values anew, or a
// deletion takes before their old versions are cleared.
constexpr qint64 kLearnAfter = 1000;

// After a write of that many rows: learnValues (learn) or clearOldRows.
void tidyAfter(Database& db, const QString& table, qint64 rows, bool learn)
{
    if (rows < kLearnAfter)
        return;
    try {
        if (learn)
            db.learnValues(table);
        else
            db.clearOldRows(table);
    } catch (const RvError&) {
        // Done later by the server itself.
    }
}

// A reading is clean only when a pass said so: Null (a row another program added) is dirty.
const QString kDirty = QStringLiteral("IsDirty IS DISTINCT FROM 0");

// A reading table with a pass's memory needs its edits flagged from the connection's first
// write on, whoever makes it.
const bool kWatching = Database::addConnectionSetUp([](Database& db) {
    try {
        // A table's own triggers need no set-up.
        if (!db.watchesByOwnTriggers() || !db.tableExists(kPasses))
            return;
        for (const QVariantList& row : db.query(QStringLiteral("SELECT InstrumentID FROM ") + kPasses))
            if (db.tableExists(row.value(0).toString()))
                ReadingStore(db, row.value(0).toString());
    } catch (const RvError&) {
        // Without its triggers a connection still works; its passes are then whole (see basisHolds).
    }
});

QString channelsText(const std::array<double, Reading::kChannels>& channels)
{
    QStringList parts;
    for (double v : channels)
        parts << (std::isnan(v) ? QString() : QString::number(v, 'g', 17));
    return parts.join(QLatin1Char(';'));
}

} // namespace

void ReadingStore::watchEdits() const
{
    // Without triggers of its own a connection does not learn of edits: every pass is whole.
    if (!m_db.watchesByOwnTriggers() || m_db.inTransaction() || !m_db.once(QStringLiteral("watch ") + m_id))
        return;
    try {
        m_db.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ") + kSeen
                  + QStringLiteral(" (InstrumentID TEXT PRIMARY KEY, DataVersion INTEGER)"));
        m_db.exec(QStringLiteral("INSERT OR IGNORE INTO ") + kSeen
                  + QStringLiteral(" SELECT '', data_version FROM pragma_data_version"));
        const QStringList present = columnNames();
        if (!present.contains(readingField::isDirty, Qt::CaseInsensitive))
            return;
        QStringList watched{readingField::channelT, readingField::plotTemporal};
        for (int i = 0; i < Reading::kChannels; ++i)
            watched << channelColumn(i);
        QStringList of, differs;
        for (const QString& c : watched)
            if (present.contains(c, Qt::CaseInsensitive)) {
                of << c;
                differs << QStringLiteral("NEW.") + c + QStringLiteral(" IS NOT OLD.") + c;
            }
        // Only on updates of the watched columns: an update of computed values alone (the pass
        // writes every reading) then runs no trigger and needs no statement journal.
        m_db.exec(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS ") + Database::quoteId(QStringLiteral("rv_dirty_") + m_id)
                  + QStringLiteral(" AFTER UPDATE OF ") + of.join(QStringLiteral(", ")) + QStringLiteral(" ON main.")
                  + table() + QStringLiteral(" WHEN NEW.IsDirty IS 0 AND (")
                  + differs.join(QStringLiteral(" OR ")) + QStringLiteral(") BEGIN UPDATE ") + table()
                  + QStringLiteral(" SET IsDirty = 1 WHERE rowid = NEW.rowid; END"));
    } catch (const RvError&) {
        // A read-only connection or a table not there yet: nothing this connection writes
        // needs flagging; the pass then works without its memory.
        m_db.forget(QStringLiteral("watch ") + m_id);
    }
}

std::optional<PassBasis> ReadingStore::currentBasis(double k) const
{
    const QStringList present = columnNames();
    QStringList cols{QStringLiteral("rowid"), readingField::dateTimeKey};
    for (int i = 0; i < Reading::kChannels; ++i)
        cols << (present.contains(channelColumn(i), Qt::CaseInsensitive) ? channelColumn(i) : QStringLiteral("NULL"));
    Statement st = m_db.prepare(QStringLiteral("SELECT ") + cols.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                + table() + QStringLiteral(" WHERE ") + marked()
                                + QStringLiteral(" ORDER BY FullDate, rowid LIMIT 1"));
    if (!st.step())
        return std::nullopt;
    PassBasis b;
    b.k = k;
    b.zeroRowid = st.column(0).toLongLong();
    b.zeroKey = st.column(1).toString();
    for (int i = 0; i < Reading::kChannels; ++i)
        b.zeroChannels[size_t(i)] = nanIfNull(readingForms::number(st.column(2 + i)));
    st.reset();
    return b;
}

bool ReadingStore::basisHolds(const PassBasis& basis, bool tableWatched) const
{
    const bool own = m_db.watchesByOwnTriggers();
    if (!(own || tableWatched) || !m_db.tableExists(kPasses)
        || !columnNames().contains(readingField::isDirty, Qt::CaseInsensitive))
        return false;
    const auto stored = m_db.query(QStringLiteral("SELECT ZeroRowid, ZeroKey, ZeroChannels, KFactor FROM ") + kPasses
                                       + QStringLiteral(" WHERE InstrumentID = ?"),
                                   {m_id});
    // Edits on this connection are only known while its trigger is there.
    if (stored.isEmpty()
        || (own
            && m_db.query(QStringLiteral("SELECT 1 FROM sqlite_temp_master WHERE type = 'trigger' AND name = ?"),
                          {QStringLiteral("rv_dirty_") + m_id})
                   .isEmpty()))
        return false;
    const QVariantList& r = stored.first();
    if (r.value(0).toLongLong() != basis.zeroRowid || r.value(1).toString() != basis.zeroKey
        || r.value(2).toString() != channelsText(basis.zeroChannels) || r.value(3).isNull()
        || r.value(3).toDouble() != basis.k)
        return false;
    // The table's own triggers flag every program's edits.
    if (!own)
        return true;
    // Another program's commit since this connection last looked may have edited any reading.
    const auto seen = m_db.query(QStringLiteral("SELECT (SELECT data_version FROM pragma_data_version) IS "
                                                "coalesce((SELECT DataVersion FROM ")
                                     + kSeen + QStringLiteral(" WHERE InstrumentID = ?), (SELECT DataVersion FROM ")
                                     + kSeen + QStringLiteral(" WHERE InstrumentID = ''))"),
                                 {m_id});
    return !seen.isEmpty() && seen.first().value(0).toInt() == 1;
}

PassRun ReadingStore::refreshComputed(double k, const PassCompute& compute)
{
    PassRun run;
    watchEdits();
    const bool tableWatched = watchTable(m_db, m_id);
    Transaction tx(m_db);
    // Another program's readings added or edited while the pass reads must not be marked clean
    // uncomputed: they wait for its end.
    m_db.lockTable(table());
    const std::optional<PassBasis> basis = currentBasis(k);
    if (!basis)
        return run;
    run.whole = !basisHolds(*basis, tableWatched);
    const QStringList present = columnNames();
    const bool flagged = present.contains(readingField::isDirty, Qt::CaseInsensitive);
    // The computed columns a table lacks are added, empty, with the values that fill them.
    const QStringList computed = computedColumns();
    for (const QString& col : computed)
        if (!present.contains(col, Qt::CaseInsensitive))
            m_db.exec(QStringLiteral("ALTER TABLE ") + table() + QStringLiteral(" ADD COLUMN ") + col
                      + QLatin1Char(' ') + m_db.columnType(QStringLiteral("REAL")));
    QStringList read{QStringLiteral("ChannelT")};
    for (int i = 0; i < Reading::kChannels; ++i)
        read << channelColumn(i);
    read += computed;
    const auto update = [&](int columns) {
        QStringList sets;
        for (int i = 0; i < columns; ++i)
            sets << computed[i] + QStringLiteral(" = ?");
        return m_db.prepare(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ")
                            + sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid = ?"));
    };
    Statement withLoads = update(int(computed.size()));
    Statement withoutLoads = update(Reading::kChannels + 1);
    // Each reading is written as soon as it is computed, none held: in table order, as the
    // offsets come with the basis and the FullDate index would cost a lookup a reading. Only
    // computed columns change, none that the scan goes by.
    PassRow row;
    streamMarked(read, run.whole || !flagged ? QString() : QStringLiteral(" AND ") + kDirty, QString(),
                 [&](qint64 rowid, const QDateTime&, const double* v) {
                     ++run.computed;
                     row.rowid = rowid;
                     int c = 0;
                     row.temperature = v[c++];
                     for (double& x : row.channels)
                         x = v[c++];
                     for (double& x : row.zeroed)
                         x = v[c++];
                     row.numTemp = v[c++];
                     for (double& x : row.loads)
                         x = v[c++];
                     row.writeLoads = true;
                     if (!compute(row, *basis))
                         return;
                     Statement& st = row.writeLoads ? withLoads : withoutLoads;
                     int p = 1;
                     for (const double x : row.zeroed)
                         st.bindNumber(p++, x);
                     st.bindNumber(p++, row.numTemp);
                     if (row.writeLoads)
                         for (const double x : row.loads)
                             st.bindNumber(p++, x);
                     st.bindInteger(p, rowid);
                     while (st.step()) {
                     }
                     st.reset();
                     ++run.written;
                 },
                 false);
    if (flagged) {
        if (run.whole || run.computed > 0)
            SeriesStore::computed(m_db, m_id, run.whole ? QString() : QStringLiteral("(") + marked() + QStringLiteral(") AND ") + kDirty);
        m_db.exec(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET IsDirty = 0 WHERE (") + marked()
                  + QStringLiteral(") AND ") + kDirty);
        // A pass that was not whole found the basis and the index as stored: it writes nothing
        // more (on a server, a commit that wrote nothing leaves others' remembered counts alone).
        if (run.whole) {
            // The marked readings still to compute, indexed by themselves: made once the table is
            // clean, it stays as small as the work left, so that the next pass finds none without
            // reading every flag. Whoever writes the table keeps it, this program or another.
            m_db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + Database::quoteId(m_id + QStringLiteral("_Pending"))
                      + QStringLiteral(" ON ") + table() + QStringLiteral(" (IsDirty) WHERE (") + marked()
                      + QStringLiteral(") AND ") + kDirty);
            m_db.makeTable(kPasses, QStringLiteral("InstrumentID ") + m_db.columnType(QStringLiteral("TEXT"))
                                        + QStringLiteral(" PRIMARY KEY, ZeroRowid ") + m_db.columnType(QStringLiteral("INTEGER"))
                                        + QStringLiteral(", ZeroKey ") + m_db.columnType(QStringLiteral("TEXT"))
                                        + QStringLiteral(", ZeroChannels ") + m_db.columnType(QStringLiteral("TEXT"))
                                        + QStringLiteral(", KFactor ") + m_db.columnType(QStringLiteral("REAL")));
            m_db.exec(QStringLiteral("INSERT INTO ") + kPasses
                          + QStringLiteral(" (InstrumentID, ZeroRowid, ZeroKey, ZeroChannels, KFactor) VALUES (?, ?, ?, ?, ?) "
                                           "ON CONFLICT (InstrumentID) DO UPDATE SET ZeroRowid = excluded.ZeroRowid, "
                                           "ZeroKey = excluded.ZeroKey, ZeroChannels = excluded.ZeroChannels, "
                                           "KFactor = excluded.KFactor"),
                      {m_id, basis->zeroRowid, basis->zeroKey, channelsText(basis->zeroChannels), k});
        }
        if (m_db.watchesByOwnTriggers())
            m_db.exec(QStringLiteral("INSERT OR REPLACE INTO ") + kSeen
                          + QStringLiteral(" SELECT ?, data_version FROM pragma_data_version"),
                      {m_id});
    }
    tx.commit();
    // The flags of those computed changed: the planner is to know that few are left.
    if (flagged)
        tidyAfter(m_db, table(), run.computed, true);
    return run;
}

InsertOutcome ReadingStore::insert(const QVector<Reading>& batch)
{
    InsertOutcome out;
    if (batch.isEmpty())
        return out;
    Insertion insertion(*this);
    for (int index = 0; index < batch.size(); ++index) {
        if (insertion.add(batch[index])) {
            ++out.inserted;
        } else {
            out.refusedKeys << keyOf(batch[index].moment);
            out.refusedIndex << index;
        }
    }
    insertion.commit();
    return out;
}

namespace {

// The columns an insertion writes, in the order Insertion::add() numbers them.
QStringList insertedColumns()
{
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
    return cols;
}

// A moment's day and time with its year, month and day told once: each costs a conversion of
// the day number.
struct MomentParts {
    QDate day;
    QTime clock;
    int y = 0, m = 0, d = 0;

    MomentParts(const QDate& date, const QTime& time) : day(date), clock(time) { day.getDate(&y, &m, &d); }
    bool inRange() const { return day.isValid() && y >= 1 && y <= 9999 && clock.isValid(); }
};

// The texts of a moment's stored forms, written as bytes: an import writes a million of them.
struct MomentTexts {
    char bytes[64];
    QByteArrayView key, date, time, fullDate;

    // Only for a moment of a year 1 to 9999 and an id of at most 32 bytes, else false.
    bool form(QByteArrayView prefix, const MomentParts& at)
    {
        if (prefix.size() > 32 || !at.inRange())
            return false;
        const int y = at.y, m = at.m, d = at.d;
        const QTime& clock = at.clock;
        char* p = bytes;
        std::memcpy(p, prefix.data(), size_t(prefix.size()));
        p += prefix.size();
        char* const dateAt = p;
        const auto two = [&p](int v) {
            *p++ = char('0' + v / 10);
            *p++ = char('0' + v % 10);
        };
        two(y / 100);
        two(y % 100);
        *p++ = '/';
        two(m);
        *p++ = '/';
        two(d);
        *p++ = ' ';
        char* const timeAt = p;
        two(clock.hour());
        *p++ = ':';
        two(clock.minute());
        *p++ = ':';
        two(clock.second());
        key = QByteArrayView(bytes, p - bytes);
        date = QByteArrayView(dateAt, 10);
        time = QByteArrayView(timeAt, 8);
        char* const fullAt = p;
        std::memcpy(p, dateAt, 19);
        p[4] = p[7] = '-';
        fullDate = QByteArrayView(fullAt, 19);
        return true;
    }
};

// A key of a valid moment as a number, the seconds from the start of the Julian calendar: a
// set of them holds a million keys in 8 MB.
std::optional<qint64> keyNumber(const MomentParts& at)
{
    if (!at.inRange())
        return std::nullopt;
    return at.day.toJulianDay() * 86400 + at.clock.hour() * 3600 + at.clock.minute() * 60 + at.clock.second();
}

// A stored key in the form keyOf() writes ("<id> yyyy/MM/dd HH:mm:ss") as that number.
std::optional<qint64> keyNumber(QByteArrayView stored, QByteArrayView prefix)
{
    if (stored.size() != prefix.size() + 19 || !stored.startsWith(prefix))
        return std::nullopt;
    const char* p = stored.data() + prefix.size();
    const auto digits = [p](int at, int count) {
        int value = 0;
        for (int i = at; i < at + count; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return -1;
            value = value * 10 + (p[i] - '0');
        }
        return value;
    };
    if (p[4] != '/' || p[7] != '/' || p[10] != ' ' || p[13] != ':' || p[16] != ':')
        return std::nullopt;
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2), hour = digits(11, 2),
              minute = digits(14, 2), second = digits(17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    return keyNumber(MomentParts(QDate(year, month, day), QTime(hour, minute, second)));
}

} // namespace

// The keys taken: the table's and those inserted, mostly as numbers. Readings come mostly in
// time order, so those inserted stay a sorted list with few exceptions beside it.
struct ReadingStore::Insertion::Keys {
    QVector<qint64> stored; // sorted
    QVector<qint64> added;  // ascending
    QSet<qint64> addedOutOfOrder;
    QSet<QString> texts; // keys in no form keyOf() writes for a valid moment

    bool take(qint64 key)
    {
        if (std::binary_search(stored.cbegin(), stored.cend(), key))
            return false;
        if (added.isEmpty() || key > added.constLast()) {
            added.push_back(key);
            return true;
        }
        if (std::binary_search(added.cbegin(), added.cend(), key) || addedOutOfOrder.contains(key))
            return false;
        addedOutOfOrder.insert(key);
        return true;
    }
};

// A statement writes this many readings on SQLite: its own work for a statement (its start, its
// cursors, its end) then goes over all of them, a third of an import's time when it was one.
constexpr int kPerStatement = 16;

ReadingStore::Insertion::Insertion(const ReadingStore& store, bool write)
    : m_store(store), m_keys(std::make_unique<Keys>())
{
    const QByteArray prefix = (store.m_id + QLatin1Char(' ')).toUtf8();
    if (write) {
        // Another program importing into the same table waits here until this one has committed,
        // and then finds these keys taken: each reading is stored once.
        m_tx.emplace(store.m_db);
        store.m_db.holdTable(store.table());
    }
    Statement keys = store.m_db.prepare(QStringLiteral("SELECT DateTimeKey FROM ") + store.table());
    while (keys.step()) {
        double ignored = 0;
        if (keys.columnNumber(0, &ignored) == Statement::Kind::Null)
            continue;
        const QByteArrayView key = keys.columnUtf8(0);
        if (const std::optional<qint64> n = keyNumber(key, prefix))
            m_keys->stored.push_back(*n);
        else
            m_keys->texts.insert(QString::fromUtf8(key));
    }
    keys.reset();
    std::sort(m_keys->stored.begin(), m_keys->stored.end());
    if (!write)
        return;
    m_prefix = prefix;

    // Only the columns the table has: a value for a column it lacks is dropped.
    QSet<QString> have;
    for (const Database::Column& c : store.m_db.columns(store.m_id))
        have.insert(c.name.toLower());
    const QStringList cols = insertedColumns();
    QStringList names;
    for (int i = 0; i < cols.size(); ++i)
        if (have.contains(cols[i].toLower())) {
            m_columns.append(i);
            names << cols[i];
        }
    m_bulk = std::make_unique<BulkInsert>(store.m_db, store.table(), names, kPerStatement);
}

ReadingStore::Insertion::~Insertion() = default;

bool ReadingStore::Insertion::add(const Reading& reading)
{
    const MomentParts at(reading.moment.date(), reading.moment.time());
    if (const std::optional<qint64> n = keyNumber(at)) {
        if (!m_keys->take(*n))
            return false;
    } else {
        const QString key = m_store.keyOf(reading.moment);
        if (m_keys->texts.contains(key))
            return false;
        m_keys->texts.insert(key);
    }
    if (!m_bulk)
        return true;
    ++m_added;
    MomentTexts texts;
    std::optional<StoredMoment> forms; // the moments the fast forms do not cover
    if (!texts.form(m_prefix, at))
        forms = m_store.formsOf(reading.moment);
    // The values in the order insertedColumns() names them, after the four texts.
    constexpr int kTexts = 4, kValues = 1 + 2 * Reading::kChannels + 1 + Reading::kLoads;
    const OptDouble* value[kValues];
    const OptDouble** next = value;
    *next++ = &reading.temperature;
    for (const OptDouble& v : reading.channels)
        *next++ = &v;
    for (const OptDouble& v : reading.zeroed)
        *next++ = &v;
    *next++ = &reading.numTemp;
    for (const OptDouble& v : reading.loads)
        *next++ = &v;
    const bool flag[] = {reading.isDirty, reading.plotSpatial, reading.plotTemporal};
    const QByteArrayView text[] = {texts.key, texts.date, texts.time, texts.fullDate};
    for (const int column : std::as_const(m_columns)) {
        if (column >= kTexts + kValues) {
            m_bulk->integer(flag[column - kTexts - kValues]);
        } else if (column >= kTexts) {
            if (const OptDouble& v = *value[column - kTexts])
                m_bulk->number(*v);
            else
                m_bulk->null();
        } else if (forms) {
            const QString* formed[] = {&forms->key, &forms->date, &forms->time, &forms->fullDate};
            m_bulk->text(*formed[column]);
        } else {
            m_bulk->utf8(text[column]);
        }
    }
    m_bulk->endRow();
    return true;
}

void ReadingStore::Insertion::commit()
{
    if (!m_tx)
        return;
    m_bulk->finish();
    SeriesStore::added(m_store.m_db, m_store.m_id, m_added);
    m_tx->commit();
}

Statement ReadingStore::prepareUpdate(const QStringList& columns) const
{
    QStringList sets;
    for (const QString& c : columns)
        sets.append(Database::quoteId(c) + QStringLiteral(" = ?"));
    return m_db.prepare(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
                        + QStringLiteral(" WHERE rowid = ?"));
}

namespace {

// Runs a statement over the readings dated on or between start and end ("WHERE" + the test of
// the reading date), so that any unreadable date stops the statement before a row has been
// touched.
QDate dayOrThrow(const QVariant& stored)
{
    if (stored.isNull())
        throw RvError(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    const std::optional<QDate> day = readingDay(stored.toString());
    if (!day)
        throw typeMismatch();
    return *day;
}

template <class Run>
auto overRange(Database& db, const QString& table, const QString& statement, QDate start, QDate end, Run run)
{
    if (!db.runsOwnFunctions()) {
        // The dates are read here, then the readings in the range named by their rowids.
        QStringList ids;
        Statement st = db.prepare(QStringLiteral("SELECT rowid, ReadingDate FROM ") + table);
        while (st.step()) {
            const QDate day = dayOrThrow(st.column(1));
            if (day >= start && day <= end)
                ids << QString::number(st.columnInteger(0));
        }
        st.reset();
        return run(statement + (ids.isEmpty() ? QStringLiteral(" WHERE 1 = 0")
                                               : QStringLiteral(" WHERE rowid IN (") + ids.join(QLatin1Char(',')) + QLatin1Char(')')),
                   QVariantList());
    }
    // The dates are read by a function of the connection, for each row as the statement goes.
    const auto function = db.registerFunction(QStringLiteral("rv_reading_day"), 1, [](const QVariantList& args) {
        return QVariant(dayOrThrow(args.first()).toJulianDay());
    });
    // Compared as day numbers: a start after the end matches nothing.
    return run(statement + QStringLiteral(" WHERE rv_reading_day(ReadingDate) BETWEEN ? AND ?"),
               QVariantList{start.toJulianDay(), end.toJulianDay()});
}

} // namespace

int ReadingStore::deleteDatedBetween(const QDate& start, const QDate& end)
{
    return overRange(m_db, table(), QStringLiteral("DELETE FROM ") + table(), start, end,
                     [&](const QString& sql, const QVariantList& params) {
                         Transaction tx(m_db);
                         m_db.exec(sql, params);
                         const int count = m_db.changes();
                         // Told even when nothing was found: the readings tab then shows the
                         // outcome of a deletion as always, the newest reading.
                         m_db.touch(m_id);
                         tx.commit();
                         tidyAfter(m_db, table(), count, false);
                         return count;
                     });
}

int ReadingStore::countDatedBetween(const QDate& start, const QDate& end) const
{
    return overRange(m_db, table(), QStringLiteral("SELECT COUNT(*) FROM ") + table(), start, end,
                     [&](const QString& sql, const QVariantList& params) {
                         return m_db.query(sql, params).value(0).value(0).toInt();
                     });
}

} // namespace rv
