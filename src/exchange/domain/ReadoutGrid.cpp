#include "exchange/domain/ReadoutGrid.h"

namespace rv {

const QString ReadoutGrid::kMarkOn = QStringLiteral("[x]");
const QString ReadoutGrid::kMarkOff = QStringLiteral("[ ]");

namespace {
const char* const kHeaders[ReadoutGrid::kColumns] = {
    "Reading Date & Time", "NUBO ID", "Type ID", "SensorNo", "ChannelT", "Channel1",
    "Channel2", "Channel3", "Channel4", "Channel5", "Channel6", "Append"};
}

ReadoutGrid::ReadoutGrid(QObject* parent) : QAbstractTableModel(parent) {}

void ReadoutGrid::populate(const ReadoutFile* file)
{
    beginResetModel();
    m_file = file;
    m_marks = QVector<char>(file ? file->lineCount() : 0, 0);
    m_touched = m_marks;
    endResetModel();
}

void ReadoutGrid::setMarks(QVector<char> marks)
{
    marks.resize(lineCount());
    m_marks = std::move(marks);
    if (hasLines())
        emit dataChanged(index(1, kAppendColumn), index(lineCount(), kAppendColumn));
}

void ReadoutGrid::setUntouchedMarks(const QVector<char>& defaults)
{
    QVector<char> marks = m_marks;
    for (int line = 0; line < marks.size() && line < defaults.size(); ++line)
        if (!m_touched[line])
            marks[line] = defaults[line];
    setMarks(std::move(marks));
}

void ReadoutGrid::clear()
{
    populate(nullptr);
}

int ReadoutGrid::markedCount() const
{
    return static_cast<int>(std::count(m_marks.begin(), m_marks.end(), 1));
}

QString ReadoutGrid::header(int column)
{
    return column >= 0 && column < kColumns ? QString::fromLatin1(kHeaders[column]) : QString();
}

bool ReadoutGrid::toggle(int row, int column)
{
    if (!isMarkCell(row, column) || row > lineCount())
        return false;
    m_marks[row - 1] = !m_marks[row - 1];
    m_touched[row - 1] = 1;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
    return true;
}

int ReadoutGrid::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return hasLines() ? lineCount() + 1 : 1;
}

int ReadoutGrid::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return hasLines() ? kColumns : 1;
}

QVariant ReadoutGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row(), column = index.column();
    if (role == Qt::DisplayRole) {
        if (row == 0)
            return headerData(column, Qt::Horizontal, role);
        if (column == kAppendColumn)
            return marked(row - 1) ? kMarkOn : kMarkOff;
        return m_file->text(row - 1, column);
    }
    if (role == Qt::ToolTipRole && row > 0) {
        const QString problem = lineProblem(row - 1);
        return problem.isEmpty() ? QVariant() : QVariant(problem);
    }
    if (role == Qt::TextAlignmentRole && column == kAppendColumn && row > 0)
        return QVariant::fromValue(Qt::AlignCenter);
    return {};
}

QString ReadoutGrid::lineProblem(int line) const
{
    if (!m_file || line < 0 || line >= m_file->lineCount())
        return {};
    if (m_file->unclosedQuote(line))
        return QStringLiteral("A quote on this line is not closed: the line cannot be appended.");
    // The values do not depend on the date layout.
    const ReadoutReading r = readoutReading(*m_file, line, m_sensor, DateLayout::YearFirst);
    QStringList problems;
    const QString outside = outsideLimits(r.reading, m_sensor);
    if (!outside.isEmpty())
        problems << QStringLiteral("Outside the limits of sensor type ") + m_sensor.sensorType + QStringLiteral(":\n") + outside;
    if (!r.notNumbers.isEmpty())
        problems << QStringLiteral("Not numbers, stored empty:\n") + r.notNumbers.join(QLatin1Char('\n'));
    return problems.join(QLatin1Char('\n'));
}

QVariant ReadoutGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (!hasLines())
        return section == 0 ? QStringLiteral("No Readings") : QString();
    return header(section);
}

} // namespace rv
