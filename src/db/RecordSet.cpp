#include "db/RecordSet.h"

#include "db/KeyPages.h"
#include "db/StoredForms.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace rv {

namespace {

const QString kBookmarkColumn = QStringLiteral("rv_bookmark_");
// Rows a keyset keeps read: a few screenfuls of a grid.
constexpr int kCachedRows = 1024;

RvError notUpdatable()
{
    return RvError(3251, QStringLiteral("Current Recordset does not support updating. This may be a limitation "
                                        "of the provider, or of the selected locktype."));
}

RvError rowNotFound()
{
    return RvError(-2147217864, QStringLiteral("Row cannot be located for updating. Some values may have been "
                                               "changed since it was last read."));
}

// A whole text as a number, "." as the decimal point, blanks around it allowed.
bool parseNumber(const QString& text, double& number)
{
    bool ok = false;
    number = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(number);
}

QString numberText(double d)
{
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<qint64>(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString textOf(const QVariant& v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(v.toDouble());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDateTime:
        return fullDateText(v.toDateTime());
    case QMetaType::QDate:
        return dateText(v.toDate(), '/');
    default:
        return v.toString();
    }
}

// The number as the column stores it: integer and numeric affinity keep whole numbers as integers.
QVariant storedNumber(double d, bool realAffinity)
{
    if (!realAffinity && d == std::floor(d) && std::fabs(d) < 9.0e15)
        return QVariant(static_cast<qint64>(d));
    return QVariant(d);
}

// Equality without regard to case. Checked from the end: reading keys share their
// beginning (the sensor number) and differ in the time at the end.
bool sameText(const QString& a, const QString& b)
{
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = n - 1; i >= 0; --i) {
        const char16_t x = pa[i].unicode();
        const char16_t y = pb[i].unicode();
        if (x == y)
            continue;
        if (x < 128 && y < 128) {
            if ((x | 0x20) != (y | 0x20) || !((x | 0x20) >= 'a' && (x | 0x20) <= 'z'))
                return false;
        } else {
            return a.compare(b, Qt::CaseInsensitive) == 0;
        }
    }
    return true;
}

const QString* stringIn(const QVariant& v)
{
    return v.typeId() == QMetaType::QString ? static_cast<const QString*>(v.constData()) : nullptr;
}

bool numberIn(const QVariant& v, double& number)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        number = static_cast<double>(*static_cast<const qint64*>(v.constData()));
        return true;
    case QMetaType::Double:
        number = *static_cast<const double*>(v.constData());
        return true;
    default:
        if (Database::isNumberType(v.typeId())) {
            number = v.toDouble();
            return true;
        }
        return false;
    }
}

} // namespace

