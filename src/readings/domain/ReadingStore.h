#pragma once
// The reading table of one sensor: every SQL text and column name of the reading tables lives
// here, together with the one codec of their stored date and time forms. The readings tab and
// the datasheet keep their record sets for the cursor; everything else reads and writes here.
#include "db/BulkInsert.h"
#include "db/Database.h"
#include "db/RecordSet.h"
#include "db/StoredForms.h"
#include "readings/domain/Reading.h"

#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

namespace rv {

// The stored forms of a reading's moment. Writes one form; reads every form a table may hold.
namespace readingForms {
// FullDate as written: "yyyy-MM-dd HH:mm:ss" (sorts in time order).
using rv::fullDateText;
// A stored FullDate: the written form, "/" instead of "-", a "T" instead of the blank, no
// seconds, fractions of a second, a trailing "Z", a date alone. Invalid when unreadable.
QDateTime parseFullDate(const QVariant& stored);
// The moment of a row: FullDate, or ReadingDate with ReadingTime when FullDate is unreadable.
QDateTime momentOf(const QVariant& fullDate, const QVariant& readingDate, const QVariant& readingTime);
// A stored number-or-numeric-text field: Null and blank text give nothing; a text its
// leading number (0 when it has none), as the computations read it.
OptDouble number(const QVariant& stored);
} // namespace readingForms

// Column names of the reading tables, for the record sets of the readings tab and the datasheet.
namespace readingField {
inline const QString dateTimeKey = QStringLiteral("DateTimeKey");
inline const QString readingDate = QStringLiteral("ReadingDate");
inline const QString readingTime = QStringLiteral("ReadingTime");
inline const QString fullDate = QStringLiteral("FullDate");
inline const QString channelT = QStringLiteral("ChannelT");
inline const QString plotTemporal = QStringLiteral("Plottemporal");
inline const QString plotSpatial = QStringLiteral("PlotSpatial");
inline const QString isDirty = QStringLiteral("IsDirty");
inline const QString numTemp = QStringLiteral("NumTemp");
QString channel(int number); // Channel1 … Channel10
QString zero(int number);    // zero1 … zero10
QString load(int index);     // Load1, Load2, Load3, Load5 for 0 … 3
// ChannelT or Channel followed by digits, letter case ignored.
bool isChannel(const QString& name);
} // namespace readingField

// A reading's moment in the four stored forms written together.
struct StoredMoment {
    QString key;      // DateTimeKey
    QString date;     // ReadingDate
    QString time;     // ReadingTime
    QString fullDate; // FullDate
};

// The computed columns a chart draws.
enum class ComputedField { NumTemp, Zero1, Zero2, Zero3, Zero4, Zero5, Zero6, Load1, Load2, Load3, Load5 };
// The column of each computed field, in the order given.
QStringList computedFieldColumns(const QVector<ComputedField>& fields);

// The marked readings of a sensor as columns for a chart, oldest first. A Null value is NaN.
struct ReadingColumns {
    QVector<qint64> rowids;
    QVector<QDateTime> moments;
    QVector<double> temperatures;                           // ChannelT
    std::array<QVector<double>, Reading::kChannels> channels; // Channel1 … Channel10
    std::array<QVector<double>, Reading::kChannels> zeroed;   // zero1 … zero10
    QVector<double> numTemps;                               // NumTemp
    std::array<QVector<double>, Reading::kLoads> loads;       // Load1, Load2, Load3, Load5
    int size() const { return rowids.size(); }
};

// Values a computation writes back into one stored reading.
struct ComputedValues {
    qint64 rowid = 0;
    std::array<OptDouble, Reading::kChannels> zeroed{};
    OptDouble numTemp;
    bool writeLoads = true; // false: the loads stay as stored (a failed load computation)
    std::array<OptDouble, Reading::kLoads> loads{};
};

// What an insertion of many readings did.
struct InsertOutcome {
    int inserted = 0;
    QStringList refusedKeys;   // duplicates, in the order they were met
    QVector<int> refusedIndex; // their positions in the batch
};

// The reading the readings tab shows, in the forms its controls take: a Null value is an
// empty text.
struct ShownReading {
    qint64 rowid = 0; // 0: none shown
    QString key;
    QDate date;
    QTime time;
    QString temperature;  // ChannelT
    QStringList channels; // Channel1 … Channel6
    bool plotTemporal = true;
};

// The first and last marked readings of a table, by rowid (0: none) and moment.
struct MarkedSpan {
    qint64 firstRowid = 0, lastRowid = 0;
    QDateTime first, last;
    bool several() const { return firstRowid != lastRowid; }
};

// What a chart pass computes from besides each reading: the zero reading (the first marked one)
// and the k factor.
struct PassBasis {
    qint64 zeroRowid = 0;
    QString zeroKey;
    std::array<double, Reading::kChannels> zeroChannels{}; // NaN: Null
    double k = 0;
};

// One marked reading as the chart pass reads it and computes it (NaN: Null).
struct PassRow {
    qint64 rowid = 0;
    double temperature = 0;                            // ChannelT
    std::array<double, Reading::kChannels> channels{}; // Channel1 … Channel10
    // Read as stored; the computation sets them.
    std::array<double, Reading::kChannels> zeroed{};
    double numTemp = 0;
    std::array<double, Reading::kLoads> loads{};
    bool writeLoads = true; // false: the loads stay as stored
};

// How a chart pass went: over every marked reading or only over those added or edited since the
// last one.
struct PassRun {
    bool whole = true;
    int computed = 0;
    int written = 0;
};

// What an overview needs of one reading table. The readings in it carry their rowid, moment,
// marked flag and Channel1 … Channel6 only (all a bolt status is computed from).
struct ReadingSummary {
    int count = 0;
    std::optional<Reading> firstMarked, lastMarked;
    std::optional<Reading> latest; // marked or not
};

class ReadingStore {
public:
    // instrumentId names the reading table (nine digits).
    ReadingStore(Database& db, const QString& instrumentId);

