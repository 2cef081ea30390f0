#include "readings/domain/DatasheetGrid.h"

#include "base/Formats.h"
#include "readings/domain/ReadingStore.h"

#include <algorithm>

namespace rv {

const QString DatasheetGrid::kFlagOn = QStringLiteral("[x]");
const QString DatasheetGrid::kFlagOff = QStringLiteral("[ ]");
const QString DatasheetGrid::kMessageA =
    QStringLiteral("Only Channel Data is editable in this datasheet\nPlease use the main form to change dates and times");
const QString DatasheetGrid::kMessageB = QStringLiteral(
    "Channel Data must be a numeric value\nUse the backspace key to delete, field accepts numeric values only");

namespace {

const char* const kHeaders[] = {"DateTime Key", "ReadingDate", "R. Time",  "ChannelT", "Channel1",
                                "Channel2",     "Channel3",    "Channel4", "Channel5", "Channel6"};

QString cellText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return plainNumber(v.toDouble());
    default:
        return v.toString();
    }
}

// A yes/no field as the database may hold it: 0/1, a number, or a word.
bool isTrue(const QVariant& v)
{
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return true;
        return isNumeric(t) && leadingNumber(t) != 0;
    }
    return v.toDouble() != 0;
}

} // namespace

DatasheetGrid::DatasheetGrid(QObject* parent) : QAbstractTableModel(parent) {}

int DatasheetGrid::plotColumnFor(const QString& instrumentId)
{
    const int c = instrumentId.size() > 4 && instrumentId[4].isDigit() ? instrumentId[4].digitValue() : 0;
    return c + 3;
}

void DatasheetGrid::populate(const RecordSet& readings, const QString& instrumentId)
{
    beginResetModel();
    m_readings = &readings;
    m_count = readings.recordCount();
    m_plotColumn = plotColumnFor(instrumentId);
    m_edits.clear();
    m_changed = false;
    m_temporalField = readings.fieldIndex(readingField::plotTemporal);
    m_spatialField = readings.fieldIndex(readingField::plotSpatial);
    m_channel.assign(static_cast<size_t>(m_plotColumn + 2), 0);
    for (int j = 3; j < m_plotColumn && j < readings.fieldCount(); ++j)
        m_channel[static_cast<size_t>(j)] = readingField::isChannel(readings.fieldName(j));
    m_temporal.clear();
    m_spatial.clear();
    m_touched.clear();
    endResetModel();
}

void DatasheetGrid::clear()
{
    beginResetModel();
    m_readings = nullptr;
    m_count = 0;
    m_edits.clear();
    m_temporal.clear();
    m_spatial.clear();
    m_touched.clear();
    endResetModel();
}

int DatasheetGrid::gridRows() const
{
    if (!m_readings)
        return 0;
    return m_count + 1;
}

int DatasheetGrid::gridColumns() const
{
    if (!m_readings)
        return 0;
    return m_count > 0 ? m_plotColumn + 2 : 1;
}

QString DatasheetGrid::header(int column) const
{
    if (!m_readings)
        return QString();
    if (m_count == 0)
        return column == 0 ? QStringLiteral("No Readings") : QString();
    if (column == m_plotColumn)
        return QStringLiteral("PlotTemporal");
    if (column == m_plotColumn + 1)
        return QStringLiteral("PlotSpatial");
    if (column >= 0 && column < m_plotColumn && m_plotColumn > 4 && column <= 9)
        return QString::fromLatin1(kHeaders[column]);
    return QString();
}

bool DatasheetGrid::isFlagCell(int row, int column) const
{
    return hasReadings() && row >= 1 && row <= m_count && (column == m_plotColumn || column == m_plotColumn + 1);
}

bool DatasheetGrid::flag(int row, int column) const
{
    if (!isFlagCell(row, column))
        return false;
    const bool temporal = column == m_plotColumn;
    const auto& switched = temporal ? m_temporal : m_spatial;
    const auto it = switched.constFind(row);
    if (it != switched.constEnd())
        return it.value();
    return storedFlag(row, temporal ? m_temporalField : m_spatialField);
}

bool DatasheetGrid::storedFlag(int row, int field) const
{
    return field >= 0 && isTrue(m_readings->valueAt(row - 1, field));
}

bool DatasheetGrid::isChannelColumn(int column) const
{
    return hasReadings() && column >= 0 && column < static_cast<int>(m_channel.size())
           && m_channel[static_cast<size_t>(column)];
}

QString DatasheetGrid::text(int row, int column) const
{
    if (row == 0)
        return header(column);
    if (!hasReadings() || row < 0 || row > m_count || column < 0 || column >= gridColumns())
        return QString();
    if (isFlagCell(row, column))
        return flag(row, column) ? kFlagOn : kFlagOff;
    const auto edited = m_edits.constFind(key(row, column));
    if (edited != m_edits.constEnd())
        return edited.value();
    if (column >= m_readings->fieldCount())
        return QString();
    return cellText(m_readings->valueAt(row - 1, column));
}

void DatasheetGrid::touch(int row)
{
    m_touched.insert(row);
    m_changed = true;
}

void DatasheetGrid::setText(int row, int column, const QString& text)
{
    m_edits.insert(key(row, column), text);
    cellChanged(row, column);
}

