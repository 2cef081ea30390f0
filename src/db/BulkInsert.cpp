#include "db/BulkInsert.h"

#include "db/Postgres.h"

#include <algorithm>
#include <utility>

namespace rv {

BulkInsert::BulkInsert(Database& db, const QString& table, const QStringList& columns, int perStatement)
    : m_db(db), m_columns(int(columns.size()))
{
    if (db.m_pg) {
        m_copy = std::make_unique<detail::PgCopy>(db.m_pg, table, columns);
        return;
    }
    m_perStatement = std::max(1, perStatement);
    const QString insert = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (")
                           + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ");
    const QString row = QLatin1Char('(') + QStringList(m_columns, QStringLiteral("?")).join(QStringLiteral(", "))
                        + QLatin1Char(')');
    // Not kept in the connection's cache: a copy of a file writes thousands of tables once each.
    m_one = db.prepareTransient(insert + row);
    m_many = db.prepareTransient(insert + QStringList(m_perStatement, row).join(QStringLiteral(", ")));
    m_values.reserve(size_t(m_perStatement) * size_t(m_columns));
    m_texts.reserve(m_perStatement * 64);
}

BulkInsert::~BulkInsert() = default;

void BulkInsert::add(const Value& value)
{
    if (++m_inRow > m_columns)
        throw RvError(25, QStringLiteral("more values than columns in a row")); // SQLITE_RANGE
    if (!m_copy)
        m_values.push_back(value);
}

void BulkInsert::null()
{
    add({Value::Null, 0, 0, 0});
    if (m_copy)
        m_copy->null();
}

void BulkInsert::number(double value)
{
    add({Value::Number, value, 0, 0});
    if (m_copy)
        m_copy->number(value);
}

void BulkInsert::integer(qint64 value)
{
    add({Value::Integer, 0, value, 0});
    if (m_copy)
        m_copy->integer(value);
}

void BulkInsert::utf8(QByteArrayView text)
{
    add({Value::Text, 0, m_texts.size(), text.size()});
    if (m_copy)
        m_copy->text(text);
    else
        m_texts.append(text);
}

void BulkInsert::text(const QString& text)
{
    utf8(text.toUtf8());
}

void BulkInsert::endRow()
{
    if (std::exchange(m_inRow, 0) != m_columns)
        throw RvError(25, QStringLiteral("fewer values than columns in a row"));
    if (m_copy)
        m_copy->endRow();
    else if (m_values.size() == size_t(m_perStatement) * size_t(m_columns))
        write();
}

void BulkInsert::finish()
{
    if (m_copy) {
        m_copy->finish();
    } else {
        write();
        m_one.reset();
        m_many.reset();
    }
    m_db.announceCommitted(); // what committed itself outside a transaction
}

void BulkInsert::write()
{
    const size_t count = m_values.size() / size_t(m_columns);
    if (count == 0)
        return;
    const bool whole = count == size_t(m_perStatement);
    Statement& st = whole ? m_many : m_one;
    // reset() leaves every value Null: Nulls are not bound.
    st.reset();
    int param = 0;
    for (size_t i = 0; i < m_values.size(); ++i) {
        const Value& v = m_values[i];
        ++param;
        switch (v.kind) {
        case Value::Null: break;
        case Value::Number: st.bindNumber(param, v.number); break;
        case Value::Integer: st.bindInteger(param, v.integer); break;
        case Value::Text: st.bindUtf8(param, QByteArrayView(m_texts.constData() + v.integer, v.size)); break;
        }
        if (!whole && param == m_columns) {
            while (st.step()) {
            }
            st.reset();
            param = 0;
        }
    }
    if (whole) {
        while (st.step()) {
        }
    }
    m_values.clear();
    m_texts.truncate(0); // the room stays for the next rows
}

} // namespace rv
