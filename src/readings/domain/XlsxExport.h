#pragma once
// The spreadsheet copy of a sensor's readings: a new .xlsx workbook, one sheet.
#include "db/Errors.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

namespace rv {

class DatasheetGrid;

// Writes rows x columns cells into a new workbook at path (replacing a file of that name).
// cell(row, column) gives a text (a numeric text goes in as a number), a QDate (shown
// "yyyy/mm/dd"), a bool (TRUE/FALSE) or Null for an empty cell. Each column is made as wide
// as its longest text. A sheet name the spreadsheet refuses keeps the default name. A file
// that cannot be written throws 75.
void writeWorkbook(const QString& path, const QString& sheetName, int rows, int columns,
                   const std::function<QVariant(int row, int column)>& cell);

// A workbook of several sheets, each written as above.
struct WorkbookSheet {
    QString name;
    int rows = 0, columns = 0;
    std::function<QVariant(int row, int column)> cell;
};
void writeWorkbook(const QString& path, const QVector<WorkbookSheet>& sheets);

// The datasheet's copy: every grid row (the header row first) and the first ten grid columns,
// the reading date as a date, the plot flags as TRUE/FALSE.
void exportDatasheet(const DatasheetGrid& grid, const QString& path, const QString& sheetName);

} // namespace rv
