#include "db/KeyPages.h"

#include <algorithm>

namespace rv {

namespace {

// Keys read at a time: several screenfuls of a grid, a fraction of a millisecond.
constexpr int kPage = 1024;

} // namespace

KeyPages::KeyPages(Database& db, const QString& table, const QString& column)
    : m_db(db), m_name(table), m_table(Database::quoteId(table)), m_column(Database::quoteId(column))
{
}

std::unique_ptr<KeyPages> KeyPages::open(Database& db, const QString& table, const QString& column, Along along)
{
    if (!db.indexLeadsWith(table, column))
        return nullptr;
    // Quoted as the table spells it: a server folds the unquoted names it was made with.
    QString stored = column;
    for (const Database::Column& c : db.columns(table))
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            stored = c.name;
    std::unique_ptr<KeyPages> pages(new KeyPages(db, table, stored));
    pages->m_along = std::move(along);
    if (!db.changesColumn().isEmpty())
        return pages->openAtEnd() ? std::move(pages) : nullptr;
    pages->m_base = static_cast<int>(db.rowCount(table, &pages->m_changes));
    if (db.hasNull(table, stored, pages->m_changes))
        return nullptr;
    return pages;
}

bool KeyPages::openAtEnd()
{
    // One read tells the changes, whether a key is missing and the last page with the newest row: while
    // the count remembered holds at those changes, entering costs that read alone.
    quint64 changes = 0;
    Head head;
    const Way way = m_along.fromStart ? Way::Forward : Way::Backward;
    Page page = fetch(way, nullptr, kPage / 8, 0, &changes, &head);
    if (head.nulls)
        return false;
    if (head.rows >= 0) {
        m_base = static_cast<int>(head.rows);
        m_changes = changes;
    } else {
        m_base = static_cast<int>(m_db.rowCountAt(m_name, changes, &m_changes));
        // Counted afresh at later changes: a key made Null meanwhile is seen there.
        if (m_changes != changes && m_db.hasNull(m_name, m_column.mid(1, m_column.size() - 2), m_changes))
            return false;
    }
    if (m_changes == changes && !page.rowids.isEmpty() && page.rowids.size() <= m_base) {
        if (way == Way::Forward) {
            file(0, std::move(page));
            return true;
        }
        std::reverse(page.rowids.begin(), page.rowids.end());
        std::swap(page.first, page.last);
        const int start = m_base - static_cast<int>(page.rowids.size());
        file(start, std::move(page));
    }
    return true;
}

Statement KeyPages::prepare(const QString& sql) const
{
    // A text naming added rows is made for them alone: it is not kept.
    return m_appended.isEmpty() ? m_db.prepare(sql) : m_db.prepareTransient(sql);
}

qint64 KeyPages::number(const QString& sql, const QVariantList& params) const
{
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.step() ? st.columnInteger(0) : 0;
}

bool KeyPages::changedSince() const
{
    return m_db.changesOf(m_name) != m_changes;
}

QString KeyPages::excluded() const
{
    if (m_appended.isEmpty())
        return QString();
    QStringList ids;
    for (const qint64 rowid : m_appended)
        ids << QString::number(rowid);
    return QStringLiteral(" AND rowid NOT IN (") + ids.join(QLatin1Char(',')) + QLatin1Char(')');
}

qint64 KeyPages::rowidAt(int position) const
{
    if (position < 0 || position >= count())
        return 0;
    if (position >= m_base)
        return m_appended[position - m_base];
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto it = m_runs.upper_bound(position);
        if (it != m_runs.begin()) {
            --it;
            if (position < it->second.end(it->first))
                return it->second.rowids[position - it->first];
        }
        if (attempt == 0)
            load(position);
    }
    return 0; // fewer rows than counted: the table changed since
}