DatasheetGrid::KeyResult DatasheetGrid::keyPress(int& row, int& column, int ascii)
{
    if (ascii == 9) {
        if (column + 1 < gridColumns()) {
            ++column;
        } else if (row + 1 < gridRows()) {
            ++row;
            column = 0;
        } else {
            row = 0;
            column = 0;
        }
        return KeyResult::Move;
    }
    const bool digit = ascii >= '0' && ascii <= '9';
    if (row < 1 || row > m_count || !isChannelColumn(column)) {
        // Key, date and time (and the header row) take no keys; backspace there does nothing.
        // The plot columns change only by a click.
        if (ascii == 8 && column <= 2)
            return KeyResult::Ignored;
        return KeyResult::DatesNotEditable;
    }
    const QString current = text(row, column);
    if (ascii == 8) {
        touch(row);
        if (!current.isEmpty())
            setText(row, column, current.left(current.size() - 1));
        return KeyResult::Edited;
    }
    // A second decimal point could never be stored as a number.
    if (digit || (ascii == '.' && !current.contains(QLatin1Char('.')))) {
        touch(row);
        setText(row, column, current + QChar(ascii));
        return KeyResult::Edited;
    }
    return KeyResult::NotNumeric;
}

bool DatasheetGrid::toggleFlag(int row, int column)
{
    if (!isFlagCell(row, column))
        return false;
    const bool now = !flag(row, column);
    (column == m_plotColumn ? m_temporal : m_spatial).insert(row, now);
    touch(row);
    cellChanged(row, column);
    return true;
}

namespace {
// No digit left: the user cleared the value down to a sign, a point or an exponent mark.
bool clearedCell(const QString& text)
{
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            return false;
    return true;
}
} // namespace

DatasheetGrid::BadCell DatasheetGrid::firstBadCell() const
{
    BadCell bad;
    if (!hasReadings())
        return bad;
    // The edits in grid order: the key sorts by row, then column.
    QList<quint64> keys = m_edits.keys();
    std::sort(keys.begin(), keys.end());
    for (const quint64 k : keys) {
        const int r = static_cast<int>(k >> 32);
        const int j = static_cast<int>(k & 0xffffffffu);
        if (r < 1 || r > m_count || !isChannelColumn(j))
            continue;
        const QString& edited = m_edits[k];
        const QString t = edited.trimmed();
        if (!clearedCell(t) && m_readings->isNumericField(j) && !isNumeric(t)) {
            bad.row = r;
            bad.column = j;
            bad.text = edited;
            return bad;
        }
    }
    return bad;
}

void DatasheetGrid::dropEdit(int row, int column)
{
    if (m_edits.remove(key(row, column)) > 0)
        cellChanged(row, column);
}

QString DatasheetGrid::describeCell(const BadCell& cell) const
{
    QString column = header(cell.column);
    if (column.isEmpty() && m_readings)
        column = m_readings->fieldName(cell.column);
    return QStringLiteral("the value \"") + cell.text + QStringLiteral("\" of ") + column
           + QStringLiteral(" in reading ") + text(cell.row, 0);
}

int DatasheetGrid::writeBack(Database& db, RecordSet& readings) const
{
    if (!hasReadings() || !m_changed)
        return 0;
    QStringList fields;
    QVector<int> columns;
    for (int j = 0; j < static_cast<int>(m_channel.size()); ++j) {
        if (m_channel[static_cast<size_t>(j)]) {
            columns.append(j);
            fields.append(readings.fieldName(j));
        }
    }
    if (m_temporalField >= 0)
        fields.append(readings.fieldName(m_temporalField));
    if (m_spatialField >= 0)
        fields.append(readings.fieldName(m_spatialField));
    if (fields.isEmpty())
        return 0;

    Transaction tx(db);
    Statement st = ReadingStore(db, readings.table()).prepareUpdate(fields);
    int written = 0;
    for (const int row : m_touched) {
        const int r = row - 1;
        readings.setAbsolutePosition(row);
        const qint64 rowid = readings.bookmark();
        int p = 1;
        for (int j : columns) {
            const auto edited = m_edits.constFind(key(r + 1, j));
            if (edited == m_edits.constEnd()) {
                st.bind(p++, readings.valueAt(r, j)); // unchanged cells go back as they were read
                continue;
            }
            const QString t = edited.value().trimmed();
            if (clearedCell(t))
                st.bind(p++, QVariant());
            else if (!readings.isNumericField(j))
                st.bind(p++, t);
            else if (isNumeric(t))
                st.bind(p++, leadingNumber(t));
            else
                throw typeMismatch();
        }
        if (m_temporalField >= 0)
            st.bind(p++, qint64(flag(row, m_plotColumn) ? 1 : 0));
        if (m_spatialField >= 0)
            st.bind(p++, qint64(flag(row, m_plotColumn + 1) ? 1 : 0));
        st.bind(p, rowid);
        while (st.step()) {
        }
        st.reset();
        ++written;
    }
    tx.commit();
    return written;
}

void DatasheetGrid::cellChanged(int row, int column)
{
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

int DatasheetGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridRows();
}

int DatasheetGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridColumns();
}

QVariant DatasheetGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && isFlagCell(index.row(), index.column()))
        return int(Qt::AlignCenter);
    return {};
}

QVariant DatasheetGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace rv
