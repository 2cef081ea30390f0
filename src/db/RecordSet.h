#pragma once
// A client-side record set over one table: the rows of a query held in memory, a current
// position, moves, a forward find, a filter, bookmarks (the rowid, stable across requery)
// and writes that go straight to the table by rowid.
#include "db/Database.h"

#include <QHash>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace rv {

class KeyPages;

class RecordSet {
public:
    // sql is a single-table SELECT ("SELECT * FROM t ORDER BY x", "SELECT t.* FROM t ..."),
    // optionally with bound parameters. Opens at once; the current row is the first one.
    // Other queries (joins, DISTINCT) open read-only: writes throw 3251.
    RecordSet(Database& db, const QString& sql, const QVariantList& params = {});
    // A keyset: the same behaviour, but only the rowids are held (in order) and rows are read by
    // rowid when asked for, through a small cache. For tables too large to hold; the rows read
    // are those of the table at that moment. A query that cannot be written back opens as above.
    // A whole table in the order of an indexed column ("SELECT * FROM t ORDER BY c") holds only
    // its count at first and reads the rowids a page at a time where they are asked for; a
    // filter reads them all.
    // fromStart: shown from its first row on (a grid), not from its newest.
    struct Keyset {
        bool fromStart = false;
    };
    RecordSet(Database& db, const QString& sql, const QVariantList& params, Keyset);
    ~RecordSet();
    bool isKeyset() const { return m_keyset; }

    Database& database() const { return m_db; }
    QString table() const { return m_table; }

    void requery(); // re-reads the rows; the current row becomes the first; the filter stays

    // Rows visible through the filter.
    int recordCount() const;
    // An empty set is at BOF and EOF at once. Standing on a just deleted row, or on a new row
    // after addNew, is neither.
    bool bof() const;
    bool eof() const;
    bool isEmpty() const { return recordCount() == 0; }
    // 1-based position of the current row; kPosBOF / kPosEOF when not on a row.
    int absolutePosition() const;
    static constexpr int kPosBOF = -2;
    static constexpr int kPosEOF = -3;
    void setAbsolutePosition(int position); // throws 3021 when out of range

    // Moves discard an unstored edit. moveNext at EOF and movePrevious at BOF throw 3021.
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    // Searches from the current row forward (inclusive) for a row whose field equals the value
    // (texts compared without regard to case, numbers by value). Not found: stands at EOF.
    bool find(const QString& field, const QVariant& value);

    int fieldCount() const { return m_fields.size(); }
    QString fieldName(int index) const { return m_fields[index].name; }
    int fieldIndex(const QString& name) const; // case-insensitive; -1 when absent (by name: throws 3265)
    bool isNumericField(int index) const { return m_fields[index].numeric; }

    // Values of the current row (including an unstored edit). Throw 3021 when not on a row.
    // Null, qint64 (INTEGER columns, whole numbers in NUMERIC ones), double (REAL) or QString.
    QVariant value(const QString& field) const;
    QVariant value(int index) const;
    // Value as text; Null gives "", a whole double gives "2400", others the shortest form "7.48".
    QString text(const QString& field) const;
    QString text(int index) const;
    // Any visible row by 0-based index, without moving (for grids and loops).
    QVariant valueAt(int row, int index) const;

    // Edits the current row (or the new row after addNew). A number field takes a number or a
    // numeric text and stores an empty text as Null; any other text throws 13 "Type mismatch".
    // A bool is stored as 1/0; a QDateTime as "yyyy-MM-dd HH:mm:ss", a QDate as "yyyy/MM/dd";
    // a text field takes any value as text. A "NUMERIC TEXT" column takes only numbers, like a
    // number field, but keeps the text as written ("2.0").
    void setValue(const QString& field, const QVariant& value);
    void setValue(int index, const QVariant& value);
    void addNew();     // starts a new row; update() inserts it and it becomes the last row
    // Stores the edit whole or not at all; after a failure the edit stays pending (cancelUpdate
    // or a move drops it) and the held values are unchanged.
    void update();
    void cancelUpdate();
    bool editPending() const { return m_editing; }
    // Deletes the current row from the table; the set then stands on the deleted row
    // (no current record) until the next move; moveNext goes to the row that followed it.
    void deleteCurrent();

