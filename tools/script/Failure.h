#pragma once
#include <QString>
#include <stdexcept>

namespace script {

// A step that could not be carried out: an unknown object, a window that is not open,
// a disabled control, a failing statement... It fails its line; the run goes on.
struct StepFailure : std::runtime_error {
    explicit StepFailure(const QString& message) : std::runtime_error(message.toStdString()), message(message) {}
    QString message;
};

} // namespace script
