#include "readings/domain/RangeDelete.h"

#include <sqlite3.h>

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

// What the SQL function saw when it refused a value.
struct DayContext {
    int failure = 0; // 0, err::TypeMismatch or err::InvalidUseOfNull
};

void readingDayFunction(sqlite3_context* ctx, int, sqlite3_value** args)
{
    auto* state = static_cast<DayContext*>(sqlite3_user_data(ctx));
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
        state->failure = err::InvalidUseOfNull;
        sqlite3_result_error(ctx, "Invalid use of Null", -1);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int bytes = sqlite3_value_bytes(args[0]);
    const std::optional<QDate> day = readingDay(QString::fromUtf8(text, bytes));
    if (!day) {
        state->failure = err::TypeMismatch;
        sqlite3_result_error(ctx, "Type mismatch", -1);
        return;
    }
    sqlite3_result_int64(ctx, day->toJulianDay());
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

int deleteReadingRange(Database& db, const QString& table, QDate start, QDate end)
{
    // One statement over the whole table: the dates are read by a function of the connection,
    // so that any unreadable date stops the statement before a row has gone.
    DayContext context;
    const char* name = "rv_reading_day";
    int rc = sqlite3_create_function_v2(db.handle(), name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &context,
                                        readingDayFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        db.fail(rc);
    struct Unregister {
        sqlite3* handle;
        const char* name;
        ~Unregister() { sqlite3_create_function_v2(handle, name, 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr); }
    } unregister{db.handle(), name};

    // The function's rows are compared as day numbers; a start after the end matches nothing.
    const QString sql = QStringLiteral("DELETE FROM ") + Database::quoteId(table)
                        + QStringLiteral(" WHERE rv_reading_day(ReadingDate) BETWEEN ? AND ?");
    Transaction tx(db);
    try {
        db.exec(sql, {start.toJulianDay(), end.toJulianDay()});
    } catch (const RvError&) {
        if (context.failure == err::TypeMismatch)
            throw typeMismatch();
        if (context.failure == err::InvalidUseOfNull)
            throw RvError(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
        throw;
    }
    const int count = db.changes();
    tx.commit();
    return count;
}

} // namespace rv
