#pragma once
// The program's error value (a number and a description, as the error reports print them) and
// the one sink reported errors leave through.
#include <QString>
#include <stdexcept>

namespace rv {

struct RvError : std::runtime_error {
    RvError(int number, const QString& description, const QString& state = QString())
        : std::runtime_error(description.toStdString()), number(number), description(description), state(state) {}
    int number;
    QString description;
    // The SQLSTATE of an error a PostgreSQL server reported (number then holds SQLite's code for
    // the same fault, so that what handles an error need not know the engine).
    QString state;
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

// "Err #" + number + ": " + description + label
QString errorReport(const RvError& error, const char* label);

// Where reported errors go: the program's writes its log file, a command-line tool's standard
// error, a test's fails the test.
class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    virtual void report(const QString& text) = 0;
};

class StandardErrorSink final : public ErrorSink {
public:
    void report(const QString& text) override;
};

// One statement of a procedure that ignores errors statement by statement.
template <class F>
void ignoreErrors(F&& statement)
{
    try {
        statement();
    } catch (const std::exception&) {
    }
}

} // namespace rv
