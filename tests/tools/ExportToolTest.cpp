// rockvista-export against what the charts' pass stores for the same readings.
#include "Support.h"
#include "charts/domain/Preparation.h"
#include "charts/domain/ReadingExport.h"
#include "sensors/domain/SensorStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun exportTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(RV_EXPORT_TOOL), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList csvLines(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// The value a CSV cell holds, against a stored one: both empty, or the same double.
void expectSame(const QString& cell, const rv::OptDouble& stored, const std::string& where)
{
    if (!stored) {
        EXPECT_TRUE(cell.isEmpty()) << where << " holds " << cell.toStdString();
        return;
    }
    bool ok = false;
    EXPECT_EQ(cell.toDouble(&ok), *stored) << where << " holds " << cell.toStdString();
    EXPECT_TRUE(ok) << where;
}

} // namespace

TEST(ExportTool, CsvHoldsWhatTheChartsPassStoresValueByValue)
{
    rv::test::DataFolder folder(true);
    QStringList ids;
    const QString noK = QStringLiteral("130175001"); // its loads cannot be computed
    {
        auto db = folder.open();
        rv::SensorStore sensors(*db);
        ids = sensors.instrumentIds();
        ASSERT_GE(ids.size(), 2);
        ASSERT_TRUE(ids.contains(noK));
        db->exec(QStringLiteral("UPDATE Sensors SET boltkfactor = 0 WHERE InstrumentID = ?"), {noK});
        // A reading the charts do not draw: exported without computed values.
        db->exec(QStringLiteral("UPDATE \"%1\" SET Plottemporal = 0 WHERE rowid = (SELECT rowid FROM \"%1\" "
                                "ORDER BY FullDate LIMIT 1 OFFSET 3)").arg(ids[0]));
        for (const QString& id : ids) {
            // The charts' pass, as the charts tab runs it on opening a sensor.
            rv::ReadingStore store(*db, id);
            rv::ReadingColumns columns = store.markedColumns();
            const rv::PassOutcome outcome = preparePass(columns, sensors.sensor(id)->boltkfactor.value_or(0));
            store.writeComputed(outcome.changed);
        }
    }
    const QString out = folder.filePath(QStringLiteral("csv"));
    const ToolRun run = exportTool({QStringLiteral("--data-dir"), folder.path(), QStringLiteral("--all"),
                                QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--output"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("rockvista-export: sensor 130175001: loads not computed (the k factor is 0)\n"));

    auto db = folder.open();
    int undrawn = 0;
    for (const QString& id : ids) {
        const rv::ReadingStore store(*db, id);
        const QVector<rv::Reading> stored = store.readings();
        const QStringList lines = csvLines(QDir(out).filePath(id + QStringLiteral(".csv")));
        ASSERT_EQ(lines.size(), stored.size() + 1) << id.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("DateTimeKey,DateTime,ChannelT,Channel1,")));
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral(",NumTemp,Load1,Load2,Load3,Load5")));
        for (int i = 0; i < stored.size(); ++i) {
            const rv::Reading& r = stored[i];
            const QStringList cells = lines[i + 1].split(QLatin1Char(','));
            ASSERT_EQ(cells.size(), rv::exportColumnCount());
            const std::string where = id.toStdString() + " row " + std::to_string(i + 1);
            EXPECT_EQ(cells[0], store.keyOf(r.moment)) << where;
            EXPECT_EQ(cells[1], r.moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))) << where;
            expectSame(cells[2], r.temperature, where + " ChannelT");
            for (int c = 0; c < rv::Reading::kChannels; ++c)
                expectSame(cells[3 + c], r.channels[c], where + " Channel");
            EXPECT_EQ(cells[13], r.plotTemporal ? QStringLiteral("TRUE") : QStringLiteral("FALSE")) << where;
            EXPECT_EQ(cells[14], r.plotSpatial ? QStringLiteral("TRUE") : QStringLiteral("FALSE")) << where;
            if (!r.plotTemporal) {
                ++undrawn;
                for (int c = 15; c < cells.size(); ++c)
                    EXPECT_TRUE(cells[c].isEmpty()) << where << " column " << c;
                continue;
            }
            for (int c = 0; c < rv::Reading::kChannels; ++c)
                expectSame(cells[15 + c], r.zeroed[c], where + " zero");
            expectSame(cells[25], r.numTemp, where + " NumTemp");
            for (int l = 0; l < rv::Reading::kLoads; ++l) {
                if (id == noK)
                    EXPECT_TRUE(cells[26 + l].isEmpty()) << where << " load of k 0";
                else
                    expectSame(cells[26 + l], r.loads[l], where + " load");
            }
        }
    }
    EXPECT_EQ(undrawn, 1);
}