RecordSet::RecordSet(Database& db, const QString& sql, const QVariantList& params)
    : m_db(db), m_sql(sql), m_params(params)
{
    // The rowid rides along as a hidden first column: it is the bookmark and the key of writes.
    static const QRegularExpression leadingSelect(QStringLiteral("^\\s*SELECT\\s+(?!DISTINCT\\b)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = leadingSelect.match(sql);
    if (m.hasMatch())
        m_selectSql = sql.left(m.capturedEnd()) + QStringLiteral("rowid AS ") + kBookmarkColumn
                      + QStringLiteral(", ") + sql.mid(m.capturedEnd());
    load();
    rebuildView();
    m_pos = 0;
}

RecordSet::RecordSet(Database& db, const QString& sql, const QVariantList& params, Keyset keyset)
    : m_db(db), m_sql(sql), m_params(params), m_fromStart(keyset.fromStart)
{
    static const QRegularExpression selectList(QStringLiteral("^\\s*SELECT\\s+(?!DISTINCT\\b)(.+?)\\s+FROM\\s+"),
                                               QRegularExpression::CaseInsensitiveOption
                                                   | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = selectList.match(sql);
    if (m.hasMatch()) {
        m_selectSql = QStringLiteral("SELECT rowid AS ") + kBookmarkColumn + QStringLiteral(", ") + m.captured(1)
                      + sql.mid(m.capturedStart(1) + m.capturedLength(1));
        m_keysSql = QStringLiteral("SELECT rowid") + sql.mid(m.capturedStart(1) + m.capturedLength(1));
        m_keyset = true;
        // A whole table in the order of one column can be paged through an index on it.
        static const QRegularExpression wholeTable(
            QStringLiteral("^\\s*FROM\\s+(?:`[^`]+`|\"[^\"]+\"|\\[[^\\]]+\\]|\\w+)\\s+ORDER\\s+BY\\s+"
                           "(`[^`]+`|\"[^\"]+\"|\\[[^\\]]+\\]|\\w+)(?:\\s+ASC)?\\s*;?\\s*$"),
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch order = wholeTable.match(sql.mid(m.capturedEnd(1)));
        if (order.hasMatch() && params.isEmpty()) {
            m_orderColumn = order.captured(1);
            if (!m_orderColumn.front().isLetterOrNumber() && m_orderColumn.front() != QLatin1Char('_'))
                m_orderColumn = m_orderColumn.mid(1, m_orderColumn.size() - 2);
        }
    }
    load();
    rebuildView();
    m_pos = 0;
}

RecordSet::~RecordSet() = default;

void RecordSet::load()
{
    Statement select;
    bool readOnly = m_selectSql.isEmpty();
    if (!readOnly) {
        try {
            select = m_db.prepare(m_selectSql);
        } catch (const RvError&) {
            readOnly = true; // a join or a compound query: readable, not writable
        }
    }
    if (readOnly)
        select = m_db.prepare(m_sql);
    Statement* st = &select;
    st->bindAll(m_params);

    const int offset = readOnly ? 0 : 1;
    QVector<Database::Column> fields;
    QVector<QString> origins;
    QVector<int> shown; // the result columns that are fields
    QString table;
    for (int c = offset; c < st->columnCount(); ++c) {
        const Statement::Source source = st->source(c);
        // A table's own rowid column (the server's surrogate) is the bookmark, not a field.
        if (!readOnly && source.column.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            continue;
        shown.append(c);
        fields.append(Database::Column{st->columnName(c), source.declaredType, Database::isNumericType(source.declaredType)});
        origins.append(source.column);
        if (table.isEmpty())
            table = source.table;
    }
    const int n = shown.size();
    if (table.isEmpty()) {
        static const QRegularExpression from(QStringLiteral("\\bFROM\\s+(`[^`]+`|\"[^\"]+\"|\\[[^\\]]+\\]|\\w+)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = from.match(m_sql);
        if (m.hasMatch()) {
            table = m.captured(1);
            if (table.startsWith(QLatin1Char('`')) || table.startsWith(QLatin1Char('"'))
                || table.startsWith(QLatin1Char('[')))
                table = table.mid(1, table.size() - 2);
        }
    }

    if (m_keyset && !readOnly && !table.isEmpty()) {
        // The rows stay in the table: only their rowids are read, in the query's order.
        QStringList columns;
        for (const QString& origin : origins)
            columns.append(origin.isEmpty() ? QStringLiteral("NULL") : Database::quoteId(origin));
        Statement rowRead = m_db.prepare(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", "))
                                         + QStringLiteral(" FROM ") + Database::quoteId(table)
                                         + QStringLiteral(" WHERE rowid = ?"));
        Statement rowsRead;
        if (const int many = m_db.rowsPerRead(); many > 1)
            rowsRead = m_db.prepare(QStringLiteral("SELECT rowid, ") + columns.join(QStringLiteral(", "))
                                    + QStringLiteral(" FROM ") + Database::quoteId(table)
                                    + QStringLiteral(" WHERE rowid IN (") + QStringList(many, QStringLiteral("?")).join(QLatin1Char(','))
                                    + QLatin1Char(')'));
        m_pages.reset();
        m_cache.clear();
        m_cacheOrder.clear();
        if (!m_orderColumn.isEmpty() && !m_filter) {
            KeyPages::Along along;
            if (rowsRead) // the rows shown first come with the keys
                along = {columns.join(QStringLiteral(", ")),
                         [this](qint64 rowid, QVector<QVariant> values) { keepInCache(rowid, std::move(values)); },
                         m_fromStart, m_fromStart ? m_db.rowsPerRead() : 1};
            m_pages = KeyPages::open(m_db, table, m_orderColumn, std::move(along));
        }
        QVector<qint64> rowids;
        if (!m_pages) {
            Statement keys = m_db.prepare(m_keysSql);
            keys.bindAll(m_params);
            try {
                while (keys.step())
                    rowids.append(keys.columnInteger(0));
            } catch (...) {
                keys.reset();
                throw;
            }
            keys.reset();
        }
        m_nullRow = QVector<QVariant>(n);
        m_values.clear();
        m_values.squeeze();
        m_rowids = std::move(rowids);
        m_rowRead = std::move(rowRead);
        m_rowsRead = std::move(rowsRead);
    } else {
        m_keyset = false;
        QVector<QVariant> values;
        QVector<qint64> rowids;
        try {
            while (st->step()) {
                rowids.append(readOnly ? rowids.size() + 1 : st->columnInteger(0));
                for (const int c : shown)
                    values.append(st->column(c));
            }
        } catch (...) {
            st->reset();
            throw;
        }
        m_values = std::move(values);
        m_rowids = std::move(rowids);
    }
    st->reset();

    m_readOnly = readOnly;
    m_table = table;
    m_fields = std::move(fields);
    m_origins = std::move(origins);
    m_deleted = QVector<bool>(m_rowids.size(), false);
    m_byRowid.clear();
    m_exactIndex.clear();
    for (int i = m_fields.size() - 1; i >= 0; --i)
        m_exactIndex.insert(m_fields[i].name, i);
    m_affinity.clear();
    for (const Database::Column& f : m_fields) {
        const QString t = f.declaredType.toUpper();
        if (!f.numeric)
            m_affinity.append(Affinity::Text);
        else if (t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("CHAR")))
            m_affinity.append(Affinity::NumericText);
        else if (t.contains(QLatin1String("INT")))
            m_affinity.append(Affinity::Integer);
        else if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
            m_affinity.append(Affinity::Real);
        else
            m_affinity.append(Affinity::Numeric);
    }
    m_edit = QVector<QVariant>(m_fields.size());
    m_dirty = QVector<bool>(m_fields.size(), false);
    m_updates.clear();
}

void RecordSet::requery()
{
    discardEdit();
    m_hintRowid = 0;
    m_hintPosition = -1;
    if (m_pages && currentRow() >= 0) {
        m_hintRowid = rowidOf(currentRow());
        m_hintPosition = m_pos;
    }
    load();
    rebuildView();
    m_pos = 0;
    m_onDeleted = false;
}

void RecordSet::rebuildView()
{
    m_view.clear();
    if (m_pages)
        return;
    m_view.reserve(m_rowids.size());
    for (int row = 0; row < m_rowids.size(); ++row) {
        if (!m_deleted[row] && (!m_filter || m_filter(*this, row)))
            m_view.append(row);
    }
}

int RecordSet::recordCount() const
{
    return m_pages ? m_pages->count() : m_view.size();
}

int RecordSet::viewRow(int position) const
{
    return m_pages ? position : m_view[position];
}

qint64 RecordSet::rowidOf(int row) const
{
    return m_pages ? m_pages->rowidAt(row) : m_rowids[row];
}

bool RecordSet::bof() const
{
    if (m_adding || m_onDeleted)
        return false;
    return isEmpty() || m_pos < 0;
}

bool RecordSet::eof() const
{
    if (m_adding || m_onDeleted)
        return false;
    return isEmpty() || m_pos >= recordCount();
}

int RecordSet::absolutePosition() const
{
    if (m_pos < 0)
        return kPosBOF;
    if (m_pos >= recordCount())
        return kPosEOF;
    return m_pos + 1;
}

void RecordSet::setAbsolutePosition(int position)
{
    if (position < 1 || position > recordCount())
        throw noCurrentRecord();
    discardEdit();
    m_onDeleted = false;
    m_pos = position - 1;
}

void RecordSet::moveFirst()
{
    discardEdit();
    m_onDeleted = false;
    m_pos = 0;
}

void RecordSet::moveLast()
{
    discardEdit();
    m_onDeleted = false;
    m_pos = isEmpty() ? 0 : recordCount() - 1;
}

void RecordSet::moveNext()
{
    discardEdit();
    if (m_onDeleted) {
        // The row that followed the deleted one already sits at this position.
        m_onDeleted = false;
        return;
    }
    if (eof())
        throw noCurrentRecord();
    ++m_pos;
}

void RecordSet::movePrevious()
{
    discardEdit();
    if (m_onDeleted) {
        m_onDeleted = false;
        m_pos = std::max(m_pos - 1, -1);
        return;
    }
    if (bof())
        throw noCurrentRecord();
    --m_pos;
}

bool RecordSet::find(const QString& field, const QVariant& value)
{
    const int col = requireField(field);
    discardEdit();
    const int start = std::max(m_pos, 0);
    m_onDeleted = false;

    double number = 0;
    bool valueIsNumber = false;
    QString text;
    if (value.typeId() == QMetaType::Bool) {
        valueIsNumber = true;
        number = value.toBool() ? 1 : 0;
    } else if (numberIn(value, number)) {
        valueIsNumber = true;
    } else {
        text = textOf(value);
    }
    double textNumber = 0;
    const bool textIsNumber = !valueIsNumber && parseNumber(text, textNumber);

    if (!value.isNull()) {
        for (int i = start, n = recordCount(); i < n; ++i) {
            const QVariant cell = this->cell(viewRow(i), col);
            bool match = false;
            double cellNumber;
            if (const QString* s = stringIn(cell)) {
                if (valueIsNumber) {
                    double d;
                    match = parseNumber(*s, d) && d == number;
                } else {
                    match = sameText(*s, text);
                }
            } else if (numberIn(cell, cellNumber)) {
                match = valueIsNumber ? cellNumber == number : (textIsNumber && cellNumber == textNumber);
            }
            if (match) {
                m_pos = i;
                return true;
            }
        }
    }
    m_pos = recordCount();
    return false;
}

int RecordSet::fieldIndex(const QString& name) const
{
    const auto it = m_exactIndex.constFind(name);
    if (it != m_exactIndex.constEnd())
        return it.value();
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int RecordSet::requireField(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw RvError(3265, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                           "name or ordinal."));
    return index;
}

int RecordSet::currentRow() const
{
    if (m_onDeleted || m_pos < 0 || m_pos >= recordCount())
        return -1;
    return viewRow(m_pos);
}

void RecordSet::requireRow() const
{
    if (!m_adding && currentRow() < 0)
        throw noCurrentRecord();
}

QVariant RecordSet::value(const QString& field) const
{
    return value(requireField(field));
}

QVariant RecordSet::value(int index) const
{
    requireRow();
    if (index < 0 || index >= m_fields.size())
        throw RvError(3265, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                           "name or ordinal."));
    if (m_editing && (m_adding || m_dirty[index]))
        return m_edit[index];
    return cell(currentRow(), index);
}

QString RecordSet::text(const QString& field) const
{
    return textOf(value(field));
}

QString RecordSet::text(int index) const
{
    return textOf(value(index));
}

QVariant RecordSet::valueAt(int row, int index) const
{
    return cell(viewRow(row), index);
}

QVariant RecordSet::cell(int row, int index) const
{
    if (m_keyset)
        return keysetRow(row)[index];
    return m_values[static_cast<size_t>(row) * m_fields.size() + index];
}

const QVector<QVariant>& RecordSet::keysetRow(int row) const
{
    const qint64 rowid = rowidOf(row);
    if (rowid == 0)
        return m_nullRow;
    const auto cached = m_cache.constFind(rowid);
    if (cached != m_cache.constEnd())
        return cached.value();
    if (m_rowsRead) {
        readAhead(row);
        return m_cache.constFind(rowid).value();
    }
    // A row gone from the table since the keys were read shows Null throughout.
    QVector<QVariant> values(m_fields.size());
    try {
        m_rowRead.bind(1, rowid);
        if (m_rowRead.step()) {
            for (int i = 0; i < values.size(); ++i)
                values[i] = m_rowRead.column(i);
        }
    } catch (...) {
        m_rowRead.reset();
        throw;
    }
    m_rowRead.reset();
    keepInCache(rowid, std::move(values));
    return m_cache.constFind(rowid).value();
}

void RecordSet::readAhead(int row) const
{
    // The row and those after it not read yet, in one statement: a grid shows them next.
    const int rows = m_pages ? m_pages->count() : static_cast<int>(m_rowids.size());
    const int wanted = m_db.rowsPerRead();
    QVector<qint64> rowids;
    for (int r = row; r < rows && rowids.size() < wanted; ++r) {
        const qint64 rowid = rowidOf(r);
        if (rowid != 0 && !m_cache.contains(rowid))
            rowids.append(rowid);
    }
    QHash<qint64, QVector<QVariant>> read;
    try {
        // The statement takes a fixed number of rowids: the last one repeated fills it.
        for (int i = 0; i < wanted; ++i)
            m_rowsRead.bindInteger(i + 1, rowids[std::min(i, static_cast<int>(rowids.size()) - 1)]);
        while (m_rowsRead.step()) {
            QVector<QVariant> values(m_fields.size());
            for (int i = 0; i < values.size(); ++i)
                values[i] = m_rowsRead.column(i + 1);
            read.insert(m_rowsRead.columnInteger(0), std::move(values));
        }
    } catch (...) {
        m_rowsRead.reset();
        throw;
    }
    m_rowsRead.reset();
    // A row gone from the table since the keys were read shows Null throughout.
    for (const qint64 rowid : rowids)
        keepInCache(rowid, read.value(rowid, m_nullRow));
}

void RecordSet::keepInCache(qint64 rowid, QVector<QVariant> values) const
{
    if (!m_cache.contains(rowid)) {
        while (m_cacheOrder.size() >= static_cast<size_t>(kCachedRows)) {
            m_cache.remove(m_cacheOrder.front());
            m_cacheOrder.pop_front();
        }
        m_cacheOrder.push_back(rowid);
    }
    m_cache.insert(rowid, std::move(values));
}

QVariant RecordSet::convertForField(int index, const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    const Affinity affinity = m_affinity[index];
    if (affinity == Affinity::Text)
        return QVariant(textOf(value));
    if (affinity == Affinity::NumericText) {
        // A number kept in its written form: the text is checked, not converted.
        const QString text = textOf(value).trimmed();
        double d;
        if (text.isEmpty())
            return QVariant();
        if (!parseNumber(text, d))
            throw typeMismatch();
        return QVariant(text);
    }
    const bool real = affinity == Affinity::Real;
    const int type = value.typeId();
    if (type == QMetaType::Bool)
        return QVariant(static_cast<qint64>(value.toBool() ? 1 : 0));
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            throw typeMismatch();
        return storedNumber(d, real);
    }
    if (Database::isNumberType(type))
        return affinity == Affinity::Integer ? QVariant(value.toLongLong()) : storedNumber(value.toDouble(), real);
    if (type == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return QVariant();
        bool ok = false;
        const qint64 whole = text.toLongLong(&ok);
        if (ok && affinity == Affinity::Integer)
            return QVariant(whole);
        double d;
        if (!parseNumber(text, d))
            throw typeMismatch();
        return storedNumber(d, real);
    }
    throw typeMismatch();
}

void RecordSet::setValue(const QString& field, const QVariant& value)
{
    setValue(requireField(field), value);
}

void RecordSet::setValue(int index, const QVariant& value)
{
    requireRow();
    requireWritable();
    if (index < 0 || index >= m_fields.size())
        throw RvError(3265, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                           "name or ordinal."));
    if (m_origins[index].isEmpty())
        throw notUpdatable();
    const QVariant stored = convertForField(index, value);
    beginEdit();
    m_edit[index] = stored;
    m_dirty[index] = true;
}

void RecordSet::requireWritable() const
{
    if (m_readOnly || m_table.isEmpty())
        throw notUpdatable();
}

void RecordSet::addNew()
{
    requireWritable();
    discardEdit();
    beginEdit();
    m_adding = true;
}

void RecordSet::update()
{
    if (!m_editing)
        return;
    requireWritable();
    if (m_adding)
        insertRow();
    else
        updateRow();
    discardEdit();
    m_db.announceCommitted(); // a write outside a transaction has committed
}

QStringList RecordSet::dirtyColumns() const
{
    QStringList columns;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_dirty[i])
            columns.append(Database::quoteId(m_origins[i]));
    }
    return columns;
}

