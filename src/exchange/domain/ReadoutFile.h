#pragma once
// A readout unit's text file: comma-separated, no header line, one reading per line, 16 text
// columns. A field may be in double quotes (a comma inside stays in the field, "" is one
// quote, blanks around the quotes are not part of it); a line with fewer fields leaves the rest
// empty. CRLF, LF or CR line ends; UTF-8 (a byte-order mark is ignored) or, with its byte-order
// mark, UTF-16.
//
// A readout of years holds close to a million lines: the file is indexed once (where each line
// starts and ends) and a line is read and split only when it is asked for, so that memory grows
// with the lines, not with their text.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVector>

#include <array>
#include <functional>
#include <memory>

namespace rv {

// One line split into its fields.
class ReadoutLine {
public:
    static constexpr int kColumns = 16;
    // Column 0..15; empty (Null) for a missing or empty field.
    QStringView field(int column) const;
    // A quote opened on the line and never closed: the line's fields cannot be told apart.
    bool unclosedQuote() const { return m_unclosed; }

private:
    friend class ReadoutFile;
    // Splits m_text into its first `columns` fields. A field without quotes is a view into the
    // text; a quoted one is unquoted into m_store.
    void split(int columns = kColumns);
    struct Span {
        int start = 0, length = 0;
        bool unquoted = false;
    };
    QString m_text;
    QString m_store;
    std::array<Span, kColumns> m_fields{};
    bool m_unclosed = false;
};

class ReadoutFile {
public:
    static constexpr int kColumns = ReadoutLine::kColumns;
    // Larger files are refused: a readout unit's memory holds far less.
    static constexpr qint64 kMaxBytes = 100LL * 1024 * 1024;

    enum class Status { Ok, Missing, Unreadable, TooLarge, NotText };

    ReadoutFile();
    ~ReadoutFile();
    ReadoutFile(const ReadoutFile&);
    ReadoutFile& operator=(const ReadoutFile&);
    ReadoutFile(ReadoutFile&&) noexcept;
    ReadoutFile& operator=(ReadoutFile&&) noexcept;

    // Indexes the file, which stays open to read its lines from. Anything but Ok leaves the
    // file empty.
    Status load(const QString& path);
    // Indexes text already in memory (the file's bytes).
    Status parse(const QByteArray& bytes);

    int lineCount() const;
    bool isEmpty() const { return lineCount() == 0; }
    // Line 0..lineCount()-1; an empty line for any other. The reference, and the views its
    // fields give, hold until a few other lines have been read.
    const ReadoutLine& line(int line) const;
    QStringView field(int line, int column) const { return this->line(line).field(column); }
    QString text(int line, int column) const { return field(line, column).toString(); }
    bool unclosedQuote(int line) const { return this->line(line).unclosedQuote(); }
    // Every line in order, read a block at a time: the way through a whole file. columns: the
    // fields each line is split into (the date alone: 1); the others are empty.
    void forEachLine(const std::function<void(int line, const ReadoutLine&)>& each,
                     int columns = kColumns) const;

    // The message that refuses a file of the given status, naming the file.
    static QString refusal(Status status, const QString& fileName);

    // The size of the blocks a file is read in (tests make it small to cross its edges often).
    static void setBlockBytes(qint64 bytes);

private:
    struct Data;
    std::shared_ptr<Data> d;
};

} // namespace rv
