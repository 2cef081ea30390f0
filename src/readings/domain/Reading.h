#pragma once
// One reading of a sensor as a typed value: what crosses from the reading tables to the
// charts, the import and the command-line tools.
#include <QDateTime>
#include <array>
#include <optional>

namespace rv {

using OptDouble = std::optional<double>;

struct Reading {
    static constexpr int kChannels = 10; // Channel1 … Channel10, zero1 … zero10
    static constexpr int kLoads = 4;     // Load1, Load2, Load3, Load5

    qint64 rowid = 0;                    // 0: not stored yet
    QDateTime moment;                    // FullDate, to the second, wall-clock
    OptDouble temperature;               // ChannelT
    std::array<OptDouble, kChannels> channels{};
    std::array<OptDouble, kChannels> zeroed{};
    OptDouble numTemp;
    std::array<OptDouble, kLoads> loads{};
    bool plotTemporal = true;
    bool plotSpatial = false;
    bool isDirty = true;
};

} // namespace rv
