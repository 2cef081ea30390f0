#include "charts/domain/Loads.h"

#include <QLocale>
#include <cmath>

namespace rv {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// &H1F, &O17: digits of the base up to the first other character; 0 when none follow.
double radixNumber(const QString& s, int base)
{
    double value = 0;
    for (int i = 2; i < s.size(); ++i) {
        const int d = s[i].isDigit() ? s[i].unicode() - '0'
                      : (s[i].toUpper() >= QLatin1Char('A') && s[i].toUpper() <= QLatin1Char('F'))
                          ? s[i].toUpper().unicode() - 'A' + 10
                          : base;
        if (d >= base)
            break;
        value = value * base + d;
    }
    return value;
}

double decimalPrefix(const QString& s)
{
    int i = 0;
    const int n = s.size();
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && s[i].isDigit()) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && s[i].isDigit()) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    int end = i;
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            ++j;
        const int expStart = j;
        while (j < n && s[j].isDigit())
            ++j;
        if (j > expStart)
            end = j;
    }
    QString prefix = s.left(end);
    if (prefix.endsWith(QLatin1Char('.')))
        prefix.chop(1);
    bool ok = false;
    const double v = QLocale::c().toDouble(prefix, &ok);
    return ok ? v : 0;
}

} // namespace

double kFactorNumber(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c))
            s.append(c);
    if (s.size() >= 2 && s[0] == QLatin1Char('&')) {
        const QChar p = s[1].toUpper();
        if (p == QLatin1Char('H'))
            return radixNumber(s, 16);
        if (p == QLatin1Char('O'))
            return radixNumber(s, 8);
        return 0;
    }
    return decimalPrefix(s);
}

double loadFactor(double k)
{
    if (k == 0)
        throw RvError(err::DivisionByZero, QStringLiteral("Division by zero"));
    const double r = 1.0 / k;
    if (!std::isfinite(r))
        throw RvError(6, QStringLiteral("Overflow"));
    return r;
}

Loads computeLoads(const Strains& zero, double k)
{
    const double r = loadFactor(k);
    const auto pair = [&](int a, int b) -> std::optional<double> {
        if (!zero[a] || !zero[b])
            return std::nullopt;
        return ((*zero[a] + *zero[b]) / 2) * r;
    };
    const auto single = [&](int a) -> std::optional<double> {
        if (!zero[a])
            return std::nullopt;
        return *zero[a] * r;
    };
    return Loads{pair(1, 4), single(2), pair(3, 6), single(5)};
}

} // namespace rv
