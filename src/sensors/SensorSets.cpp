#include "sensors/SensorSets.h"

namespace rv {

namespace {

template <typename T> T& opened(const std::unique_ptr<T>& set)
{
    if (!set)
        throw RvError(91, QStringLiteral("Object variable or With block variable not set"));
    return *set;
}

} // namespace

RecordSet& sensorRegister(AppState& state) { return opened(state.sensors); }
RecordSet& typeTable(AppState& state) { return opened(state.types); }
Database& connection(AppState& state) { return opened(state.db); }

} // namespace rv