void RecordSet::insertRow()
{
    const int n = m_fields.size();
    const QString table = Database::quoteId(m_table);
    const QStringList columns = dirtyColumns();
    if (columns.isEmpty()) {
        m_db.exec(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES"));
    } else {
        QVariantList params;
        for (int i = 0; i < n; ++i) {
            if (m_dirty[i])
                params.append(m_edit[i]);
        }
        const QStringList marks(columns.size(), QStringLiteral("?"));
        m_db.exec(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + columns.join(QStringLiteral(", "))
                      + QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'),
                  params);
    }
    const qint64 rowid = m_db.lastInsertRowid();
    // Read the row back: the table's defaults fill the fields that were not set.
    QStringList select;
    for (int i = 0; i < n; ++i)
        select.append(m_origins[i].isEmpty() ? QStringLiteral("NULL") : Database::quoteId(m_origins[i]));
    const auto rows = m_db.query(QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                     + table + QStringLiteral(" WHERE rowid = ?"),
                                 {rowid});
    QVector<QVariant> values(n);
    for (int i = 0; i < n; ++i)
        values[i] = rows.isEmpty() ? m_edit[i] : rows.first()[i];
    if (m_keyset)
        keepInCache(rowid, std::move(values));
    m_onDeleted = false;
    if (m_pages) {
        m_pages->append(rowid);
        m_pos = m_pages->count() - 1;
        return;
    }
    const int row = m_rowids.size();
    if (!m_keyset)
        m_values.append(values);
    m_rowids.append(rowid);
    m_deleted.append(false);
    if (!m_byRowid.isEmpty())
        m_byRowid.insert(rowid, row);
    m_view.append(row); // shown until requery, even where the filter would hide it
    m_pos = m_view.size() - 1;
    m_onDeleted = false;
}

void RecordSet::updateRow()
{
    const int row = currentRow();
    if (row < 0)
        throw noCurrentRecord();
    const int n = m_fields.size();
    // A field given the very value it holds is not written: a save that changes nothing
    // writes nothing (and announces nothing).
    for (int i = 0; i < n; ++i) {
        const QVariant held = cell(row, i);
        if (m_dirty[i] && held.typeId() == m_edit[i].typeId() && held == m_edit[i])
            m_dirty[i] = false;
    }
    QByteArray mask(n, '\0');
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (m_dirty[i]) {
            mask[i] = 1;
            ++count;
        }
    }
    if (count == 0)
        return;
    Statement& update = m_updates[mask];
    if (!update)
        update = m_db.prepare(QStringLiteral("UPDATE ") + Database::quoteId(m_table) + QStringLiteral(" SET ")
                              + dirtyColumns().join(QStringLiteral(" = ?, ")) + QStringLiteral(" = ? WHERE rowid = ?"));
    else
        update.reset();
    Statement* st = &update;
    try {
        int k = 0;
        for (int i = 0; i < n; ++i) {
            if (m_dirty[i])
                st->bind(++k, m_edit[i]);
        }
        st->bind(++k, rowidOf(row));
        while (st->step()) {
        }
    } catch (...) {
        st->reset();
        throw;
    }
    st->reset();
    if (m_db.changes() == 0)
        throw rowNotFound();
    if (m_keyset) {
        QVector<QVariant> values = keysetRow(row);
        for (int i = 0; i < n; ++i) {
            if (m_dirty[i])
                values[i] = m_edit[i];
        }
        keepInCache(rowidOf(row), std::move(values));
        return;
    }
    for (int i = 0; i < n; ++i) {
        if (m_dirty[i])
            m_values[static_cast<size_t>(row) * n + i] = m_edit[i];
    }
}