void KeyPages::load(int position) const
{
    // The gap of unread positions around it, and the runs on either side as anchors.
    const auto next = m_runs.upper_bound(position);
    const Run* before = nullptr;
    int gapStart = 0;
    if (next != m_runs.begin()) {
        const auto prev = std::prev(next);
        before = &prev->second;
        gapStart = prev->second.end(prev->first);
    }
    const Run* after = next == m_runs.end() ? nullptr : &next->second;
    const int gapEnd = after ? next->first : m_base;
    if (position < gapStart || position >= gapEnd)
        return;
    // From the nearer side: next to a run a page continues it, further away a page is skipped to.
    const int ahead = position - gapStart;
    const int behind = gapEnd - 1 - position;
    const auto skipOf = [](int distance) { return distance < kPage ? 0 : distance - kPage / 2; };
    const auto limitOf = [&](int distance, int skip) {
        return std::min(gapEnd - gapStart - skip, skip == 0 ? distance + kPage : kPage);
    };
    // Counting from the end holds only while the table has the rows counted: where the engine
    // tells it from the read itself, no question is asked before.
    const bool toldByRead = !m_db.changesColumn().isEmpty();
    if (ahead > behind && (toldByRead || !changedSince())) {
        const int skip = skipOf(behind);
        quint64 changes = m_changes;
        // The rows from the position on are those before it in this way.
        const int limit = limitOf(behind, skip);
        Page page = fetch(Way::Backward, after ? &after->first : nullptr, limit, skip, toldByRead ? &changes : nullptr);
        if (!page.rowids.isEmpty() && changes == m_changes) {
            std::reverse(page.rowids.begin(), page.rowids.end());
            std::swap(page.first, page.last);
            const int start = gapEnd - skip - static_cast<int>(page.rowids.size());
            file(start, std::move(page));
            return;
        }
    }
    const int skip = skipOf(ahead);
    // Keys alone: rows joined to a page's keys cost the server more than the row read that follows.
    file(gapStart + skip, fetch(Way::Forward, before ? &before->last : nullptr, limitOf(ahead, skip), skip));
}

