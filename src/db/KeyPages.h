#pragma once
// The rowids of a whole table in the order of one indexed column (ties by rowid), read through
// the index a page at a time when a position is asked for: from the front, from the back, or
// from the nearest page already read. Opening costs a count, whatever the size of the table.
#include "db/Database.h"

#include <functional>
#include <map>
#include <memory>

namespace rv {

class KeyPages {
public:
    // The rows read along with the opening's keys, where a read costs a round trip: the newest,
    // or the first `rows` of a set shown from its start; their columns (as a SELECT lists them),
    // each row handed to keep.
    struct Along {
        QString columns;
        std::function<void(qint64 rowid, QVector<QVariant> values)> keep;
        bool fromStart = false;
        int rows = 1;
    };
    // Null when the table cannot be paged so: no index leads with the column, or a row has no
    // key (Null sorts apart from every key). Where the engine tells the change mark from a read,
    // the count is checked by reading the last page (or the first) and its rows along at once.
    static std::unique_ptr<KeyPages> open(Database& db, const QString& table, const QString& column, Along along);
    static std::unique_ptr<KeyPages> open(Database& db, const QString& table, const QString& column)
    {
        return open(db, table, column, Along());
    }

    int count() const { return m_base + m_appended.size(); }
    // 0 when the table no longer holds a row at that position.
    qint64 rowidAt(int position) const;
    // -1 when no position holds it. hint: where the row was last seen (-1: unknown); it only
    // chooses the end to count from.
    int positionOf(qint64 rowid, int hint = -1) const;
    // A row deleted from the table: the positions after it move up by one.
    void remove(int position);
    // A row added to the table is shown after all others, wherever its key would put it.
    void append(qint64 rowid);
    // Every rowid in order: the table's, then the added ones.
    QVector<qint64> all() const;

private:
    KeyPages(Database& db, const QString& table, const QString& column);

    // A key of the order, and what lies next to it.
    struct Bound {
        QVariant key;
        qint64 rowid = 0;
    };
    // Consecutive positions read, from the position it is filed under.
    struct Run {
        QVector<qint64> rowids;
        Bound first, last;
        int end(int start) const { return start + rowids.size(); }
    };
    enum class Way { Forward, Backward };
    struct Page {
        QVector<qint64> rowids; // in the way's order
        Bound first, last;
    };
    // What the opening read learns besides the page.
    struct Head {
        bool nulls = false; // a row has no key
        qint64 rows = -1;   // the rows the engine keeps counted, -1 where it keeps none
    };

    void load(int position) const;
    // Up to limit rows beyond a bound (or from that end of the table), the first skip of them left out.
    // changes, when given, receives changesOf the table as of the read (where the engine tells it);
    // head, when given, what opening needs, and the page's first rows come along (m_along).
    Page fetch(Way way, const Bound* beyond, int limit, int skip, quint64* changes = nullptr, Head* head = nullptr) const;
    bool openAtEnd(); // false: the table cannot be paged; the end m_along says
    void file(int start, Page page) const; // filed as a run, joined to the runs it touches
    // The rows beyond a bound (up to limit of those with other keys; -1: all), as far as upTo when
    // given: the last row of the order that way.
    qint64 countBeyond(Way way, const Bound& bound, qint64 limit, const Bound* upTo = nullptr) const;
    qint64 countTied(Way way, const Bound& bound) const;
    QString excluded() const; // the added rows, left out of the table's order
    Statement prepare(const QString& sql) const;
    qint64 number(const QString& sql, const QVariantList& params) const; // the first column of the first row
    // Rows added or deleted since the count by others than this set: the positions at the end
    // no longer hold, so pages are read forward only (a row gone shows at the end as none).
    bool changedSince() const;

    Database& m_db;
    Along m_along;
    QString m_name;
    quint64 m_changes = 0; // the table's changes when the rows were counted
    QString m_table;  // quoted
    QString m_column; // quoted
    int m_base = 0;   // rows of the table's order still shown
    QVector<qint64> m_appended;
    mutable std::map<int, Run> m_runs; // by start position; never overlapping
};

} // namespace rv
