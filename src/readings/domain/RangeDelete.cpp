#include "readings/domain/RangeDelete.h"

#include "readings/domain/ReadingStore.h"

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

int deleteReadingRange(Database& db, const QString& table, QDate start, QDate end)
{
    return ReadingStore(db, table).deleteDatedBetween(start, end);
}

int countReadingRange(Database& db, const QString& table, QDate start, QDate end)
{
    return ReadingStore(db, table).countDatedBetween(start, end);
}

} // namespace rv
