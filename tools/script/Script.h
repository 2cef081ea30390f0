#pragma once
// A scenario script as steps: one step per line, words split on blanks, double-quoted
// words with \n, \" and \\ escapes, $DATA and $HERE replaced.
#include <QString>
#include <QStringList>
#include <QVector>
#include <stdexcept>

namespace script {

struct Step {
    int line = 0;
    QString command;
    QStringList args;
};

struct ParseError : std::runtime_error {
    ParseError(int line, const QString& message)
        : std::runtime_error(message.toStdString()), line(line), message(message) {}
    int line;
    QString message;
};

// Splits one line into words. A word starting with # outside quotes ends the line.
// Throws ParseError (with line 0) on an unterminated or misplaced quote.
QStringList splitWords(const QString& line);

// Parses a whole script and checks each step's words (command, count, numbers, key
// names, options); throws ParseError with the line number on the first bad line.
QVector<Step> parseScript(const QString& text, const QString& dataDir, const QString& hereDir);

// The words of a named key step: Enter, Backspace, Delete, Tab, Escape, Up, Down.
const QStringList& keyNames();

} // namespace script
