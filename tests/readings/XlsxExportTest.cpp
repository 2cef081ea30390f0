#include "readings/domain/XlsxExport.h"

#include "readings/domain/DatasheetGrid.h"

#include "DatasheetTestData.h"

#include <QProcess>
#include <QStandardPaths>

using namespace rv;

namespace {
QString unzipped(const QString& path, const QString& member)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class XlsxExportTable : public testdata::ReadingTable {
protected:
    QTemporaryDir dir;
};

TEST_P(XlsxExportTable, TheSheetHoldsTheFirstTenColumnsWithDatesNumbersAndFittedWidths)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        GTEST_SKIP() << "unzip is needed to look inside the workbook";
    add(QStringLiteral("2024/03/05"), QStringLiteral("10:00:00"), {21.5, 1234.56, 2, 3, 4, 5, 6});
    add(QStringLiteral("2024/03/06"), QStringLiteral("11:30:00"), {QVariant(), -7.25});
    RecordSet readings(*db, QStringLiteral("SELECT * FROM `201175001` ORDER BY FullDate"));
    DatasheetGrid grid;
    grid.populate(readings, table);
    const QString path = dir.filePath(QStringLiteral("201175001.xlsx"));
    exportDatasheet(grid, path, table);

    const QString book = unzipped(path, QStringLiteral("xl/workbook.xml"));
    EXPECT_TRUE(book.contains(QStringLiteral("name=\"201175001\""))) << book.toStdString();
    const QString sheet = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    const QString strings = unzipped(path, QStringLiteral("xl/sharedStrings.xml"));
    EXPECT_TRUE(strings.contains(QStringLiteral("<t>ReadingDate</t>")));
    EXPECT_TRUE(strings.contains(QStringLiteral("<t>Channel6</t>")));
    EXPECT_FALSE(strings.contains(QStringLiteral("PlotTemporal"))); // columns 11 and 12 stay out
    EXPECT_TRUE(strings.contains(QStringLiteral("<t>201175001 2024/03/05 10:00:00</t>")));
    // 2024/03/05 is day 45356 of the spreadsheet's calendar, with a date style.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"B2\" s=\"1\"><v>45356</v></c>"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"E2\"><v>1234.56</v></c>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"E3\"><v>-7.25</v></c>")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("r=\"D3\""))); // a Null cell stays empty
    EXPECT_FALSE(sheet.contains(QStringLiteral("r=\"K1\"")));
    // Fitted to the longest text: the 29-character key, the 11-character "ReadingDate" header.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<col min=\"1\" max=\"1\" width=\"33.57"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("<col min=\"2\" max=\"2\" width=\"13.85")));
    const QString styles = unzipped(path, QStringLiteral("xl/styles.xml"));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"yyyy/mm/dd\"")));
}

TEST(XlsxExport, ASheetNameTheSpreadsheetRefusesKeepsTheDefaultAndAnUnwritablePathThrows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.xlsx"));
    writeWorkbook(path, QStringLiteral("bad/name[1]"), 1, 1, [](int, int) { return QVariant(QStringLiteral("a")); });
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(testdata::errorOf([&] {
                  writeWorkbook(dir.filePath(QStringLiteral("missing/folder/x.xlsx")), QStringLiteral("s"), 1, 1,
                                [](int, int) { return QVariant(true); });
              }),
              75);
}

RV_ON_BOTH_ENGINES(XlsxExportTable);
