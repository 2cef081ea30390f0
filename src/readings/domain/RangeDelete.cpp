#include "readings/domain/RangeDelete.h"

namespace rv {

namespace {

// Reads an unsigned decimal from text[i...], at most maxDigits digits.
bool readNumber(QStringView text, qsizetype& i, int maxDigits, int& out)
{
    int digits = 0;
    int value = 0;
    while (i < text.size() && digits < maxDigits && text[i].isDigit()) {
        value = value * 10 + text[i].digitValue();
        ++i;
        ++digits;
    }
    out = value;
    return digits > 0;
}

} // namespace

std::optional<QDate> readingDay(QStringView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    int year, month, day;
    if (!readNumber(text, i, 4, year) || i != 4)
        return std::nullopt;
    const auto separator = [&](QChar& sep) {
        if (i >= text.size() || (text[i] != QLatin1Char('/') && text[i] != QLatin1Char('-')))
            return false;
        sep = text[i++];
        return true;
    };
    QChar first, second;
    if (!separator(first) || !readNumber(text, i, 2, month) || !separator(second) || second != first
        || !readNumber(text, i, 2, day) || i != text.size())
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

namespace {

// Runs a statement over the readings dated on or between start and end ("WHERE" + the test of
// the reading date); the dates are read by a function of the connection, so that any
// unreadable date stops the statement before a row has been touched.
template <class Run>
auto overRange(Database& db, const QString& statement, QDate start, QDate end, Run run)
{
    const auto function = db.registerFunction(QStringLiteral("rv_reading_day"), 1, [](const QVariantList& args) {
        const QVariant& v = args.first();
        if (v.isNull())
            throw RvError(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
        const std::optional<QDate> day = readingDay(v.toString());
        if (!day)
            throw typeMismatch();
        return QVariant(day->toJulianDay());
    });
    // Compared as day numbers: a start after the end matches nothing.
    return run(statement + QStringLiteral(" WHERE rv_reading_day(ReadingDate) BETWEEN ? AND ?"),
               QVariantList{start.toJulianDay(), end.toJulianDay()});
}

} // namespace

int deleteReadingRange(Database& db, const QString& table, QDate start, QDate end)
{
    return overRange(db, QStringLiteral("DELETE FROM ") + Database::quoteId(table), start, end,
                     [&](const QString& sql, const QVariantList& params) {
                         Transaction tx(db);
                         db.exec(sql, params);
                         const int count = db.changes();
                         // Told even when nothing was found: the readings tab then shows the
                         // outcome of a deletion as always, the newest reading.
                         db.touch(table);
                         tx.commit();
                         return count;
                     });
}

int countReadingRange(Database& db, const QString& table, QDate start, QDate end)
{
    return overRange(db, QStringLiteral("SELECT COUNT(*) FROM ") + Database::quoteId(table), start, end,
                     [&](const QString& sql, const QVariantList& params) {
                         return db.query(sql, params).value(0).value(0).toInt();
                     });
}

} // namespace rv