KeyPages::Page KeyPages::fetch(Way way, const Bound* beyond, int limit, int skip, quint64* changes, Head* head) const
{
    const bool forward = way == Way::Forward;
    const QString beyondOp = forward ? QStringLiteral(" > ") : QStringLiteral(" < ");
    QString where = QStringLiteral("TRUE");
    QVariantList params;
    if (beyond) {
        // A long skip compares the key alone, which the index answers without looking at each
        // row; the rows tied with the bound are skipped by count.
        const qint64 tied = skip > 0 ? countTied(way, *beyond) : 0;
        if (skip > 0 && skip >= tied) {
            where = m_column + beyondOp + QStringLiteral("?");
            params << beyond->key;
            skip -= static_cast<int>(tied);
        } else {
            where = QStringLiteral("(") + m_column + QStringLiteral(", rowid)") + beyondOp + QStringLiteral("(?, ?)");
            params << beyond->key << beyond->rowid;
        }
    }
    const QString order = m_column + (forward ? QStringLiteral(", rowid") : QStringLiteral(" DESC, rowid DESC"));
    const bool along = head && m_along.keep;
    QString sql;
    QString kept; // the engine's own count, read with the page on opening
    int extra = 2; // the columns before the row's own
    if (!head) {
        sql = QStringLiteral("SELECT rowid, ") + m_column + (changes ? m_db.changesColumn() : QString())
              + QStringLiteral(" FROM ") + m_table + QStringLiteral(" WHERE ") + where + excluded()
              + QStringLiteral(" ORDER BY ") + order + QStringLiteral(" LIMIT ? OFFSET ?");
        params << limit << skip;
    } else {
        // Opening: the keys numbered in their order, the first rows' columns joined to their keys; it
        // reads at least one row, so that what it asks besides comes back from an empty table too.
        const QString keys = QStringLiteral("(SELECT rowid, ") + m_column + QStringLiteral(" AS rv_key, row_number() OVER (ORDER BY ")
                             + order + QStringLiteral(") AS rv_n FROM ") + m_table + QStringLiteral(" WHERE ") + where
                             + excluded() + QStringLiteral(" ORDER BY ") + order + QStringLiteral(" LIMIT ? OFFSET ?) AS k");
        params << limit << skip;
        sql = QStringLiteral("SELECT k.rowid, k.rv_key, k.rv_n") + (changes ? m_db.changesColumn() : QString());
        extra = 3 + (changes ? 1 : 0);
        kept = m_db.keptCountColumn(m_name);
        sql += kept + QStringLiteral(", EXISTS (SELECT 1 FROM ") + m_table + QStringLiteral(" WHERE ") + m_column
               + QStringLiteral(" IS NULL)");
        extra += kept.isEmpty() ? 1 : 2;
        if (along)
            sql += QStringLiteral(", r.*");
        sql += QStringLiteral(" FROM (SELECT 1) AS one LEFT JOIN LATERAL ") + keys + QStringLiteral(" ON TRUE");
        if (along) {
            // OFFSET 0 keeps the join a look-up per wanted key, not a scan of the table.
            sql += QStringLiteral(" LEFT JOIN LATERAL (SELECT ") + m_along.columns + QStringLiteral(" FROM ") + m_table
                   + QStringLiteral(" WHERE rowid = k.rowid AND k.rv_n <= ? OFFSET 0) AS r ON TRUE");
            params << skip + m_along.rows;
        }
        sql += QStringLiteral(" LIMIT ?"); // says to the engine that a few rows come back
        params << std::max(limit, 1);
    }
    Statement st = prepare(sql);
    st.bindAll(params);
    Page page;
    page.rowids.reserve(limit);
    QVector<qint64> rowids; // by their number in the order, where the join may have moved them
    const bool numbered = extra > 2;
    bool first = true;
    while (st.step()) {
        if (first) {
            first = false;
            if (changes)
                *changes = m_db.changesOfAt(m_name, st.column(numbered ? 3 : 2));
            if (head) {
                head->nulls = st.columnInteger(extra - 1) != 0;
                if (!kept.isEmpty() && !st.column(extra - 2).isNull())
                    head->rows = st.columnInteger(extra - 2);
            }
        }
        if (st.column(0).isNull())
            continue; // no key: the table is empty
        const qint64 rowid = st.columnInteger(0);
        const Bound bound{st.column(1), rowid};
        if (!numbered) {
            page.rowids.append(rowid);
            page.last = bound;
            if (page.rowids.size() == 1)
                page.first = bound;
            continue;
        }
        const int at = static_cast<int>(st.columnInteger(2)) - skip - 1;
        if (at < 0 || at >= limit)
            continue;
        if (rowids.size() <= at)
            rowids.resize(at + 1);
        rowids[at] = rowid;
        if (at == 0)
            page.first = bound;
        if (at + 1 >= rowids.size())
            page.last = bound;
        if (along && at < m_along.rows) {
            QVector<QVariant> values(st.columnCount() - extra);
            for (int i = 0; i < values.size(); ++i)
                values[i] = st.column(extra + i);
            m_along.keep(rowid, std::move(values));
        }
    }
    if (numbered)
        page.rowids = std::move(rowids);
    return page;
}

void KeyPages::file(int start, Page page) const
{
    if (page.rowids.isEmpty())
        return;
    auto it = m_runs.emplace(start, Run{std::move(page.rowids), page.first, page.last}).first;
    if (it != m_runs.begin()) {
        const auto prev = std::prev(it);
        if (prev->second.end(prev->first) == start) {
            prev->second.rowids += it->second.rowids;
            prev->second.last = it->second.last;
            m_runs.erase(it);
            it = prev;
        }
    }
    const auto next = std::next(it);
    if (next != m_runs.end() && it->second.end(it->first) == next->first) {
        it->second.rowids += next->second.rowids;
        it->second.last = next->second.last;
        m_runs.erase(next);
    }
}

qint64 KeyPages::countTied(Way way, const Bound& bound) const
{
    return number(QStringLiteral("SELECT count(*) FROM ") + m_table + QStringLiteral(" WHERE ") + m_column
                      + QStringLiteral(" = ? AND rowid ") + (way == Way::Forward ? QStringLiteral(">") : QStringLiteral("<"))
                      + QStringLiteral(" ?") + excluded(),
                  {bound.key, bound.rowid});
}

