#pragma once
// The import window's grid as a table model over a read readout file: row 0 is the header row
// and the file's lines follow from row 1, the way the grid numbers them. Cells are read from
// the file when asked for, so that 100,000 lines open at once; only the marks are held here.
#include "exchange/domain/NuboDate.h"
#include "exchange/domain/ReadoutFile.h"

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
    void clear();

    const ReadoutFile* file() const { return m_file; }
    bool hasLines() const { return m_file && m_file->lineCount() > 0; }
    int lineCount() const { return m_file ? m_file->lineCount() : 0; }
    bool marked(int line) const { return line >= 0 && line < m_marks.size() && m_marks[line]; }
    int markedCount() const;
    static QString header(int column);

    bool isMarkCell(int row, int column) const { return hasLines() && row >= 1 && column == kAppendColumn; }
    // A click on a mark cell switches it; false for any other cell.
    bool toggle(int row, int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ReadoutFile* m_file = nullptr;
    QVector<char> m_marks;
};

} // namespace rv
