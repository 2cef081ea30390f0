#include "Script.h"

#include "core/Seams.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

namespace script {

namespace {

QString unescape(QChar c, bool* known)
{
    *known = true;
    switch (c.unicode()) {
    case 'n': return QStringLiteral("\n");
    case 't': return QStringLiteral("\t");
    case 'r': return QStringLiteral("\r");
    case '"': return QStringLiteral("\"");
    case '\\': return QStringLiteral("\\");
    }
    *known = false;
    return {};
}

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

struct Arity {
    int min;
    int max;
};

const QHash<QString, Arity>& commands()
{
    static const QHash<QString, Arity> table = {
        {"clock", {1, 1}},          {"tick", {1, 1}},
        {"start", {0, 0}},          {"close", {0, 1}},
        {"sleep", {1, 1}},          {"answer", {1, 1}},
        {"click", {1, 1}},          {"set", {2, 2}},
        {"type", {2, 2}},           {"key", {2, 2}},
        {"leave", {1, 1}},          {"choose", {2, 2}},
        {"tab", {1, 1}},            {"cell", {3, 3}},
        {"click-cell", {3, 3}},     {"expect", {2, 2}},
        {"expect-items", {2, 2}},   {"expect-cell", {4, 4}},
        {"expect-colour", {2, 4}},  {"double-click-cell", {3, 3}},
        {"click-heading", {2, 2}},
        {"expect-visible", {2, 2}}, {"expect-enabled", {2, 2}},
        {"expect-focus", {1, 1}},   {"expect-message", {1, 5}},
        {"expect-message-match", {1, 5}}, {"expect-no-message", {0, 0}},
        {"expect-open", {1, 1}},    {"expect-open-match", {1, 1}},
        {"expect-chart", {2, 2}},   {"expect-chart-match", {2, 2}},
        {"expect-chart-axes", {2, 2}}, {"expect-chart-axes-match", {2, 2}},
        {"sql", {1, 1}},            {"expect-sql", {2, 2}},
        {"wait-sql", {2, 3}},
        {"expect-tables", {2, 2}},  {"reading-table", {1, 99}},
        {"sql-file", {2, 2}},       {"copy-database", {1, 1}},
        {"write-file", {2, 2}},     {"expect-file", {2, 2}},
        {"expect-file-contains", {2, 2}}, {"screenshot", {2, 2}},
    };
    return table;
}

void requireInt(const QString& word, const char* what, int min = INT_MIN)
{
    bool ok = false;
    const int v = word.toInt(&ok);
    if (!ok || v < min)
        throw ParseError(0, QStringLiteral("%1 must be a whole number%2, not \"%3\"")
                                .arg(QLatin1String(what), min == 0 ? QStringLiteral(" from 0") : QString(), word));
}

void requireOneOf(const QString& word, const QStringList& allowed, const char* what)
{
    if (!allowed.contains(word))
        throw ParseError(0, QStringLiteral("%1 must be one of %2, not \"%3\"")
                                .arg(QLatin1String(what), allowed.join(QLatin1Char('|')), word));
}

void requireRegex(const QString& pattern)
{
    const QRegularExpression re(pattern);
    if (!re.isValid())
        throw ParseError(0, QStringLiteral("bad regular expression \"%1\": %2").arg(pattern, re.errorString()));
}

QStringList iconNames()
{
    QStringList names;
    for (rv::Icon i : {rv::Icon::None, rv::Icon::Information, rv::Icon::Exclamation, rv::Icon::Warning,
                       rv::Icon::Critical, rv::Icon::Question})
        names << QString::fromLatin1(rv::iconName(i));
    return names;
}

void checkStep(const Step& s)
{
    const auto it = commands().find(s.command);
    if (it == commands().end())
        throw ParseError(0, QStringLiteral("unknown step \"%1\"").arg(s.command));
    const int n = s.args.size();
    if (n < it->min || n > it->max) {
        const QString count = it->min == it->max ? QString::number(it->min)
                                                 : QStringLiteral("%1 to %2").arg(it->min).arg(it->max);
        throw ParseError(0, QStringLiteral("%1 takes %2 word(s) after it, got %3").arg(s.command, count).arg(n));
    }
    const QString& c = s.command;
    if (c == QLatin1String("clock")) {
        if (!QDateTime::fromString(s.args[0], QStringLiteral("yyyy/MM/dd HH:mm:ss")).isValid())
            throw ParseError(0, QStringLiteral("clock needs \"yyyy/MM/dd HH:mm:ss\", not \"%1\"").arg(s.args[0]));
    } else if (c == QLatin1String("tick")) {
        requireInt(s.args[0], "tick SECONDS");
    } else if (c == QLatin1String("sleep")) {
        bool ok = false;
        const double v = s.args[0].toDouble(&ok);
        if (!ok || v < 0)
            throw ParseError(0, QStringLiteral("sleep SECONDS must be a number from 0, not \"%1\"").arg(s.args[0]));
    } else if (c == QLatin1String("wait-sql") && n == 3) {
        bool ok = false;
        const double v = s.args[2].toDouble(&ok);
        if (!ok || v < 0)
            throw ParseError(0, QStringLiteral("wait-sql SECONDS must be a number from 0, not \"%1\"").arg(s.args[2]));
    } else if (c == QLatin1String("key")) {
        requireOneOf(s.args[1], keyNames(), "key NAME");
    } else if (c == QLatin1String("tab")) {
        requireInt(s.args[0], "tab INDEX", 0);
    } else if (c == QLatin1String("click-heading")) {
        requireInt(s.args[1], "COL", 0);
    } else if (c == QLatin1String("cell") || c == QLatin1String("click-cell") || c == QLatin1String("expect-cell")
               || c == QLatin1String("double-click-cell")) {
        requireInt(s.args[1], "ROW", 0);
        requireInt(s.args[2], "COL", 0);
    } else if (c == QLatin1String("expect-colour")) {
        if (n == 3)
            throw ParseError(0, QStringLiteral("expect-colour takes OBJECT \"#rrggbb\" or GRID ROW COL \"#rrggbb\""));
        if (n == 4) {
            requireInt(s.args[1], "ROW", 0);
            requireInt(s.args[2], "COL", 0);
        }
        if (!QRegularExpression(QStringLiteral("^#[0-9a-f]{6}$")).match(s.args[n - 1]).hasMatch())
            throw ParseError(0, QStringLiteral("a colour is written #rrggbb in small letters, not \"%1\"").arg(s.args[n - 1]));
    } else if (c == QLatin1String("expect-visible") || c == QLatin1String("expect-enabled")) {
        requireOneOf(s.args[1], {QStringLiteral("true"), QStringLiteral("false")}, c.toLatin1().constData());
    } else if (c == QLatin1String("expect-file")) {
        requireOneOf(s.args[1], {QStringLiteral("exists"), QStringLiteral("missing")}, "expect-file");
    } else if (c.startsWith(QLatin1String("expect-message"))) {
        if (c.endsWith(QLatin1String("-match")))
            requireRegex(s.args[0]);
        if (n % 2 == 0)
            throw ParseError(0, QStringLiteral("%1 options come in pairs: caption \"...\", icon NAME").arg(c));
        for (int i = 1; i < n; i += 2) {
            requireOneOf(s.args[i], {QStringLiteral("caption"), QStringLiteral("icon")}, "option");
            if (s.args[i] == QLatin1String("icon"))
                requireOneOf(s.args[i + 1], iconNames(), "icon");
        }
    } else if (c == QLatin1String("expect-open-match")) {
        requireRegex(s.args[0]);
    } else if (c == QLatin1String("expect-chart-match") || c == QLatin1String("expect-chart-axes-match")) {
        requireRegex(s.args[1]);
    }
}

} // namespace

const QStringList& keyNames()
{
    static const QStringList names = {QStringLiteral("Enter"), QStringLiteral("Backspace"), QStringLiteral("Delete"),
                                      QStringLiteral("Tab"),   QStringLiteral("Escape"),    QStringLiteral("Up"),
                                      QStringLiteral("Down")};
    return names;
}

QStringList splitWords(const QString& line)
{
    QStringList words;
    int i = 0;
    const int n = line.size();
    while (i < n) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        if (line[i] == QLatin1Char('#'))
            break;
        QString word;
        if (line[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i];
                if (c == QLatin1Char('"')) {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == QLatin1Char('\\') && i + 1 < n) {
                    bool known = false;
                    const QString u = unescape(line[i + 1], &known);
                    // An unknown escape stays as written, so that regular expressions read naturally.
                    word += known ? u : line.mid(i, 2);
                    i += 2;
                    continue;
                }
                word += c;
                ++i;
            }
            if (!closed)
                throw ParseError(0, QStringLiteral("unterminated quoted word"));
            if (i < n && !isBlank(line[i]))
                throw ParseError(0, QStringLiteral("a closing quote must be followed by a blank"));
        } else {
            while (i < n && !isBlank(line[i])) {
                if (line[i] == QLatin1Char('"'))
                    throw ParseError(0, QStringLiteral("a quote inside an unquoted word"));
                word += line[i++];
            }
        }
        words << word;
    }
    return words;
}

QVector<Step> parseScript(const QString& text, const QString& dataDir, const QString& hereDir)
{
    QVector<Step> steps;
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        try {
            QStringList words = splitWords(lines[i]);
            if (words.isEmpty())
                continue;
            Step s;
            s.line = lineNo;
            s.command = words.takeFirst();
            for (QString& w : words) {
                w.replace(QLatin1String("$DATA"), dataDir);
                w.replace(QLatin1String("$HERE"), hereDir);
            }
            s.args = words;
            checkStep(s);
            steps << s;
        } catch (const ParseError& e) {
            throw ParseError(lineNo, e.message);
        }
    }
    return steps;
}

} // namespace script