void RecordSet::cancelUpdate()
{
    discardEdit();
}

void RecordSet::beginEdit()
{
    m_editing = true;
}

void RecordSet::discardEdit()
{
    if (!m_editing)
        return;
    // The buffers stay allocated: a many-row pass edits one row after another.
    for (int i = 0; i < m_dirty.size(); ++i) {
        if (m_dirty[i]) {
            m_dirty[i] = false;
            m_edit[i] = QVariant();
        }
    }
    m_editing = false;
    m_adding = false;
}

void RecordSet::deleteCurrent()
{
    if (m_adding) {
        discardEdit();
        return;
    }
    requireRow();
    requireWritable();
    discardEdit();
    const int row = currentRow();
    m_db.exec(QStringLiteral("DELETE FROM ") + Database::quoteId(m_table) + QStringLiteral(" WHERE rowid = ?"),
              {rowidOf(row)});
    m_onDeleted = true;
    if (m_pages) {
        m_pages->remove(m_pos);
        return;
    }
    m_deleted[row] = true;
    m_view.remove(m_pos);
}

qint64 RecordSet::bookmark() const
{
    if (m_adding)
        throw noCurrentRecord();
    requireRow();
    return rowidOf(currentRow());
}

int RecordSet::viewIndexOfRow(int row) const
{
    // The view holds row indices in ascending order.
    const auto it = std::lower_bound(m_view.begin(), m_view.end(), row);
    return (it != m_view.end() && *it == row) ? static_cast<int>(it - m_view.begin()) : -1;
}

