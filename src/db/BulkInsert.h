#pragma once
// Many rows into one table, written as fast as the engine takes them: on SQLite by a prepared
// INSERT of several rows at a time, on a server by one COPY that streams the rows while more are
// being made. Inside the caller's transaction, when one is open; triggers fire as for an INSERT.
#include "db/Database.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace rv {

namespace detail {
class PgCopy;
}

class BulkInsert {
public:
    // The table and its columns as the SQL texts name them (quoted where they must be);
    // perStatement: rows per INSERT on SQLite. The database must outlive the insertion.
    BulkInsert(Database& db, const QString& table, const QStringList& columns, int perStatement);
    ~BulkInsert(); // rows not written by finish() are dropped (on a server the copy is undone)
    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    // A row's values in the order of the columns, then endRow(). Values are stored as a
    // statement's bound values are (a NaN as Null).
    void null();
    void number(double value);
    void integer(qint64 value);
    void utf8(QByteArrayView text);
    void text(const QString& text);
    void endRow();
    // Writes the rows still held. A failed write throws from endRow() or finish(); on a server
    // also from the next statement of the connection, which ends the copy before it runs.
    void finish();

private:
    struct Value {
        enum Kind : char { Null, Number, Integer, Text } kind;
        double number;
        qint64 integer; // or a text's start in m_texts
        qsizetype size;
    };
    void add(const Value& value);
    void write(); // the rows held, a statement's worth in one, fewer one at a time

    Database& m_db;
    int m_columns;
    int m_inRow = 0; // values of the row being made
    std::unique_ptr<detail::PgCopy> m_copy; // on a server
    // On SQLite: the rows not yet written, their texts side by side.
    Statement m_one, m_many;
    int m_perStatement = 1;
    std::vector<Value> m_values;
    QByteArray m_texts;
};

} // namespace rv
