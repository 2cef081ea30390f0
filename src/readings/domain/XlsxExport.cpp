#include "readings/domain/XlsxExport.h"

#include "base/Formats.h"
#include "readings/domain/DatasheetGrid.h"
#include "readings/domain/RangeDelete.h"

#include <QDate>
#include <QFile>
#include <algorithm>
#include <vector>
#include <xlsxwriter.h>

namespace rv {

namespace {

constexpr int kExportColumns = 10;
constexpr double kMaxWidth = 255;

struct WorkbookCloser {
    lxw_workbook* wb;
    bool closed = false;
    ~WorkbookCloser()
    {
        if (!closed)
            workbook_close(wb);
    }
};

RvError fileError(const QString& path, const char* detail)
{
    return RvError(75, QStringLiteral("Path/File access error: ") + path + QStringLiteral(" (")
                           + QString::fromUtf8(detail) + QLatin1Char(')'));
}

void writeSheet(lxw_workbook* wb, const QString& path, lxw_format* dateFormat, const WorkbookSheet& sheet)
{
    const QByteArray name = sheet.name.toUtf8();
    lxw_worksheet* ws = nullptr;
    if (!sheet.name.isEmpty() && workbook_validate_sheet_name(wb, name.constData()) == LXW_NO_ERROR)
        ws = workbook_add_worksheet(wb, name.constData());
    if (!ws)
        ws = workbook_add_worksheet(wb, nullptr);
    if (!ws)
        throw fileError(path, "cannot add a sheet");

    std::vector<int> widths(static_cast<size_t>(std::max(sheet.columns, 0)), 0);
    for (int r = 0; r < sheet.rows; ++r) {
        for (int c = 0; c < sheet.columns; ++c) {
            const QVariant v = sheet.cell(r, c);
            if (v.isNull())
                continue;
            int shown = 0;
            const auto row = static_cast<lxw_row_t>(r);
            const auto col = static_cast<lxw_col_t>(c);
            if (v.typeId() == QMetaType::QDate) {
                const QDate d = v.toDate();
                lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                worksheet_write_datetime(ws, row, col, &dt, dateFormat);
                shown = 10;
            } else if (v.typeId() == QMetaType::Bool) {
                worksheet_write_boolean(ws, row, col, v.toBool() ? 1 : 0, nullptr);
                shown = v.toBool() ? 4 : 5;
            } else {
                const QString text = v.toString();
                if (text.isEmpty())
                    continue;
                if (isNumeric(text)) {
                    const double number = leadingNumber(text);
                    worksheet_write_number(ws, row, col, number, nullptr);
                    shown = static_cast<int>(plainNumber(number).size());
                } else {
                    worksheet_write_string(ws, row, col, text.toUtf8().constData(), nullptr);
                    shown = static_cast<int>(text.size());
                }
            }
            widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], shown);
        }
    }
    // Fitted to the longest text, as an autofit would: about one width unit per character
    // and a little margin. Empty columns keep the default width.
    for (int c = 0; c < sheet.columns; ++c) {
        const int w = widths[static_cast<size_t>(c)];
        if (w > 0)
            worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                 std::min(kMaxWidth, w * 1.1 + 1.0), nullptr);
    }
}

} // namespace

void writeWorkbook(const QString& path, const QString& sheetName, int rows, int columns,
                   const std::function<QVariant(int row, int column)>& cell)
{
    writeWorkbook(path, QVector<WorkbookSheet>{{sheetName, rows, columns, cell}});
}

void writeWorkbook(const QString& path, const QVector<WorkbookSheet>& sheets)
{
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* wb = workbook_new(file.constData());
    if (!wb)
        throw fileError(path, "cannot create workbook");
    WorkbookCloser closer{wb};
    lxw_format* dateFormat = workbook_add_format(wb);
    format_set_num_format(dateFormat, "yyyy/mm/dd");
    for (const WorkbookSheet& sheet : sheets)
        writeSheet(wb, path, dateFormat, sheet);
    closer.closed = true;
    const lxw_error rc = workbook_close(wb);
    if (rc != LXW_NO_ERROR)
        throw fileError(path, lxw_strerror(rc));
}

void exportDatasheet(const DatasheetGrid& grid, const QString& path, const QString& sheetName)
{
    const int columns = std::min(kExportColumns, grid.gridColumns());
    writeWorkbook(path, sheetName, grid.gridRows(), columns, [&](int row, int column) -> QVariant {
        if (row > 0 && grid.isFlagCell(row, column))
            return grid.flag(row, column);
        const QString text = grid.text(row, column);
        if (row > 0 && column == 1) {
            if (const std::optional<QDate> day = readingDay(text))
                return *day;
        }
        return text;
    });
}

} // namespace rv
