#pragma once
// The chart series of a sensor kept reduced, so that a chart of millions of readings reads a few
// thousand rows: the marked readings in blocks of a fixed span of time, each block holding, per
// chart field, how many values it has and the first, lowest, highest and last of them. Blocks
// are kept by the rules of the stored values: the chart pass marks stale the blocks of the
// readings it computes (all of them when it computes all), and this connection's deletions,
// plot-box changes and date edits mark theirs (temporary triggers). A stale block is computed
// again from its readings before the blocks are read.
#include "db/Database.h"
#include "readings/domain/ReadingStore.h"

#include <QByteArray>
#include <array>
#include <functional>
#include <optional>

namespace rv {

constexpr int kSeriesFields = int(ComputedField::Load5) + 1;

// One value of a block: its reading's place among the block's readings (in FullDate order), its
// rowid and moment (seconds since the epoch, the stored wall clock read as UTC).
struct SeriesPoint {
    qint32 order = 0;
    qint64 rowid = 0;
    qint64 secs = 0;
    double y = 0;
    bool operator==(const SeriesPoint& o) const { return order == o.order && rowid == o.rowid && secs == o.secs && y == o.y; }
};

// A field's part of a block; without values (count 0) the points mean nothing.
struct SeriesBlockField {
    qint32 count = 0;
    SeriesPoint first, low, high, last; // the earliest of equal lows and highs
    bool operator==(const SeriesBlockField& o) const
    {
        return count == o.count && (count == 0 || (first == o.first && low == o.low && high == o.high && last == o.last));
    }
};

struct SeriesBlock {
    qint64 index = 0;
    qint32 readings = 0;
    std::array<SeriesBlockField, kSeriesFields> fields{};
    bool operator==(const SeriesBlock& o) const { return index == o.index && readings == o.readings && fields == o.fields; }
};

// Where the blocks lie: block b holds the readings from origin + b × width seconds on, up to the
// next block; a FullDate in the written form says which.
struct SeriesGeometry {
    qint64 origin = 0;
    qint64 width = 1;
    // About that many blocks over the span of seconds given.
    static SeriesGeometry forSpan(qint64 firstSecs, qint64 lastSecs, int blocks);
    qint64 blockOf(qint64 secs) const;
    // The written FullDate where the block begins.
    QString start(qint64 block) const;
    // Whether blocks of this geometry still suit a span (the first reading not before the first
    // block, and between a quarter and four times the wanted number of blocks).
    bool suits(qint64 firstSecs, qint64 lastSecs, int blocks) const;
};

// How many blocks a series is cut into and how many readings it needs to be kept at all.
struct SeriesSizing {
    int blocks = 8192;
    int minReadings = 50000;
};

// Cuts marked readings, coming in FullDate order with every chart field (NaN: none), into
// blocks, handed on as each is complete.
class SeriesBuilder {
public:
    using Sink = std::function<void(const SeriesBlock&)>;
    SeriesBuilder(const SeriesGeometry& geometry, Sink sink);
    // written: the reading's FullDate is in the written form. A reading in another form, or one
    // out of time order, refuses the whole series: false, and nothing more is taken.
    bool add(qint64 rowid, const QDateTime& moment, bool written, const double* values);
    void finish();
    bool refused() const { return m_refused; }
    qint64 readings() const { return m_readings; }

private:
    SeriesGeometry m_geometry;
    Sink m_sink;
    bool m_open = false, m_refused = false;
    qint64 m_readings = 0;
    SeriesBlock m_block;
};

class SeriesStore {
public:
    SeriesStore(Database& db, const QString& instrumentId);

    static SeriesSizing sizing();
    // For tests: blocks of a few readings.
    static void setSizing(const SeriesSizing& sizing);

