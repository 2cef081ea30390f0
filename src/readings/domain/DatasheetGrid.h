#pragma once
// The datasheet's grid as a table model over the reading set it was filled from. Row 0 is the
// header row and reading rows follow from 1, the way the grid numbers them. Cell texts and flags
// are read from the reading set when asked for; only edited cells and switched flags are held
// here, so that opening costs the same whatever the number of readings and a write-back only
// what the user changed.
#include "db/RecordSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <set>
#include <vector>

namespace rv {

class DatasheetGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasheetGrid(QObject* parent = nullptr);

    // The flag cells show these texts; their pictures are drawn by the window.
    static const QString kFlagOn;  // "[x]"
    static const QString kFlagOff; // "[ ]"

    // L: the first plot column, three more than the first digit of the type code.
    static int plotColumnFor(const QString& instrumentId);

    // Fills the grid from the reading set, which must stay open (and unchanged) while the
    // grid is shown. An empty set gives the single header cell "No Readings".
    void populate(const RecordSet& readings, const QString& instrumentId);
    // Forgets the reading set (before it is closed).
    void clear();

    bool hasReadings() const { return m_readings && m_count > 0; }
    int readingCount() const { return m_count; }
    int plotColumn() const { return m_plotColumn; }
    int gridRows() const;    // header row included
    int gridColumns() const;
    QString header(int column) const;
    QString text(int row, int column) const; // the cell as the grid shows it
    bool isFlagCell(int row, int column) const;
    bool flag(int row, int column) const;
    bool isChannelColumn(int column) const;
    bool changed() const { return m_changed; }

    // What a key press in a cell did.
    enum class KeyResult { Edited, Move, Ignored, DatesNotEditable, NotNumeric };
    // The editing keys: backspace, tab, digits and "." (ascii codes). For Move, row and column
    // are set to the next cell.
    KeyResult keyPress(int& row, int& column, int ascii);
    // A click on a flag cell switches it; false for any other cell.
    bool toggleFlag(int row, int column);

    // An edited cell whose text a number column cannot take.
    struct BadCell {
        int row = 0, column = 0;
        QString text;
    };
    // The first such cell, in grid order; row 0 when there is none. A cell without a digit
    // (empty, ".", "-", "+", "-e" ...) is what is left of a cleared value: it stores Null.
    BadCell firstBadCell() const;
    // "the value "1.2.3" of Channel2 in reading 201175001 2024/06/15 10:00:00"
    QString describeCell(const BadCell& cell) const;
    // Forgets the edit of a cell: it shows, and is written back as, what was read.
    void dropEdit(int row, int column);

    // Stores the edited channel cells and both flags of every touched reading, in one
    // transaction: an error leaves the table as it was. A cleared cell stores Null; a text that
    // a number column cannot take throws 13. Returns the number of readings written.
    int writeBack(Database& db, RecordSet& readings) const;

    // Model
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static const QString kMessageA;
    static const QString kMessageB;

protected:
    // A cell of the given grid row shows something else.
    virtual void cellChanged(int row, int column);

private:
    static quint64 key(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }
    void setText(int row, int column, const QString& text);
    void touch(int row);
    bool storedFlag(int row, int field) const;

    const RecordSet* m_readings = nullptr;
    int m_count = 0;
    int m_plotColumn = 0;
    int m_temporalField = -1;
    int m_spatialField = -1;
    std::vector<char> m_channel;     // per grid column: an editable channel field
    QHash<int, bool> m_temporal;     // switched flags by grid row
    QHash<int, bool> m_spatial;
    std::set<int> m_touched;         // grid rows with an edit or a switched flag
    QHash<quint64, QString> m_edits; // edited cell texts by (row, column)
    bool m_changed = false;
};

} // namespace rv
