#include "exchange/domain/ReadoutFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace rv {

namespace {

qint64 blockBytes = 1 << 20;
// A line asked for out of order (the grid scrolled) is read with this much around it.
constexpr qint64 kNearBytes = 64 * 1024;
constexpr int kNearLines = 64;

const QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

bool isAscii(QByteArrayView bytes)
{
    uchar all = 0;
    for (const char c : bytes)
        all |= static_cast<uchar>(c);
    return all < 0x80;
}

bool isAsciiBlank(uchar c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Where the lines lie. A CR or LF ends a line (so CRLF ends one and leaves an empty one, which
// goes like every blank line: it holds no reading). Whether a line of blanks and bytes above
// ASCII is blank is told once the file's encoding is known.
struct LineIndex {
    QVector<quint32> starts, ends;
    QVector<int> undecided;
    qint64 lineStart = 0;
    enum Kind { Blank, Unsure, Text } kind = Blank;

    void feed(const char* p, qint64 at, qint64 n)
    {
        qint64 i = 0;
        while (i < n) {
            const auto* lf = static_cast<const char*>(std::memchr(p + i, '\n', size_t(n - i)));
            const qint64 stop = lf ? lf - p : n;
            const auto* cr = static_cast<const char*>(std::memchr(p + i, '\r', size_t(stop - i)));
            const qint64 end = cr ? cr - p : stop;
            for (qint64 j = i; j < end && kind != Text; ++j) {
                const auto c = static_cast<uchar>(p[j]);
                if (c >= 0x80)
                    kind = Unsure;
                else if (!isAsciiBlank(c))
                    kind = Text;
            }
            if (end == n)
                return; // the line goes on in the next block
            close(at + end);
            lineStart = at + end + 1;
            i = end + 1;
        }
    }
    void close(qint64 end)
    {
        if (kind != Blank) {
            if (kind == Unsure)
                undecided.push_back(static_cast<int>(starts.size()));
            starts.push_back(static_cast<quint32>(lineStart));
            ends.push_back(static_cast<quint32>(end));
        }
        kind = Blank;
    }
};

// Text that is not valid UTF-8 is taken as Latin-1 (older readout software) unless so many of
// its bytes lie above ASCII that it is no text at all.
struct ByteCounts {
    qint64 high = 0, control = 0, all = 0;
    void add(QByteArrayView bytes)
    {
        for (const char c : bytes) {
            const auto u = static_cast<uchar>(c);
            if (u >= 0x80)
                ++high;
            else if (u < 0x20 && u != '\n' && u != '\r' && u != '\t')
                ++control;
        }
        all += bytes.size();
    }
    bool binary() const { return (high + control) * 10 > all; }
};

} // namespace

// --- a line ---

void ReadoutLine::split(int columns)
{
    m_store.resize(0);
    m_unclosed = false;
    const QStringView line(m_text);
    const qsizetype n = line.size();
    qsizetype i = 0;
    int column = 0;
    const auto isBlank = [&](qsizetype at) { return line[at] == QLatin1Char(' ') || line[at] == QLatin1Char('\t'); };
    while (column < columns) {
        // Blanks around a quoted field are not part of it.
        qsizetype quote = i;
        while (quote < n && isBlank(quote))
            ++quote;
        if (quote < n && line[quote] == QLatin1Char('"')) {
            const int from = static_cast<int>(m_store.size());
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
            m_unclosed = m_unclosed || !closed;
            qsizetype after = i;
            while (after < n && isBlank(after))
                ++after;
            if (after >= n || line[after] == QLatin1Char(','))
                i = after;
            // Other text between the closing quote and the comma belongs to the field.
            while (i < n && line[i] != QLatin1Char(','))
                m_store.append(line[i++]);
            m_fields[column] = {from, static_cast<int>(m_store.size()) - from, false};
        } else {
            // A plain loop: a field is a few characters, too short for a search to pay its set-up.
            qsizetype stop = i;
            while (stop < n && line[stop] != QLatin1Char(','))
                ++stop;
            m_fields[column] = {static_cast<int>(i), static_cast<int>(stop - i), true};
            i = stop;
        }
        ++column;
        if (i >= n)
            break;
        ++i; // the comma
    }
    for (; column < kColumns; ++column)
        m_fields[column] = {};
}

QStringView ReadoutLine::field(int column) const
{
    if (column < 0 || column >= kColumns)
        return {};
    const Span s = m_fields[column];
    return QStringView(s.unquoted ? m_text : m_store).mid(s.start, s.length);
}

// --- the file ---

struct ReadoutFile::Data {
    QByteArray memory; // the text itself: parse(), and a UTF-16 file made UTF-8
    QFile file;        // or the file it is read from
    bool fromFile = false;
    bool latin1 = false;
    QVector<quint32> starts, ends; // each line's bytes

    QByteArray window; // bytes of the file read around the lines last asked for
    qint64 windowAt = 0;
    QStringDecoder utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    struct Recent {
        int line = -1;
        ReadoutLine split;
    };
    std::array<Recent, 8> recent; // the grid asks for a line's cells one by one
    int nextRecent = 0;
    int lastRead = -1;

    // Up to `length` bytes at `at`; empty at the end, or when the file cannot be read (bad).
    QByteArrayView bytesAt(qint64 at, qint64 length, QByteArray& buffer, bool& bad)
    {
        if (!fromFile)
            return QByteArrayView(memory).sliced(std::min<qint64>(at, memory.size()),
                                                 std::clamp<qint64>(memory.size() - at, 0, length));
        buffer.resize(length);
        const qint64 got = file.seek(at) ? file.read(buffer.data(), length) : -1;
        bad = got < 0;
        return QByteArrayView(buffer).first(std::max<qint64>(got, 0));
    }

    QByteArrayView lineBytes(int line, bool inOrder)
    {
        const qint64 from = starts[line], to = ends[line];
        if (!fromFile)
            return QByteArrayView(memory).sliced(from, to - from);
        if (from < windowAt || to > windowAt + window.size()) {
            const qint64 at = inOrder ? from : starts[std::max(0, line - kNearLines)];
            bool bad = false;
            const QByteArrayView got = bytesAt(at, std::max(inOrder ? blockBytes : std::min(kNearBytes, blockBytes), to - at),
                                               window, bad);
            window.resize(got.size());
            windowAt = at;
            if (to > windowAt + window.size())
                return {}; // the file was cut short meanwhile
        }
        return QByteArrayView(window).sliced(from - windowAt, to - from);
    }

    QStringView decode(QByteArrayView bytes, QString& into)
    {
        // Most lines are ASCII, which both encodings read alike.
        if (latin1 || isAscii(bytes)) {
            into.resize(0);
            into.append(QLatin1StringView(bytes.data(), bytes.size()));
        } else {
            into.resize(bytes.size());
            const QChar* end = utf8.appendToBuffer(into.data(), bytes);
            into.resize(end - into.constData());
        }
        return into;
    }

    void read(int line, ReadoutLine& into, bool inOrder, int columns = ReadoutLine::kColumns)
    {
        QByteArrayView bytes = lineBytes(line, inOrder);
        // The first field alone is the text before the first comma when no quote comes before
        // it: the rest of the line need not be decoded.
        if (columns == 1) {
            const qsizetype comma = bytes.indexOf(',');
            if (comma >= 0 && !bytes.first(comma).contains('"'))
                bytes = bytes.first(comma);
        }
        decode(bytes, into.m_text);
        into.split(columns);
    }

    Status fromUtf16(QByteArray& text);
    Status index(qint64 base, bool rawUtf8);
    Status indexText(const QByteArray& head);
};

namespace {
bool isUtf16(QByteArrayView head)
{
    return head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
}
} // namespace

// Windows tools save "Unicode" text as UTF-16 with its byte-order mark. It is held as UTF-8,
// converted a block at a time.
ReadoutFile::Status ReadoutFile::Data::fromUtf16(QByteArray& text)
{
    QByteArray buffer;
    bool bad = false;
    const QByteArrayView head = bytesAt(0, 2, buffer, bad);
    const bool little = head.startsWith("\xFF\xFE");
    const qint64 size = fromFile ? file.size() : memory.size();
    if (size % 2 != 0)
        return Status::NotText;
    const auto flags = QStringDecoder::Flag::Stateless;
    QStringDecoder first(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, flags);
    QStringDecoder later(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                         flags | QStringDecoder::Flag::ConvertInitialBom);
    for (qint64 at = 2; at < size;) {
        QByteArrayView block = bytesAt(at, std::max<qint64>(blockBytes & ~qint64(1), 4), buffer, bad);
        if (bad)
            return Status::Unreadable;
        if (block.size() < 2)
            break;
        block = block.first(block.size() & ~qsizetype(1));
        // A surrogate pair stays whole.
        if (at + block.size() < size) {
            const auto unit = little ? (uchar(block[block.size() - 1]) << 8 | uchar(block[block.size() - 2]))
                                     : (uchar(block[block.size() - 2]) << 8 | uchar(block[block.size() - 1]));
            if (unit >= 0xD800 && unit <= 0xDBFF)
                block.chop(2);
        }
        QStringDecoder& decoder = at == 2 ? first : later;
        const QString part = decoder(block);
        if (decoder.hasError() || part.contains(QChar(0)))
            return Status::NotText;
        text += part.toUtf8();
        at += block.size();
    }
    return Status::Ok;
}

ReadoutFile::Status ReadoutFile::Data::index(qint64 base, bool rawUtf8)
{
    QStringDecoder check(QStringDecoder::Utf8);
    QString scratch;
    bool valid = true;
    bool open = false; // the decoder may hold part of a sequence
    LineIndex lines;
    lines.lineStart = base;
    QByteArray buffer;
    qint64 at = base;
    for (;;) {
        bool bad = false;
        const QByteArrayView block = bytesAt(at, blockBytes, buffer, bad);
        if (bad)
            return Status::Unreadable;
        if (block.isEmpty())
            break;
        if (fromFile && at + block.size() > kMaxBytes)
            return Status::TooLarge; // grown since it was measured
        if (block.contains('\0'))
            return Status::NotText;
        if (valid) {
            // ASCII is valid UTF-8 and needs no decoding, but its first byte still ends (or
            // breaks) a sequence the block before left open.
            const QByteArrayView checked = !isAscii(block) ? block : open ? block.first(1) : QByteArrayView();
            if (!checked.isEmpty()) {
                scratch.resize(check.requiredSpace(checked.size()));
                check.appendToBuffer(scratch.data(), checked);
                valid = !check.hasError();
                open = checked.size() == block.size();
            }
        }
        lines.feed(block.data(), at, block.size());
        at += block.size();
    }
    lines.close(at);
    if (valid) {
        // A sequence cut off by the end of the file shows as one when anything follows.
        scratch.resize(check.requiredSpace(1));
        check.appendToBuffer(scratch.data(), QByteArrayView("\n"));
        valid = !check.hasError();
    }
    if (!valid) {
        ByteCounts counts;
        for (qint64 from = base; from < at;) {
            bool bad = false;
            const QByteArrayView block = bytesAt(from, blockBytes, buffer, bad);
            if (bad || block.isEmpty())
                return Status::Unreadable;
            counts.add(block);
            from += block.size();
        }
        if (counts.binary())
            return Status::NotText;
        latin1 = true;
    }
    starts = std::move(lines.starts);
    ends = std::move(lines.ends);
    // The decoder passes over a byte-order mark at the start of UTF-8 text (after the one
    // the file starts with).
    if (rawUtf8 && !latin1 && !starts.isEmpty() && starts[0] == base) {
        bool bad = false;
        if (bytesAt(base, 3, buffer, bad) == kUtf8Bom)
            starts[0] = std::min<quint32>(starts[0] + 3, ends[0]);
    }
    if (!lines.undecided.isEmpty()) {
        QVector<char> blank(starts.size(), 0);
        for (const int line : lines.undecided)
            blank[line] = decode(lineBytes(line, true), scratch).trimmed().isEmpty();
        qsizetype kept = 0;
        for (qsizetype line = 0; line < starts.size(); ++line)
            if (!blank[line]) {
                starts[kept] = starts[line];
                ends[kept++] = ends[line];
            }
        starts.resize(kept);
        ends.resize(kept);
    }
    starts.squeeze();
    ends.squeeze();
    return Status::Ok;
}

ReadoutFile::ReadoutFile() : d(std::make_shared<Data>()) {}
ReadoutFile::~ReadoutFile() = default;
ReadoutFile::ReadoutFile(const ReadoutFile&) = default;
ReadoutFile& ReadoutFile::operator=(const ReadoutFile&) = default;
ReadoutFile::ReadoutFile(ReadoutFile&&) noexcept = default;
ReadoutFile& ReadoutFile::operator=(ReadoutFile&&) noexcept = default;

void ReadoutFile::setBlockBytes(qint64 bytes)
{
    blockBytes = std::max<qint64>(bytes, 4);
}

// Indexes the lines of the text whose first bytes are head: UTF-16 converted and held as UTF-8
// first, a UTF-8 byte-order mark passed over.
ReadoutFile::Status ReadoutFile::Data::indexText(const QByteArray& head)
{
    if (!isUtf16(head))
        return index(head.startsWith(kUtf8Bom) ? 3 : 0, true);
    QByteArray text;
    const Status status = fromUtf16(text);
    if (fromFile) {
        file.close();
        fromFile = false;
    }
    memory = text;
    return status == Status::Ok ? index(0, false) : status;
}

ReadoutFile::Status ReadoutFile::load(const QString& path)
{
    d = std::make_shared<Data>();
    const QFileInfo info(path);
    if (!info.isFile())
        return Status::Missing;
    if (info.size() > kMaxBytes)
        return Status::TooLarge;
    auto data = std::make_shared<Data>();
    data->file.setFileName(path);
    if (!data->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Status::Unreadable;
    data->fromFile = true;
    QByteArray buffer;
    bool bad = false;
    const QByteArray head = data->bytesAt(0, 3, buffer, bad).toByteArray();
    if (bad)
        return Status::Unreadable;
    const Status status = data->indexText(head);
    if (status == Status::Ok)
        d = std::move(data);
    return status;
}

ReadoutFile::Status ReadoutFile::parse(const QByteArray& bytes)
{
    d = std::make_shared<Data>();
    auto data = std::make_shared<Data>();
    data->memory = bytes;
    const Status status = data->indexText(bytes.first(std::min<qsizetype>(bytes.size(), 3)));
    if (status == Status::Ok)
        d = std::move(data);
    return status;
}

int ReadoutFile::lineCount() const
{
    return static_cast<int>(d->starts.size());
}

const ReadoutLine& ReadoutFile::line(int line) const
{
    static const ReadoutLine none;
    if (line < 0 || line >= lineCount())
        return none;
    for (const Data::Recent& r : d->recent)
        if (r.line == line)
            return r.split;
    Data::Recent& r = d->recent[d->nextRecent];
    d->nextRecent = (d->nextRecent + 1) % int(d->recent.size());
    r.line = line;
    d->read(line, r.split, line == d->lastRead + 1);
    d->lastRead = line;
    return r.split;
}

void ReadoutFile::forEachLine(const std::function<void(int, const ReadoutLine&)>& each, int columns) const
{
    ReadoutLine split;
    for (int line = 0; line < lineCount(); ++line) {
        d->read(line, split, true, columns);
        each(line, split);
    }
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
