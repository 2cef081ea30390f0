#include "exchange/domain/ReadoutFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace rv {

namespace {

// Text that is not valid UTF-8 is taken as Latin-1 (older readout software) unless so many of
// its bytes lie above ASCII that it is no text at all.
bool looksBinary(const QByteArray& bytes)
{
    if (bytes.contains('\0'))
        return true;
    qsizetype high = 0, control = 0;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80)
            ++high;
        else if (u < 0x20 && u != '\n' && u != '\r' && u != '\t')
            ++control;
    }
    return (high + control) * 10 > bytes.size();
}

QString decode(const QByteArray& bytes, bool& ok)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    ok = true;
    if (!utf8.hasError())
        return text;
    if (looksBinary(bytes)) {
        ok = false;
        return {};
    }
    return QString::fromLatin1(bytes);
}

} // namespace

ReadoutFile::Status ReadoutFile::load(const QString& path)
{
    m_store.clear();
    m_fields.clear();
    m_unclosed.clear();
    const QFileInfo info(path);
    if (!info.isFile())
        return Status::Missing;
    if (info.size() > kMaxBytes)
        return Status::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Unreadable;
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes)
        return Status::TooLarge;
    return parse(bytes);
}

ReadoutFile::Status ReadoutFile::parse(const QByteArray& raw)
{
    m_store.clear();
    m_fields.clear();
    m_unclosed.clear();
    QByteArray bytes = raw;
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // Windows tools save "Unicode" text as UTF-16 with its byte-order mark.
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        text = utf16(QByteArrayView(bytes).sliced(2));
        if (utf16.hasError() || bytes.size() % 2 != 0 || text.contains(QChar(0)))
            return Status::NotText;
    } else {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        if (bytes.contains('\0'))
            return Status::NotText;
        bool ok = false;
        text = decode(bytes, ok);
        if (!ok)
            return Status::NotText;
    }

    m_store.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype start = 0;
    const QChar* chars = text.constData();
    while (start < n) {
        // CRLF, LF or a lone CR (older readout software) ends a line.
        qsizetype end = start;
        while (end < n && chars[end] != QLatin1Char('\n') && chars[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = QStringView(text).mid(start, end - start);
        // A blank line holds no reading (a trailing line end, an editor's extra line).
        if (!line.trimmed().isEmpty())
            addLine(line);
        start = end + 1;
        if (end + 1 < n && chars[end] == QLatin1Char('\r') && chars[end + 1] == QLatin1Char('\n'))
            ++start;
    }
    return Status::Ok;
}

void ReadoutFile::addLine(QStringView line)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    int column = 0;
    bool unclosed = false;
    const auto isBlank = [&](qsizetype at) { return line[at] == QLatin1Char(' ') || line[at] == QLatin1Char('\t'); };
    while (column < kColumns) {
        const int from = static_cast<int>(m_store.size());
        // Blanks around a quoted field are not part of it.
        qsizetype quote = i;
        while (quote < n && isBlank(quote))
            ++quote;
        if (quote < n && line[quote] == QLatin1Char('"')) {
            i = quote + 1;
            bool closed = false;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        m_store.append(QLatin1Char('"'));
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                m_store.append(line[i]);
                ++i;
            }
            unclosed = unclosed || !closed;
            qsizetype after = i;
            while (after < n && isBlank(after))
                ++after;
            if (after >= n || line[after] == QLatin1Char(','))
                i = after;
            // Other text between the closing quote and the comma belongs to the field.
            while (i < n && line[i] != QLatin1Char(','))
                m_store.append(line[i++]);
        } else {
            const qsizetype comma = line.indexOf(QLatin1Char(','), i);
            const qsizetype stop = comma < 0 ? n : comma;
            m_store.append(line.mid(i, stop - i));
            i = stop;
        }
        m_fields.push_back({from, static_cast<int>(m_store.size()) - from});
        ++column;
        if (i >= n)
            break;
        ++i; // the comma
    }
    for (; column < kColumns; ++column)
        m_fields.push_back({0, 0});
    if (unclosed)
        m_unclosed.push_back(lineCount() - 1);
}

bool ReadoutFile::unclosedQuote(int line) const
{
    return std::binary_search(m_unclosed.begin(), m_unclosed.end(), line);
}

QStringView ReadoutFile::field(int line, int column) const
{
    if (line < 0 || line >= lineCount() || column < 0 || column >= kColumns)
        return {};
    const Span s = m_fields[line * kColumns + column];
    return QStringView(m_store).mid(s.start, s.length);
}

QString ReadoutFile::refusal(Status status, const QString& fileName)
{
    switch (status) {
    case Status::TooLarge:
        return fileName + QStringLiteral(" is larger than 100 MB and cannot be a readout file. Nothing was imported.");
    case Status::NotText:
        return fileName + QStringLiteral(" is not a text file and cannot be imported. Nothing was imported.");
    case Status::Unreadable:
        return fileName + QStringLiteral(" cannot be read. Nothing was imported.");
    case Status::Missing:
    case Status::Ok:
        break;
    }
    return {};
}

} // namespace rv
