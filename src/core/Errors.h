#pragma once
// The program's error value: a number and a description, as the error reports print them.
#include <QString>
#include <stdexcept>

namespace rv {

struct RvError : std::runtime_error {
    RvError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number(number), description(description) {}
    int number;
    QString description;
};

// The classic numbers the program's own failures use.
namespace err {
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int InvalidUseOfNull = 94;
constexpr int NoCurrentRecord = 3021;
}

inline RvError typeMismatch() { return RvError(err::TypeMismatch, QStringLiteral("Type mismatch")); }
inline RvError noCurrentRecord()
{
    return RvError(err::NoCurrentRecord,
                   QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                  "Requested operation requires a current record."));
}

} // namespace rv