    const QString& instrumentId() const { return m_id; }
    Database& database() const { return m_db; }
    // The key of a reading: InstrumentID, a blank, "yyyy/MM/dd HH:mm:ss".
    QString keyOf(const QDateTime& moment) const;
    // The key, date, time and FullDate of a reading taken at that moment.
    StoredMoment formsOf(const QDateTime& moment) const;

    bool tableExists() const;
    int count() const;
    int markedCount() const;
    bool keyExists(const QString& key) const;
    // The rowid of the reading with that key; 0 when there is none.
    qint64 rowidOfKey(const QString& key) const;
    // In a write transaction: whether a reading other than that of rowid except holds the key, the
    // table's keys then held against other programs' imports and additions until the transaction
    // ends, so that none stores the key between this answer and the write that follows.
    bool keyTakenHeld(const QString& key, qint64 except = 0) const;

    // Every reading, in FullDate order, as a keyset record set (rowids held, rows read as shown)
    // for the cursor of the readings tab and the datasheet; positioned on the first reading.
    // fromStart: to be shown from the first reading on (the datasheet), not from the newest.
    std::unique_ptr<RecordSet> openAll(bool fromStart = false) const;
    // The current row of such a set. Throws 13 when its date or time cannot be read.
    static ShownReading shown(const RecordSet& rs);
    static QString keyAt(const RecordSet& rs);
    // The reading of that rowid as stored now, held until the transaction ends; null when gone.
    std::unique_ptr<RecordSet> lockedRow(qint64 rowid) const { return rv::lockedRow(m_db, table(), rowid); }
    // Writes the key, FullDate, reading date and time of the set's current (or new) row, in
    // that order, from one moment.
    void setMoment(RecordSet& rs, const QDate& date, const QTime& time) const;
    // Writes ChannelT, Channel1 … Channel6 (as typed texts, stored in the number forms) and
    // Plottemporal of the current row.
    static void setTyped(RecordSet& rs, const QString& temperature, const QStringList& channels, bool plotTemporal);
    // The flags of a reading added by hand: drawn in the time charts, not in the spatial ones.
    static void setAddedFlags(RecordSet& rs);

    // Every reading, or only the marked ones (Plottemporal true), in FullDate order.
    QVector<Reading> readings(bool markedOnly = false) const;
    // With fields named (zero1, NumTemp, Load3 …), only those value columns are read and
    // filled (with the moments and rowids); the others stay empty. A chart needs three to five.
    ReadingColumns markedColumns(const QStringList& fields = {}) const;
    ReadingColumns markedColumns(const QVector<ComputedField>& fields) const;
    // The marked readings in FullDate order, one at a time and none held: the values of the
    // fields (read as markedColumns reads them; NaN: Null) in the order asked for.
    using MarkedVisit = std::function<void(qint64 rowid, const QDateTime& moment, const double* values)>;
    void forEachMarked(const QVector<ComputedField>& fields, const MarkedVisit& visit) const;
    // As forEachMarked over every chart field, besides whether each reading's FullDate is stored in
    // the written form (only those sort as time does); only those whose FullDate lies in
    // [from, to) when these are given.
    using WrittenVisit = std::function<void(qint64 rowid, const QDateTime& moment, bool written, const double* values)>;
    void forEachMarkedWritten(const WrittenVisit& visit, const QString& from = {}, const QString& to = {}) const;
    // The first and last marked readings.
    MarkedSpan markedSpan() const;
    // The marked readings of those rowids with every value column, or only those named (the
    // others stay empty), in FullDate order.
    ReadingColumns markedColumnsOf(const QVector<qint64>& rowids, const QStringList& columns = {}) const;
    // The first and last marked readings, in one read.
    std::pair<std::optional<Reading>, std::optional<Reading>> markedEnds() const;
    // The latest reading, marked or not.
    std::optional<Reading> last() const;
    // The summaries of many sensors' tables, in the order given; a sensor without a table has an
    // empty one. Read a hundred tables per statement, none kept in the connection's cache.
    static QVector<ReadingSummary> summaries(Database& db, const QStringList& instrumentIds);

