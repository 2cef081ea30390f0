#pragma once
#include "Support.h"
#include "db/RecordSet.h"

// A fresh supplied database in a temporary folder, with one sensor's reading table.
class DbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = dir.open();
        rv::createReadingTable(*db, kId);
    }

    // A reading on the given day of June 2024 with Channel1 = day * 10.
    void addReading(int day, const QString& keySuffix = QString())
    {
        const QString date = QStringLiteral("2024/06/%1").arg(day, 2, 10, QLatin1Char('0'));
        db->exec(QStringLiteral("INSERT INTO \"123475001\" (DateTimeKey, ReadingDate, ReadingTime, Channel1, FullDate, "
                                "Plottemporal) VALUES (?, ?, '08:00:00', ?, ?, 1)"),
                 {QStringLiteral("123475001 ") + date + QStringLiteral(" 08:00:00") + keySuffix, date, day * 10.0,
                  QString(date).replace(QLatin1Char('/'), QLatin1Char('-')) + QStringLiteral(" 08:00:00")});
    }

    std::unique_ptr<rv::RecordSet> readings()
    {
        return std::make_unique<rv::RecordSet>(*db, QStringLiteral("SELECT * FROM `123475001` ORDER BY FullDate"));
    }

    static int errorNumber(const std::function<void()>& f) { return rv::test::errorOf(f); }

    const QString kId = QStringLiteral("123475001");
    rv::test::DataFolder dir;
    std::unique_ptr<rv::Database> db;
};
