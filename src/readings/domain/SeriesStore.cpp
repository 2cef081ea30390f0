#include "readings/domain/SeriesStore.h"

#include "db/Errors.h"
#include "db/StoredForms.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>

namespace rv {

namespace {

// One table for every sensor's blocks, beside the supplied ones; a row without a summary is a
// stale block, a block without a row holds no marked reading.
const QString kBlocks = QStringLiteral("ChartBlocks");
constexpr char kFormat = 1; // of the summaries
const QString kSeals = QStringLiteral("ChartSeals");

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

QString quoted(const QString& text)
{
    QString t = text;
    return QLatin1Char('\'') + t.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

template <class T>
void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void putPoint(QByteArray& out, const SeriesPoint& p)
{
    put<qint32>(out, p.order);
    put<qint64>(out, p.rowid);
    put<qint64>(out, p.secs);
    quint64 bits = 0;
    std::memcpy(&bits, &p.y, sizeof bits);
    put<quint64>(out, bits);
}

QByteArray encode(const SeriesBlock& b)
{
    QByteArray out;
    out.reserve(1 + kSeriesFields * (4 + 4 * 28));
    out.append(kFormat);
    for (const SeriesBlockField& f : b.fields) {
        put<qint32>(out, f.count);
        if (f.count > 0)
            for (const SeriesPoint* p : {&f.first, &f.low, &f.high, &f.last})
                putPoint(out, *p);
    }
    return out;
}

// Reads a summary; false when it is not one this program writes.
bool decode(QByteArrayView in, SeriesBlock& b)
{
    qsizetype at = 1;
    const auto get = [&](auto& value) {
        using T = std::remove_reference_t<decltype(value)>;
        if (at + qsizetype(sizeof(T)) > in.size())
            return false;
        value = qFromLittleEndian<T>(in.data() + at);
        at += sizeof(T);
        return true;
    };
    const auto getPoint = [&](SeriesPoint& p) {
        quint64 bits = 0;
        if (!get(p.order) || !get(p.rowid) || !get(p.secs) || !get(bits))
            return false;
        std::memcpy(&p.y, &bits, sizeof bits);
        return true;
    };
    if (in.isEmpty() || in[0] != kFormat)
        return false;
    for (SeriesBlockField& f : b.fields) {
        if (!get(f.count))
            return false;
        if (f.count > 0 && !(getPoint(f.first) && getPoint(f.low) && getPoint(f.high) && getPoint(f.last)))
            return false;
    }
    return at == in.size();
}

void createSeals(Database& db)
{
    db.makeTable(kSeals, QStringLiteral("InstrumentID ") + db.columnType(QStringLiteral("TEXT")) + QStringLiteral(" PRIMARY KEY, Rows ")
                             + db.columnType(QStringLiteral("INTEGER")));
}

void createBlocks(Database& db)
{
    db.makeTable(kBlocks, QStringLiteral("InstrumentID ") + db.columnType(QStringLiteral("TEXT")) + QStringLiteral(" NOT NULL, Block ")
                              + db.columnType(QStringLiteral("INTEGER")) + QStringLiteral(" NOT NULL, Origin ")
                              + db.columnType(QStringLiteral("INTEGER")) + QStringLiteral(", Width ")
                              + db.columnType(QStringLiteral("INTEGER")) + QStringLiteral(", Readings ")
                              + db.columnType(QStringLiteral("INTEGER")) + QStringLiteral(", Summary ")
                              + db.columnType(QStringLiteral("BLOB")) + QStringLiteral(", PRIMARY KEY (InstrumentID, Block)"));
}

std::optional<SeriesSizing>& sizingOverride()
{
    static std::optional<SeriesSizing> s;
    return s;
}

// A table with kept blocks needs its changes marked from the connection's first write on.
[[maybe_unused]] const bool kWatching = Database::addConnectionSetUp([](Database& db) {
    try {
        // A table's own triggers need no set-up.
        if (!db.watchesByOwnTriggers() || !db.tableExists(kBlocks))
            return;
        for (const QVariantList& row : db.query(QStringLiteral("SELECT DISTINCT InstrumentID FROM ") + kBlocks))
            if (db.tableExists(row.value(0).toString()))
                SeriesStore(db, row.value(0).toString()).watch();
    } catch (const RvError&) {
        // Without its triggers a connection cannot keep the blocks exact; the next pass over
        // everything drops them (another connection's commit makes it whole).
    }
});


// The functions the triggers run. The chart blocks' functions find the program's tables by the
// search path they were made under, whoever's statement fires them.
const char* const kFunctions[][2] = {
    {"rv_seconds(text)",
     "CREATE OR REPLACE FUNCTION rv_seconds(d text) RETURNS bigint LANGUAGE plpgsql IMMUTABLE STRICT AS $$ "
     "DECLARE y int; m int; dd int; "
     "BEGIN "
     "IF d !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' THEN RETURN NULL; END IF; "
     "y := substr(d, 1, 4)::int; m := substr(d, 6, 2)::int; dd := substr(d, 9, 2)::int; "
     "IF y < 1 OR m < 1 OR m > 12 OR dd < 1 OR substr(d, 12, 2)::int > 23 OR substr(d, 15, 2)::int > 59 "
     "OR substr(d, 18, 2)::int > 59 "
     "OR dd > extract(day FROM make_date(y, m, 1) + interval '1 month' - interval '1 day') THEN RETURN NULL; END IF; "
     "RETURN extract(epoch FROM d::timestamp)::bigint; "
     "END $$"},
    {"rv_dirty()",
     "CREATE OR REPLACE FUNCTION rv_dirty() RETURNS trigger LANGUAGE plpgsql AS $$ "
     "BEGIN NEW.IsDirty := 1; RETURN NEW; END $$"},
    // A reading added clean, moved or (un)marked: the blocks where it was and is become stale; one
    // the blocks cannot place (before the first, a FullDate in another form) drops them all.
    {"rv_series_moved()",
     "CREATE OR REPLACE FUNCTION rv_series_moved() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
     "DECLARE o bigint; w bigint; s bigint; "
     "BEGIN "
     "SELECT Origin, Width INTO o, w FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME LIMIT 1; "
     "IF NOT FOUND THEN RETURN NULL; END IF; "
     "FOR s IN SELECT rv_seconds(CAST(OLD.FullDate AS text)) WHERE TG_OP = 'UPDATE' "
     "UNION ALL SELECT rv_seconds(CAST(NEW.FullDate AS text)) LOOP "
     "IF s IS NULL OR s < o THEN DELETE FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME; RETURN NULL; END IF; "
     "INSERT INTO ChartBlocks (InstrumentID, Block, Origin, Width) VALUES (TG_TABLE_NAME, (s - o) / w, o, w) "
     "ON CONFLICT (InstrumentID, Block) DO UPDATE SET Readings = NULL, Summary = NULL; "
     "END LOOP; "
     "RETURN NULL; "
     "END $$"},
    // Readings deleted, in one go per statement (a range deletion takes thousands).
    {"rv_series_gone()",
     "CREATE OR REPLACE FUNCTION rv_series_gone() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
     "DECLARE o bigint; w bigint; "
     "BEGIN "
     "UPDATE ChartSeals SET Rows = Rows - (SELECT count(*) FROM gone) WHERE InstrumentID = TG_TABLE_NAME; "
     "SELECT Origin, Width INTO o, w FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME LIMIT 1; "
     "IF NOT FOUND THEN RETURN NULL; END IF; "
     "IF EXISTS (SELECT 1 FROM gone WHERE rv_seconds(CAST(FullDate AS text)) IS NULL "
     "OR rv_seconds(CAST(FullDate AS text)) < o) THEN "
     "DELETE FROM ChartBlocks WHERE InstrumentID = TG_TABLE_NAME; "
     "ELSE "
     "INSERT INTO ChartBlocks (InstrumentID, Block, Origin, Width) "
     "SELECT DISTINCT TG_TABLE_NAME, (rv_seconds(CAST(FullDate AS text)) - o) / w, o, w FROM gone "
     "ON CONFLICT (InstrumentID, Block) DO UPDATE SET Readings = NULL, Summary = NULL; "
     "END IF; "
     "RETURN NULL; "
     "END $$"},
};

bool has(const QVector<Database::Column>& columns, const QString& name)
{
    return std::any_of(columns.begin(), columns.end(),
                       [&](const Database::Column& c) { return c.name.compare(name, Qt::CaseInsensitive) == 0; });
}

} // namespace

// --- geometry and building ---

SeriesGeometry SeriesGeometry::forSpan(qint64 firstSecs, qint64 lastSecs, int blocks)
{
    SeriesGeometry g;
    const qint64 span = std::max<qint64>(1, lastSecs - firstSecs + 1);
    g.width = std::max<qint64>(1, (span + blocks - 1) / std::max(1, blocks));
    g.origin = floorDiv(firstSecs, g.width) * g.width;
    return g;
}

qint64 SeriesGeometry::blockOf(qint64 secs) const
{
    return floorDiv(secs - origin, width);
}

QString SeriesGeometry::start(qint64 block) const
{
    return fullDateText(QDateTime::fromSecsSinceEpoch(origin + block * width, Qt::UTC));
}

bool SeriesGeometry::suits(qint64 firstSecs, qint64 lastSecs, int blocks) const
{
    if (firstSecs < origin)
        return false;
    const qint64 count = blockOf(lastSecs) + 1;
    return count <= 4 * qint64(blocks) && (width == 1 || 4 * count >= blocks);
}

SeriesBuilder::SeriesBuilder(const SeriesGeometry& geometry, Sink sink) : m_geometry(geometry), m_sink(std::move(sink)) {}

bool SeriesBuilder::add(qint64 rowid, const QDateTime& moment, bool written, const double* values)
{
    if (m_refused)
        return false;
    const qint64 secs = moment.toSecsSinceEpoch();
    const qint64 block = m_geometry.blockOf(secs);
    // Only the written form sorts as time does, so that a block's readings are found by its
    // FullDate range.
    if (!written || (m_open && block < m_block.index)) {
        m_refused = true;
        return false;
    }
    if (m_open && block != m_block.index) {
        m_sink(m_block);
        m_open = false;
    }
    if (!m_open) {
        m_block = SeriesBlock();
        m_block.index = block;
        m_open = true;
    }
    ++m_readings;
    const SeriesPoint p{m_block.readings++, rowid, secs, 0};
    for (int f = 0; f < kSeriesFields; ++f) {
        const double y = values[f];
        if (!std::isfinite(y))
            continue;
        SeriesBlockField& field = m_block.fields[size_t(f)];
        SeriesPoint here = p;
        here.y = y;
        if (field.count++ == 0) {
            field.first = field.low = field.high = field.last = here;
            continue;
        }
        if (y < field.low.y)
            field.low = here;
        if (y > field.high.y)
            field.high = here;
        field.last = here;
    }
    return true;
}

void SeriesBuilder::finish()
{
    if (m_open && !m_refused)
        m_sink(m_block);
    m_open = false;
}

// --- store ---

SeriesStore::SeriesStore(Database& db, const QString& instrumentId) : m_db(db), m_id(instrumentId) {}

SeriesSizing SeriesStore::sizing()
{
    if (sizingOverride())
        return *sizingOverride();
    // The random walk keeps the blocks of its small sensors too.
    static const SeriesSizing fromEnvironment = [] {
        SeriesSizing s;
        bool ok = false;
        const int blocks = qEnvironmentVariableIntValue("ROCKVISTA_CHART_BLOCKS", &ok);
        if (ok && blocks > 0)
            s = {blocks, blocks};
        return s;
    }();
    return fromEnvironment;
}

void SeriesStore::setSizing(const SeriesSizing& sizing)
{
    sizingOverride() = sizing;
}

bool SeriesStore::tableExists() const
{
    return m_db.tableExists(kBlocks);
}

void SeriesStore::createTables(Database& db)
{
    createBlocks(db);
    createSeals(db);
}

bool SeriesStore::keepable() const
{
    if (!m_db.watchesByOwnTriggers() && !m_db.watchesByTableTriggers())
        return false;
    for (const Database::Column& c : m_db.columns(m_id))
        if (c.name.compare(readingField::isDirty, Qt::CaseInsensitive) == 0)
            return m_db.watchesByOwnTriggers() || watchTable(m_db, m_id);
    return false;
}

bool SeriesStore::watch() const
{
    if (!m_db.watchesByOwnTriggers())
        return watchTable(m_db, m_id);
    const QString key = QStringLiteral("series ") + m_id;
    if (!m_db.once(key))
        return true;
    if (m_db.inTransaction()) {
        m_db.forget(key);
        return false;
    }
    try {
        // The deletion trigger counts into it: it must be there before the trigger names it.
        createSeals(m_db);
        const QString name = Database::quoteId(m_id);
        const QString id = quoted(m_id);
        // The block of the reading as it was or is becomes stale; a reading the blocks cannot
        // place (before the first block, a FullDate in another form) drops them all.
        const auto stale = [&](const QString& row) {
            const QString secs = writtenSeconds(m_db, row + QStringLiteral(".FullDate"));
            // The test sits in the key, so that a reading the blocks can place visits none of them:
            // as a plain condition it was checked on each of the sensor's blocks, for every row a
            // range deletion took (22 s instead of 0.03 s for a year of a large sensor).
            return QStringLiteral("DELETE FROM ") + kBlocks + QStringLiteral(" WHERE InstrumentID = (SELECT ") + id
                   + QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM main.") + kBlocks
                   + QStringLiteral(" WHERE InstrumentID = ") + id + QStringLiteral(" AND ") + secs
                   + QStringLiteral(" >= Origin)); INSERT OR REPLACE INTO ") + kBlocks
                   + QStringLiteral(" (InstrumentID, Block, Origin, Width) SELECT ") + id + QStringLiteral(", (")
                   + secs + QStringLiteral(" - Origin) / Width, Origin, Width FROM main.") + kBlocks
                   + QStringLiteral(" WHERE InstrumentID = ") + id + QStringLiteral(" AND ") + secs
                   + QStringLiteral(" >= Origin LIMIT 1;");
        };
        const auto trigger = [&](const QString& kind, const QString& event, const QString& body) {
            m_db.exec(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS ")
                      + Database::quoteId(QStringLiteral("rv_series_") + kind + QLatin1Char('_') + m_id) + event
                      + QStringLiteral(" ON main.") + name + QLatin1Char(' ') + body);
        };
        trigger(QStringLiteral("delete"), QStringLiteral(" AFTER DELETE"),
                QStringLiteral("BEGIN ") + stale(QStringLiteral("OLD")) + QStringLiteral("UPDATE ") + kSeals
                    + QStringLiteral(" SET Rows = Rows - 1 WHERE InstrumentID = ") + id + QStringLiteral("; END"));
        trigger(QStringLiteral("update"), QStringLiteral(" AFTER UPDATE OF FullDate, Plottemporal"),
                QStringLiteral("WHEN NEW.FullDate IS NOT OLD.FullDate OR NEW.Plottemporal IS NOT OLD.Plottemporal BEGIN ")
                    + stale(QStringLiteral("OLD")) + stale(QStringLiteral("NEW")) + QStringLiteral(" END"));
        // A reading added dirty is the pass's to compute, and so its block's to mark.
        trigger(QStringLiteral("insert"), QStringLiteral(" AFTER INSERT"),
                QStringLiteral("WHEN NEW.IsDirty IS 0 BEGIN ") + stale(QStringLiteral("NEW")) + QStringLiteral(" END"));
        return true;
    } catch (const RvError&) {
        m_db.forget(key);
        return false;
    }
}

std::optional<SeriesGeometry> SeriesStore::geometry() const
{
    if (!tableExists())
        return std::nullopt;
    const auto rows = m_db.query(QStringLiteral("SELECT Origin, Width FROM ") + kBlocks
                                     + QStringLiteral(" WHERE InstrumentID = ? LIMIT 1"),
                                 {m_id});
    if (rows.isEmpty() || rows[0].value(1).toLongLong() < 1)
        return std::nullopt;
    return SeriesGeometry{rows[0].value(0).toLongLong(), rows[0].value(1).toLongLong()};
}

Statement SeriesStore::prepareInsert() const
{
    return m_db.prepare(QStringLiteral("INSERT INTO ") + kBlocks
                        + QStringLiteral(" (InstrumentID, Block, Origin, Width, Readings, Summary) VALUES (?, ?, ?, ?, ?, ?) "
                                         "ON CONFLICT (InstrumentID, Block) DO UPDATE SET Origin = excluded.Origin, "
                                         "Width = excluded.Width, Readings = excluded.Readings, Summary = excluded.Summary"));
}

void SeriesStore::insert(Statement& st, const SeriesGeometry& g, const SeriesBlock& block) const
{
    st.bind(1, m_id);
    st.bindInteger(2, block.index);
    st.bindInteger(3, g.origin);
    st.bindInteger(4, g.width);
    st.bindInteger(5, block.readings);
    st.bind(6, encode(block));
    while (st.step()) {
    }
    st.reset();
}

bool SeriesStore::refresh(const ReadingStore& readings, const SeriesGeometry& g)
{
    QVector<qint64> stale;
    for (const QVariantList& r : m_db.query(QStringLiteral("SELECT Block, Origin, Width FROM ") + kBlocks
                                                + QStringLiteral(" WHERE InstrumentID = ? AND (Summary IS NULL OR Origin <> ? "
                                                                 "OR Width <> ?) ORDER BY Block"),
                                            {m_id, g.origin, g.width})) {
        // Made anew by another program since the geometry was read: the rows this time.
        if (!r.value(1).isNull() && (r.value(1).toLongLong() != g.origin || r.value(2).toLongLong() != g.width))
            return false;
        stale << r.value(0).toLongLong();
    }
    if (stale.isEmpty())
        return true;
    watch();
    Transaction tx(m_db);
    // Writers wait, so that none marks a block stale between its read and its write here.
    m_db.lockTable(Database::quoteId(m_id));
    Statement st = prepareInsert();
    // Runs of neighbouring stale blocks, one read each.
    for (int i = 0; i < stale.size();) {
        int j = i;
        while (j + 1 < stale.size() && stale[j + 1] == stale[j] + 1)
            ++j;
        SeriesBuilder builder(g, [&](const SeriesBlock& b) { insert(st, g, b); });
        readings.forEachMarkedWritten(
            [&](qint64 rowid, const QDateTime& moment, bool written, const double* values) {
                builder.add(rowid, moment, written, values);
            },
            g.start(stale[i]), g.start(stale[j] + 1));
        builder.finish();
        if (builder.refused()) {
            drop();
            tx.commit();
            return false;
        }
        // Those left without readings hold none.
        m_db.exec(QStringLiteral("DELETE FROM ") + kBlocks
                      + QStringLiteral(" WHERE InstrumentID = ? AND Block BETWEEN ? AND ? AND Summary IS NULL"),
                  {m_id, stale[i], stale[j]});
        i = j + 1;
    }
    tx.commit();
    return true;
}

bool SeriesStore::forEachBlock(const std::function<void(const SeriesBlock&)>& visit) const
{
    // A thousand at a time: a server then reads them by the key, where all of a table's blocks in
    // one sorted read would be sorted apart from it, on disk.
    constexpr int kAtOnce = 1024;
    Statement st = m_db.prepare(QStringLiteral("SELECT Block, Readings, Summary FROM ") + kBlocks
                                + QStringLiteral(" WHERE InstrumentID = ? AND Block >= ? AND Summary IS NOT NULL "
                                                 "ORDER BY Block LIMIT ")
                                + QString::number(kAtOnce));
    SeriesBlock b;
    qint64 from = std::numeric_limits<qint64>::min();
    for (int read = kAtOnce; read == kAtOnce;) {
        st.bind(1, m_id);
        st.bindInteger(2, from);
        read = 0;
        while (st.step()) {
            ++read;
            b.index = st.column(0).toLongLong();
            b.readings = st.column(1).toInt();
            if (!decode(st.columnBlob(2), b)) {
                st.reset();
                return false;
            }
            visit(b);
            from = b.index + 1;
        }
        st.reset();
    }
    return true;
}

std::optional<qint64> SeriesStore::sealed() const
{
    if (!m_db.tableExists(kSeals))
        return std::nullopt;
    const auto stored = m_db.query(QStringLiteral("SELECT Rows FROM ") + kSeals + QStringLiteral(" WHERE InstrumentID = ?"), {m_id});
    if (stored.isEmpty())
        return std::nullopt;
    return stored.first().value(0).toLongLong();
}

bool SeriesStore::sealHolds(qint64 rows) const
{
    return !m_db.once(QStringLiteral("sealed ") + m_id) || sealed() == rows;
}

void SeriesStore::seal(qint64 rows) const
{
    // Written only when it changes: a chart read writes nothing.
    if (sealed() == rows)
        return;
    createSeals(m_db);
    m_db.exec(QStringLiteral("INSERT INTO ") + kSeals
                  + QStringLiteral(" (InstrumentID, Rows) VALUES (?, ?) ON CONFLICT (InstrumentID) DO UPDATE SET Rows = excluded.Rows"),
              {m_id, rows});
}

void SeriesStore::added(Database& db, const QString& instrumentId, qint64 readings)
{
    if (readings > 0 && db.tableExists(kSeals))
        db.exec(QStringLiteral("UPDATE ") + kSeals + QStringLiteral(" SET Rows = Rows + ? WHERE InstrumentID = ?"),
                {readings, instrumentId});
}

void SeriesStore::drop()
{
    if (tableExists())
        m_db.exec(QStringLiteral("DELETE FROM ") + kBlocks + QStringLiteral(" WHERE InstrumentID = ?"), {m_id});
}

SeriesStore::Rebuild::Rebuild(SeriesStore& store, const SeriesGeometry& geometry) : m_store(store), m_geometry(geometry)
{
    // Blocks are kept only where triggers can keep them exact.
    if (store.m_db.inTransaction() || !(store.m_db.watchesByOwnTriggers() || store.m_db.watchesByTableTriggers()))
        return;
    // The triggers name the table; without them the blocks could not be kept exact.
    createBlocks(store.m_db);
    if (!store.watch())
        return;
    m_tx.emplace(store.m_db);
    store.m_db.lockTable(Database::quoteId(store.m_id));
    store.drop();
    m_insert = store.prepareInsert();
}

SeriesStore::Rebuild::~Rebuild() = default;

void SeriesStore::Rebuild::add(const SeriesBlock& block)
{
    if (m_insert)
        m_store.insert(m_insert, m_geometry, block);
}

void SeriesStore::Rebuild::commit(qint64 readings)
{
    if (!m_tx || readings < sizing().minReadings)
        return;
    m_insert = Statement();
    m_tx->commit();
    m_tx.reset();
    m_store.m_db.learnValues(kBlocks);
}

void SeriesStore::computed(Database& db, const QString& instrumentId, const QString& computedWhere)
{
    if (!db.tableExists(kBlocks))
        return;
    if (computedWhere.isEmpty()) {
        SeriesStore(db, instrumentId).drop();
        return;
    }
    if (db.query(QStringLiteral("SELECT 1 FROM ") + kBlocks + QStringLiteral(" WHERE InstrumentID = ? LIMIT 1"), {instrumentId})
            .isEmpty())
        return;
    const QString table = Database::quoteId(instrumentId);
    const QString secs = writtenSeconds(db, QStringLiteral("FullDate"));
    // A computed reading the blocks cannot place drops them all; else its block is stale.
    db.exec(QStringLiteral("DELETE FROM ") + kBlocks + QStringLiteral(" WHERE InstrumentID = ?1 AND EXISTS (SELECT 1 FROM ")
                + table + QStringLiteral(" WHERE ") + computedWhere + QStringLiteral(" AND (") + secs
                + QStringLiteral(" IS NULL OR ") + secs + QStringLiteral(" < (SELECT Origin FROM ") + kBlocks
                + QStringLiteral(" WHERE InstrumentID = ?1 LIMIT 1)))"),
            {instrumentId});
    db.exec(QStringLiteral("INSERT INTO ") + kBlocks
                + QStringLiteral(" (InstrumentID, Block, Origin, Width) SELECT DISTINCT ?1, (t.s - g.Origin) / g.Width, "
                                 "g.Origin, g.Width FROM (SELECT ")
                + secs + QStringLiteral(" AS s FROM ") + table + QStringLiteral(" WHERE ") + computedWhere
                + QStringLiteral(") AS t, (SELECT Origin, Width FROM ") + kBlocks
                + QStringLiteral(" WHERE InstrumentID = ?1 LIMIT 1) AS g WHERE true ON CONFLICT (InstrumentID, Block) DO "
                                 "UPDATE SET Readings = NULL, Summary = NULL"),
            {instrumentId});
}

QStringList SeriesStore::differences(const ReadingStore& readings, const std::function<bool(qint64 rowid)>& pending) const
{
    const std::optional<SeriesGeometry> g = geometry();
    if (!g)
        return {};
    std::map<qint64, SeriesBlock> fresh;
    std::set<qint64> excused;
    SeriesBuilder builder(*g, [&](const SeriesBlock& b) { fresh[b.index] = b; });
    readings.forEachMarkedWritten([&](qint64 rowid, const QDateTime& moment, bool written, const double* values) {
        if (builder.add(rowid, moment, written, values) && pending && pending(rowid))
            excused.insert(g->blockOf(moment.toSecsSinceEpoch()));
    });
    builder.finish();
    for (const qint64 b : excused)
        fresh.erase(b);
    const QString who = m_id + QStringLiteral(": chart block ");
    if (builder.refused())
        return {m_id + QStringLiteral(": chart blocks kept for readings they cannot hold")};
    QStringList faults;
    Statement st = m_db.prepare(QStringLiteral("SELECT Block, Readings, Summary FROM ") + kBlocks
                                + QStringLiteral(" WHERE InstrumentID = ? ORDER BY Block"));
    st.bind(1, m_id);
    while (st.step()) {
        const qint64 index = st.column(0).toLongLong();
        if (excused.count(index))
            continue;
        const auto it = fresh.find(index);
        if (st.column(2).isNull()) { // stale: computed again before it is read
            if (it != fresh.end())
                fresh.erase(it);
            continue;
        }
        SeriesBlock b;
        b.index = index;
        b.readings = st.column(1).toInt();
        if (!decode(st.columnBlob(2), b))
            faults << who + QString::number(index) + QStringLiteral(" cannot be read");
        else if (it == fresh.end())
            faults << who + QString::number(index) + QStringLiteral(" holds readings that are gone");
        else if (!(b == it->second))
            faults << who + QString::number(index) + QStringLiteral(" differs from its readings");
        if (it != fresh.end())
            fresh.erase(it);
    }
    st.reset();
    for (const auto& [index, block] : fresh)
        faults << who + QString::number(index) + QStringLiteral(" is missing (") + QString::number(block.readings)
                      + QStringLiteral(" readings)");
    return faults;
}

// --- the table's own triggers ---

QString writtenSeconds(Database& db, const QString& value)
{
    if (db.watchesByTableTriggers())
        return QStringLiteral("rv_seconds(") + db.textOf(value) + QLatin1Char(')');
    return QStringLiteral("(CASE WHEN %1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]' "
                          "AND %1 >= '0001' AND strftime('%Y-%m-%d %H:%M:%S', %1) = %1 "
                          "THEN CAST(strftime('%s', %1) AS INTEGER) END)")
        .arg(value);
}

bool watchTable(Database& db, const QString& instrumentId)
{
    if (!db.watchesByTableTriggers())
        return false;
    const QVector<Database::Column> columns = db.columns(instrumentId);
    for (const QString& needed : {readingField::isDirty, readingField::plotTemporal, readingField::fullDate})
        if (!has(columns, needed))
            return false;
    // The dirty flag's trigger is named by the watched columns the table has, so that a column
    // added since makes it anew.
    QStringList watched{readingField::channelT, readingField::plotTemporal};
    for (int i = 0; i < Reading::kChannels; ++i)
        watched << readingField::channel(i + 1);
    QStringList of, differs;
    QString mask;
    for (const QString& c : watched) {
        const bool present = has(columns, c);
        mask += present ? QLatin1Char('1') : QLatin1Char('0');
        if (present) {
            of << c;
            differs << QStringLiteral("NEW.") + c + QStringLiteral(" IS DISTINCT FROM OLD.") + c;
        }
    }
    const QString dirty = QStringLiteral("rv_dirty_") + mask;
    QStringList wanted{dirty, QStringLiteral("rv_series_delete"), QStringLiteral("rv_series_insert"),
                       QStringLiteral("rv_series_update")};
    std::sort(wanted.begin(), wanted.end());
    QStringList carried;
    try {
        for (const QString& t : db.triggersOn(instrumentId))
            if (t.startsWith(QLatin1String("rv_")))
                carried << t;
        if (carried == wanted)
            return true;
        const QString table = Database::quoteId(instrumentId);
        Transaction tx(db);
        // Two programs making them at once: one waits for the other's.
        db.lockTable(table);
        // The functions and tables every reading table's triggers share: made by one program at a
        // time, the others then find them.
        db.holdName(QStringLiteral("chart triggers"));
        for (const auto& [signature, sql] : kFunctions)
            if (db.query(QStringLiteral("SELECT to_regprocedure(?) IS NULL"), {QString::fromLatin1(signature)})
                    .value(0)
                    .value(0)
                    .toBool())
                db.exec(QString::fromLatin1(sql));
        SeriesStore::createTables(db);
        for (const QString& t : db.triggersOn(instrumentId))
            if (t.startsWith(QLatin1String("rv_")))
                db.exec(QStringLiteral("DROP TRIGGER ") + Database::quoteId(t) + QStringLiteral(" ON ") + table);
        db.exec(QStringLiteral("CREATE TRIGGER ") + dirty + QStringLiteral(" BEFORE UPDATE OF ") + of.join(QStringLiteral(", "))
                + QStringLiteral(" ON ") + table + QStringLiteral(" FOR EACH ROW WHEN (NEW.IsDirty = 0 AND (")
                + differs.join(QStringLiteral(" OR ")) + QStringLiteral(")) EXECUTE FUNCTION rv_dirty()"));
        // A reading added dirty is the pass's to compute, and so its block's to mark.
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_insert AFTER INSERT ON ") + table
                + QStringLiteral(" FOR EACH ROW WHEN (NEW.IsDirty = 0) EXECUTE FUNCTION rv_series_moved()"));
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_update AFTER UPDATE OF FullDate, Plottemporal ON ") + table
                + QStringLiteral(" FOR EACH ROW WHEN (NEW.FullDate IS DISTINCT FROM OLD.FullDate OR NEW.Plottemporal IS "
                                 "DISTINCT FROM OLD.Plottemporal) EXECUTE FUNCTION rv_series_moved()"));
        db.exec(QStringLiteral("CREATE TRIGGER rv_series_delete AFTER DELETE ON ") + table
                + QStringLiteral(" REFERENCING OLD TABLE AS gone FOR EACH STATEMENT EXECUTE FUNCTION rv_series_gone()"));
        // Until now no trigger saw this table's edits.
        for (const QString& kept : {QStringLiteral("ChartPasses"), QStringLiteral("ChartBlocks"), QStringLiteral("ChartSeals")})
            if (db.tableExists(kept))
                db.exec(QStringLiteral("DELETE FROM ") + kept + QStringLiteral(" WHERE InstrumentID = ?"), {instrumentId});
        tx.commit();
        return true;
    } catch (const RvError&) {
        return false;
    }
}

} // namespace rv
