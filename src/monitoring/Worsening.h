#pragma once
// Telling the user which bolts an append made worse: one information message, after the
// append's own, and the same lines in the log.
#include "core/State.h"
#include "monitoring/domain/BoltStatus.h"

namespace rv {

inline void tellWorsened(const AppState& state, const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    for (const QString& line : lines)
        state.writeToLog(line);
    state.dialogs().message(lines.join(QLatin1Char('\n')), {}, Icon::Information);
}

} // namespace rv
