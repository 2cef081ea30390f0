#include "base/Formats.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace rv {

namespace {
// Only ASCII digits: other scripts' digits are no number to the database either.
bool asciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Length of the longest numeric prefix of text starting at from: sign, digits, point, digits,
// exponent (only when digits follow it). Returns 0 when no digit is found.
int numericPrefix(const QString& text, int from)
{
    int i = from;
    const int n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && asciiDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && asciiDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        int expDigits = 0;
        while (j < n && asciiDigit(text[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            i = j;
    }
    return i - from;
}
} // namespace

double leadingNumber(const QString& text)
{
    int start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    const int len = numericPrefix(text, start);
    if (len == 0)
        return 0;
    QString prefix = text.mid(start, len);
    if (prefix.endsWith(QLatin1Char('.')))
        prefix.chop(1);
    return QLocale::c().toDouble(prefix);
}

int leadingCount(const QString& text, int low, int high)
{
    // Clamped as a double first: a cast of a value outside int's range is undefined.
    const double n = leadingNumber(text);
    if (!(n > low))
        return low;
    if (n >= high)
        return high;
    return static_cast<int>(n);
}

bool isNumeric(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || numericPrefix(t, 0) != t.size())
        return false;
    bool ok = false;
    const double d = QLocale::c().toDouble(t.endsWith(QLatin1Char('.')) ? t.chopped(1) : t, &ok);
    return ok && std::isfinite(d); // "1e400" is out of range
}

QString formatNumber(const QString& text, const QString& pattern)
{
    if (!isNumeric(text))
        return text;
    const double value = leadingNumber(text);
    const int point = pattern.indexOf(QLatin1Char('.'));
    const QString decimals = point < 0 ? QString() : pattern.mid(point + 1);
    const int minDecimals = static_cast<int>(decimals.count(QLatin1Char('0')));
    const int maxDecimals = static_cast<int>(decimals.size());

    // Rounds half away from zero on the decimal value the text meant, not its binary neighbour.
    const double scale = std::pow(10.0, maxDecimals);
    // Beyond 1e15 a double has no decimals left to round, and scaling could overflow.
    const double magnitude = std::fabs(value) >= 1e15 ? std::fabs(value)
                                                       : std::floor(std::fabs(value) * scale + 0.5 + 1e-9) / scale;
    QString out = QString::number(magnitude, 'f', maxDecimals);
    while (maxDecimals > minDecimals && out.endsWith(QLatin1Char('0')) && out.size() - out.indexOf('.') - 1 > minDecimals)
        out.chop(1);
    if (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    if (value < 0 && magnitude != 0)
        out.prepend(QLatin1Char('-'));
    return out;
}

QString plainNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    if (!std::isfinite(value))
        return QString::number(value);
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        return QString::number(static_cast<qint64>(value));
    // Fifteen significant digits, never an exponent: ten fixed decimals showed 1e-7 as "0".
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::clamp(14 - magnitude, 0, 330);
    QString s = QString::number(value, 'f', decimals);
    if (!s.contains(QLatin1Char('.')))
        return s;
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

QString singleLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : line)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return line;
}

} // namespace rv