void RecordSet::setBookmark(qint64 bookmark)
{
    int index = -1;
    if (m_pages) {
        index = m_pages->positionOf(bookmark, bookmark == m_hintRowid ? m_hintPosition : -1);
    } else if (m_keyset) {
        // A scan of the keys costs less than a hash of a million of them, in time and memory.
        // From the end: a rowid the table gave again to an added row names that row.
        const auto it = std::find(m_rowids.crbegin(), m_rowids.crend(), bookmark);
        if (it != m_rowids.crend())
            index = viewIndexOfRow(static_cast<int>(m_rowids.crend() - it) - 1);
    } else {
        if (m_byRowid.isEmpty()) {
            m_byRowid.reserve(m_rowids.size());
            for (int row = 0; row < m_rowids.size(); ++row)
                m_byRowid.insert(m_rowids[row], row);
        }
        const auto it = m_byRowid.constFind(bookmark);
        if (it != m_byRowid.constEnd())
            index = viewIndexOfRow(it.value());
    }
    if (index < 0)
        throw noCurrentRecord();
    discardEdit();
    m_onDeleted = false;
    m_pos = index;
}

void RecordSet::setFilter(Predicate predicate)
{
    discardEdit();
    if (m_pages && predicate) {
        // A filter asks about every row: the rowids are read whole.
        m_rowids = m_pages->all();
        m_deleted = QVector<bool>(m_rowids.size(), false);
        m_pages.reset();
    }
    m_filter = std::move(predicate);
    rebuildView();
    m_pos = 0;
    m_onDeleted = false;
}

void RecordSet::clearFilter()
{
    setFilter(Predicate());
}

std::unique_ptr<RecordSet> lockedRow(Database& db, const QString& table, qint64 rowid)
{
    auto row = std::make_unique<RecordSet>(
        db, QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE rowid = ?") + db.holdingRows(), QVariantList{rowid});
    if (row->isEmpty())
        return nullptr;
    return row;
}

} // namespace rv