qint64 KeyPages::countBeyond(Way way, const Bound& bound, qint64 limit, const Bound* upTo) const
{
    QVariantList params{bound.key};
    QString where = QStringLiteral(" FROM ") + m_table + QStringLiteral(" WHERE ") + m_column
                    + (way == Way::Forward ? QStringLiteral(" > ?") : QStringLiteral(" < ?"));
    if (upTo) {
        // The rows tied with the outer bound lie on its near side: it ends the order that way.
        where += QStringLiteral(" AND ") + m_column + (way == Way::Forward ? QStringLiteral(" <= ?") : QStringLiteral(" >= ?"));
        params << upTo->key;
    }
    where += excluded();
    // A limited count in the index's order: a server whose table is not yet vacuumed would rather
    // read the whole table, the rows another is importing with it.
    const QString sql = limit < 0 ? QStringLiteral("SELECT count(*)") + where
                                  : QStringLiteral("SELECT count(*) FROM (SELECT 1") + where + QStringLiteral(" ORDER BY ")
                                        + m_column + QStringLiteral(" LIMIT ") + QString::number(limit)
                                        + QStringLiteral(") AS limited"); // the server wants the name
    return number(sql, params) + countTied(way, bound);
}

int KeyPages::positionOf(qint64 rowid, int hint) const
{
    if (const int i = static_cast<int>(m_appended.indexOf(rowid)); i >= 0)
        return m_base + i;
    for (const auto& [start, run] : m_runs) {
        if (const int i = static_cast<int>(run.rowids.indexOf(rowid)); i >= 0)
            return start + i;
    }
    const auto rows = m_db.query(QStringLiteral("SELECT ") + m_column + QStringLiteral(" FROM ") + m_table
                                     + QStringLiteral(" WHERE rowid = ?"),
                                 {rowid});
    if (rows.isEmpty() || rows.first().value(0).isNull())
        return -1;
    const Bound bound{rows.first().value(0), rowid};
    // Counted from the nearer end, as far as it can be told: a count reads every key it counts.
    qint64 position = -1;
    const qint64 half = m_base - m_base / 2;
    if ((hint < 0 || hint >= m_base / 2) && !changedSince()) {
        // Up to the last row read, where it was: keys added beyond it since (another's import not yet
        // committed, or one taken back) are not passed, each of which the server would check.
        const Bound* last = nullptr;
        if (!m_runs.empty() && m_runs.rbegin()->second.end(m_runs.rbegin()->first) == m_base)
            last = &m_runs.rbegin()->second.last;
        const qint64 after = countBeyond(Way::Forward, bound, half, last);
        if (after < half)
            position = m_base - 1 - after;
    }
    if (position < 0)
        position = countBeyond(Way::Backward, bound, -1);
    if (position < 0 || position >= m_base)
        return -1; // the table changed since it was counted
    const int at = static_cast<int>(position);
    const auto it = m_runs.upper_bound(at);
    if (it != m_runs.begin() && at < std::prev(it)->second.end(std::prev(it)->first))
        return -1; // another row was read at that place: the table changed since
    file(at, Page{{rowid}, bound, bound});
    return at;
}

void KeyPages::remove(int position)
{
    if (position < 0 || position >= count())
        return;
    m_changes = m_db.changesOf(m_name); // the set's own deletion
    if (position >= m_base) {
        m_appended.remove(position - m_base);
        return;
    }
    --m_base;
    // The bounds of a run stay those of the rows read: the deleted row's key still divides the
    // rows before it from those after it.
    std::map<int, Run> shifted;
    for (auto& [start, run] : m_runs) {
        if (start > position) {
            shifted.emplace(start - 1, std::move(run));
        } else if (position < run.end(start)) {
            run.rowids.remove(position - start);
            if (!run.rowids.isEmpty())
                shifted.emplace(start, std::move(run));
        } else {
            shifted.emplace(start, std::move(run));
        }
    }
    m_runs = std::move(shifted);
}

void KeyPages::append(qint64 rowid)
{
    m_changes = m_db.changesOf(m_name);
    m_appended.append(rowid);
}

QVector<qint64> KeyPages::all() const
{
    QVector<qint64> rowids;
    rowids.reserve(count());
    Statement st = prepare(QStringLiteral("SELECT rowid FROM ") + m_table + QStringLiteral(" WHERE TRUE") + excluded()
                                + QStringLiteral(" ORDER BY ") + m_column + QStringLiteral(", rowid"));
    while (st.step())
        rowids.append(st.columnInteger(0));
    return rowids + m_appended;
}

} // namespace rv