    // Whether the table can have blocks kept: it has IsDirty, which the pass keeps, and the
    // connection can watch it with triggers of its own.
    bool keepable() const;
    // The geometry of the stored blocks; none when none are stored.
    std::optional<SeriesGeometry> geometry() const;
    // Computes the stale blocks again from the readings, by the geometry read before (geometry()).
    // false: a reading could not be placed (the blocks are then dropped), or the blocks stored now
    // have another geometry (another program made them anew meanwhile).
    bool refresh(const ReadingStore& readings, const SeriesGeometry& geometry);
    // Every stored block in order (stale ones are skipped: refresh first); false when one could
    // not be read (the visit has then seen only those before it).
    bool forEachBlock(const std::function<void(const SeriesBlock&)>& visit) const;
    void drop();

    // A whole new series, written as its blocks come; kept only when commit() is reached with
    // enough readings.
    class Rebuild {
    public:
        Rebuild(SeriesStore& store, const SeriesGeometry& geometry);
        ~Rebuild();
        void add(const SeriesBlock& block);
        void commit(qint64 readings);

    private:
        SeriesStore& m_store;
        SeriesGeometry m_geometry;
        std::optional<Transaction> m_tx;
        Statement m_insert;
    };

    // The chart pass's hook, inside its transaction: the readings matching computedWhere (a
    // condition on the reading table) were computed; empty: every reading was.
    static void computed(Database& db, const QString& instrumentId, const QString& computedWhere);

    // The stored blocks that differ from blocks built afresh from the readings, and blocks
    // missing: none when the series is exact. Writes nothing. The blocks of readings pending
    // (added or edited since the last pass, which will mark them) are not compared.
    QStringList differences(const ReadingStore& readings, const std::function<bool(qint64 rowid)>& pending = {}) const;

    // The table's row count when its blocks were last known exact. Another program's writes
    // while this one was closed reach no trigger of it: a count that differs at the first look
    // of a connection says so (after that, the triggers and the pass keep the blocks).
    bool sealHolds(qint64 rows) const;
    void seal(qint64 rows) const;
    // This program's insertion of readings, inside its transaction (its deletions are counted by
    // the triggers), so that its own writes before a run's first chart keep the blocks.
    static void added(Database& db, const QString& instrumentId, qint64 readings);
    // The first look is to be made again (its blocks could not be dropped).
    void forgetSeal() const { m_db.forget(QStringLiteral("sealed ") + m_id); }

    // Installs this connection's triggers that mark the blocks stale (once; not inside a
    // transaction), or the table's own where the engine keeps those (see watchTable); false when
    // they are not there.
    bool watch() const;
    // The tables of the blocks and their seals, where missing.
    static void createTables(Database& db);

private:
    std::optional<qint64> sealed() const;
    Statement prepareInsert() const;
    void insert(Statement& st, const SeriesGeometry& g, const SeriesBlock& block) const;
    bool tableExists() const;

    Database& m_db;
    QString m_id;
};

// Where a table's own triggers fire for every writer (Database::watchesByTableTriggers), a
// reading table carries permanent triggers doing what a connection's temporary ones do on the
// file: readings whose channels or plot box change are flagged dirty for the chart pass, and the
// chart blocks of readings added clean, moved, unmarked or deleted are marked stale. Every
// program, import, write-back and tool then keeps them, so nothing written escapes the pass.
//
// Whether the table carries the triggers this program makes for its columns. When it does not
// (a table made before them, by a copy or a restore, or given a column since), they are made, with
// the functions and tables they use, and what the chart pass and the chart blocks remembered of
// the table is forgotten: no trigger saw its edits until then. false: they cannot be made (no
// IsDirty, or the connection may not alter the table); its passes are then whole and it keeps no
// blocks.
bool watchTable(Database& db, const QString& instrumentId);

// The seconds of a FullDate in the written form (as the program reads it: a real date and time),
// else Null, as the engine's SQL writes it; value is an SQL expression.
QString writtenSeconds(Database& db, const QString& value);

} // namespace rv