    // Writes the computed values of many readings in one transaction with one statement; a
    // reading whose stored values equal the computed ones is not rewritten. Returns how many
    // were rewritten. An error leaves the table as it was.
    int writeComputed(const QVector<ComputedValues>& rows);

    // The chart pass, in one transaction: compute gets each marked reading that needs computing
    // (all of them; or, while the zero reading and the k factor are those of the last pass and no
    // other program wrote the file meanwhile, only those added or edited since) with the basis,
    // one at a time as they are read, sets its computed values and says whether to write them.
    // The basis is stored with them, and the computed readings are marked clean (IsDirty 0), so
    // that the next pass, in this run or a later one, knows what it may skip. A table without
    // IsDirty is computed whole every time.
    using PassCompute = std::function<bool(PassRow& row, const PassBasis& basis)>;
    PassRun refreshComputed(double k, const PassCompute& compute);

    // Inserts new readings in one transaction. A reading whose key the table already holds,
    // or an earlier reading of the same batch, is refused and reported; the rest go in. The
    // date, time, key and moment fields are formed from the moment; rowid is ignored. An
    // error leaves the table as it was.
    InsertOutcome insert(const QVector<Reading>& batch);
    // The same, a reading at a time, for batches too large to hold (a readout of years): the
    // transaction is open from construction to commit(), and besides the readings only 8 bytes
    // per key of the table and per inserted reading are held. The readings are written in bulk
    // as they come, the last ones by commit(); a failed write throws from add() or commit().
    // write false: nothing is written, add() only tells what it would refuse.
    class Insertion;


    // A statement that writes the named columns of one reading: their values are bound first,
    // in that order, then the rowid.
    Statement prepareUpdate(const QStringList& columns) const;

    // The readings whose ReadingDate falls on or between start and end: counted, deleted (in
    // one transaction; returns how many). An unreadable date stops either before a row is touched.
    int countDatedBetween(const QDate& start, const QDate& end) const;
    int deleteDatedBetween(const QDate& start, const QDate& end);

private:
    // Flags every reading whose channels or plot box change through this connection as dirty
    // (a temporary trigger, nothing stored in the file): whoever writes, the chart pass sees it.
    void watchEdits() const;
    // The condition of a marked reading (Plottemporal true in any stored form).
    QString marked() const;
    std::optional<PassBasis> currentBasis(double k) const;
    // tableWatched: the table carries its own triggers (see watchTable).
    bool basisHolds(const PassBasis& basis, bool tableWatched) const;
    ReadingColumns markedColumnsWhere(const QStringList& fields, const QString& extra, bool ordered = true,
                                      const QVariantList& params = {}) const;
    // columns: names of value columns (those the table lacks read as Null).
    // Without moments the visit gets an invalid one, and FullDate is not read.
    // written (when given) tells the visit whether the reading's FullDate is in the written form.
    void streamMarked(const QStringList& columns, const QString& extra, const QString& order,
                      const MarkedVisit& visit, bool moments = true, const QVariantList& params = {},
                      bool* written = nullptr) const;
    // The table's column names, as stored.
    QStringList columnNames() const;
    QString table() const { return Database::quoteId(m_id); }
    QVector<Reading> select(const QString& where, const QString& order) const;
    QString selectText(const QString& where, const QString& order) const;
    // The readings of a text whose columns from `first` on are those of selectText.
    QVector<Reading> readingsOf(const QString& sql, int first = 0) const;

    Database& m_db;
    QString m_id;
};

class ReadingStore::Insertion {
public:
    explicit Insertion(const ReadingStore& store, bool write = true);
    ~Insertion();
    // false: the reading's key is taken, by the table or by an earlier reading of this
    // insertion; it is not inserted.
    bool add(const Reading& reading);
    void commit();

private:
    struct Keys;
    const ReadingStore& m_store;
    std::unique_ptr<Keys> m_keys;
    std::optional<Transaction> m_tx;
    std::unique_ptr<BulkInsert> m_bulk;
    QVector<int> m_columns; // of the columns insert() writes, those the table has
    QByteArray m_prefix;    // of the keys: the id and a blank
    qint64 m_added = 0;
};

} // namespace rv
