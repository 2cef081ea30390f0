#pragma once
// The import window's grid as a table model over a read readout file: row 0 is the header row
// and the file's lines follow from row 1, the way the grid numbers them. Cells are read from
// the file when asked for, so that 100,000 lines open at once; only the marks are held here.
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"

#include <QAbstractTableModel>

namespace rv {

class ReadoutGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 12;
    static constexpr int kAppendColumn = 11;
    static const QString kMarkOn;  // "[x]": the mark cell's text; the window draws its picture
    static const QString kMarkOff; // "[ ]"

    explicit ReadoutGrid(QObject* parent = nullptr);

    // Shows the file's lines (an empty file: the single header cell "No Readings").
    void populate(const ReadoutFile* file);
    void setMarks(QVector<char> marks);
    // Default marks worked out afresh (another date layout): a mark the user has clicked keeps
    // its state, every other line takes the new default.
    void setUntouchedMarks(const QVector<char>& defaults);
    void clear();

    const ReadoutFile* file() const { return m_file; }
    bool hasLines() const { return m_file && m_file->lineCount() > 0; }
    int lineCount() const { return m_file ? m_file->lineCount() : 0; }
    bool marked(int line) const { return line >= 0 && line < m_marks.size() && m_marks[line]; }
    int markedCount() const;
    const QVector<char>& marks() const { return m_marks; }
    static QString header(int column);

    // The sensor the lines are for: lines whose values lie outside its type's limits, or that
    // cannot be appended, carry the reason as every cell's tooltip.
    void setSensor(const ReadoutSensor& sensor) { m_sensor = sensor; }
    // Why the line (0-based) stands out; empty for an ordinary line.
    QString lineProblem(int line) const;

    bool isMarkCell(int row, int column) const { return hasLines() && row >= 1 && column == kAppendColumn; }
    // A click on a mark cell switches it; false for any other cell.
    bool toggle(int row, int column);
    bool touched(int line) const { return line >= 0 && line < m_touched.size() && m_touched[line]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ReadoutFile* m_file = nullptr;
    QVector<char> m_marks;
    QVector<char> m_touched; // lines whose mark the user has switched
    ReadoutSensor m_sensor;
};

} // namespace rv
