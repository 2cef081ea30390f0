#pragma once
// The runner's standard output: one event per line, written at once.
#include <QString>

namespace script {

// Writes one line to standard output and flushes it, so that events interleave
// correctly with anything the program itself prints.
void printLine(const QString& line);

// A text in double quotes, with line breaks written \n and quotes \", backslashes \\,
// so that one event stays on one line and can be pasted back into a script.
QString quoted(const QString& text);

// A number in its shortest form: 12.5, 3, -3.25, 0.1 (15 significant digits at most).
QString shortNumber(double value);

} // namespace script
