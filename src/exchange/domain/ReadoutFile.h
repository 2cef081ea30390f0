#pragma once
// A readout unit's text file: comma-separated, no header line, one reading per line, 16 text
// columns. A field may be in double quotes (a comma inside stays in the field, "" is one
// quote, blanks around the quotes are not part of it); a line with fewer fields leaves the rest
// empty. CRLF, LF or CR line ends; UTF-8 (a byte-order mark is ignored) or, with its byte-order
// mark, UTF-16.
#include <QString>
#include <QStringView>
#include <QVector>

namespace rv {

class ReadoutFile {
public:
    static constexpr int kColumns = 16;
    // Larger files are refused: a readout unit's memory holds far less.
    static constexpr qint64 kMaxBytes = 100LL * 1024 * 1024;

    enum class Status { Ok, Missing, Unreadable, TooLarge, NotText };

    // Reads and splits the file. Anything but Ok leaves the file empty.
    Status load(const QString& path);
    // Splits text already in memory (the file's bytes).
    Status parse(const QByteArray& bytes);

    int lineCount() const { return static_cast<int>(m_fields.size() / kColumns); }
    bool isEmpty() const { return m_fields.isEmpty(); }
    // Column 0..15 of a line; empty (Null) for a missing or empty field.
    QStringView field(int line, int column) const;
    QString text(int line, int column) const { return field(line, column).toString(); }
    // A quote opened on the line and never closed: the line's fields cannot be told apart.
    bool unclosedQuote(int line) const;

    // The message that refuses a file of the given status, naming the file.
    static QString refusal(Status status, const QString& fileName);

private:
    struct Span { int start; int length; };
    void addLine(QStringView line);

    QString m_store;          // every field's text, one after the other
    QVector<Span> m_fields;   // kColumns per line
    QVector<int> m_unclosed;  // lines with an unclosed quote, ascending
};

} // namespace rv