    qint64 bookmark() const; // throws 3021 when not on a row
    void setBookmark(qint64 bookmark); // throws 3021 when no visible row has it

    using Predicate = std::function<bool(const RecordSet&, int row)>; // row: index into all rows
    void setFilter(Predicate predicate); // current row becomes the first visible one
    void clearFilter();
    bool filtered() const { return static_cast<bool>(m_filter); }
    // Value of any held row (by index into all rows), for filter predicates.
    QVariant rawValue(int row, int index) const { return cell(row, index); }

private:
    void load();
    QVariant cell(int row, int index) const; // by index into all rows
    const QVector<QVariant>& keysetRow(int row) const;
    void keepInCache(qint64 rowid, QVector<QVariant> values) const;
    void readAhead(int row) const; // the row and those after it, into the cache
    qint64 rowidOf(int row) const;  // by index into all rows
    int viewRow(int position) const; // 0-based visible position -> index into all rows
    void rebuildView();
    int currentRow() const; // index into all rows, -1 when none
    void requireRow() const;
    QVariant convertForField(int index, const QVariant& value) const;
    void discardEdit();
    void beginEdit();
    void insertRow();
    void updateRow();
    QStringList dirtyColumns() const;
    void requireWritable() const;
    int requireField(const QString& name) const;
    int viewIndexOfRow(int row) const;

    Database& m_db;
    QString m_sql;
    QVariantList m_params;
    QString m_table;
    QString m_selectSql;            // m_sql with the rowid column in front
    bool m_readOnly = false;        // no rowid to write back by
    QVector<Database::Column> m_fields;
    QVector<QString> m_origins;     // table column behind each field; empty for expressions
    QHash<QString, int> m_exactIndex; // field name -> index, exact spelling
    enum class Affinity : char { Text, Integer, Real, Numeric, NumericText };
    QVector<Affinity> m_affinity;   // how each field's column stores a number
    std::map<QByteArray, Statement> m_updates; // UPDATE per set of edited fields
    QVector<QVariant> m_values;     // rows * fields, flat
    QVector<qint64> m_rowids;       // per row
    QVector<bool> m_deleted;        // per row
    QVector<int> m_view;            // visible rows (indices), in order
    int m_pos = 0;                  // index into m_view; -1 BOF, m_view.size() EOF
    bool m_onDeleted = false;
    Predicate m_filter;
    mutable QHash<qint64, int> m_byRowid; // rowid -> row, built on demand

    // Keyset: rows read on demand, the oldest read dropped first.
    bool m_keyset = false;
    bool m_fromStart = false; // Keyset::fromStart
    QString m_keysSql;              // the query's rowids, in its order
    QString m_orderColumn;          // the one column a whole table is ordered by; else empty
    // Paged: the rows are the positions themselves (no view, no filter).
    std::unique_ptr<KeyPages> m_pages;
    qint64 m_hintRowid = 0;         // the row current before a requery, and where it stood
    int m_hintPosition = -1;
    mutable Statement m_rowRead;    // one row by rowid
    mutable Statement m_rowsRead;   // rows by rowid, as many as the engine reads at once (else none)
    mutable QHash<qint64, QVector<QVariant>> m_cache; // rowid -> values
    mutable std::deque<qint64> m_cacheOrder;
    QVector<QVariant> m_nullRow;    // a row gone from the table

    bool m_editing = false;
    bool m_adding = false;
    QVector<QVariant> m_edit;       // edit buffer for the current or new row
    QVector<bool> m_dirty;
};

// The row of a table (as SQL names it) with that rowid as stored now, read as a record set of the
// whole table reads it, and held against other connections' writes until the transaction ends
// (Database::holdingRows): what a save compares with the row it showed. Null when the row is gone.
std::unique_ptr<RecordSet> lockedRow(Database& db, const QString& table, qint64 rowid);

} // namespace rv