TEST(ExportTool, DatesBoundTheRowsAWorkbookHoldsEverySensorAndMistakesAreRefused)
{
    rv::test::DataFolder folder(true);
    QString id;
    QVector<rv::Reading> readings;
    {
        auto db = folder.open();
        id = rv::SensorStore(*db).instrumentIds().value(0);
        readings = rv::ReadingStore(*db, id).readings();
    }
    ASSERT_GE(readings.size(), 10);
    const QDate from = readings[2].moment.date(), to = readings[5].moment.date();
    const QString file = folder.filePath(QStringLiteral("one.csv"));
    const QStringList base{QStringLiteral("--data-dir"), folder.path()};
    ToolRun run = exportTool(base + QStringList{QStringLiteral("--sensor"), id, QStringLiteral("--from"),
                                           from.toString(Qt::ISODate), QStringLiteral("--to"), to.toString(Qt::ISODate),
                                           QStringLiteral("--format"), QStringLiteral("csv"),
                                           QStringLiteral("--output"), file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto inRange = std::count_if(readings.begin(), readings.end(), [&](const rv::Reading& r) {
        return r.moment.date() >= from && r.moment.date() <= to;
    });
    EXPECT_EQ(csvLines(file).size(), inRange + 1);

    const QString book = folder.filePath(QStringLiteral("all.xlsx"));
    run = exportTool(base + QStringList{QStringLiteral("--all"), QStringLiteral("--format"), QStringLiteral("xlsx"),
                                        QStringLiteral("--output"), book});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray zip = f.readAll();
    EXPECT_TRUE(zip.startsWith("PK"));
    EXPECT_TRUE(zip.contains("xl/worksheets/sheet4.xml")); // the demo's four sensors, a sheet each

    run = exportTool(base + QStringList{QStringLiteral("--sensor"), QStringLiteral("999999999"), QStringLiteral("--format"),
                                        QStringLiteral("csv"), QStringLiteral("--output"), file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("rockvista-export: no sensor 999999999 in the register\n"));
    for (const QStringList& bad : {QStringList{QStringLiteral("--all")},
                                   QStringList{QStringLiteral("--all"), QStringLiteral("--sensor"), id,
                                               QStringLiteral("--format"), QStringLiteral("csv"),
                                               QStringLiteral("--output"), file},
                                   QStringList{QStringLiteral("--all"), QStringLiteral("--format"),
                                               QStringLiteral("pdf"), QStringLiteral("--output"), file},
                                   QStringList{QStringLiteral("--all"), QStringLiteral("--from"),
                                               QStringLiteral("yesterday"), QStringLiteral("--format"),
                                               QStringLiteral("csv"), QStringLiteral("--output"), file}})
        EXPECT_EQ(exportTool(base + bad).exitCode, 2) << bad.join(QLatin1Char(' ')).toStdString();
}

TEST(ExportTool, CsvFieldsAreQuotedOnlyWhereTheyMustBe)
{
    EXPECT_EQ(rv::csvField(QStringLiteral("201175001 2011/03/27 10:00:00")), QStringLiteral("201175001 2011/03/27 10:00:00"));
    EXPECT_EQ(rv::csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
    EXPECT_EQ(rv::csvField(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(rv::csvField(QStringLiteral("two\r\nlines")), QStringLiteral("\"two\r\nlines\""));
}
