#pragma once
// Bolt loads from the zero-corrected strains and the bolt's k factor (microstrain per ton).
#include "db/Errors.h"

#include <QString>
#include <optional>
#include <array>

namespace rv {

// The k factor's text as a number: blanks, tabs and line feeds anywhere are dropped, then the
// longest leading number counts (sign, "." as decimal point, exponent, or an &H / &O integer);
// 0 when there is none.
double kFactorNumber(const QString& text);

// Zeroed strains of gauges 1..6 (index 0 unused); an empty optional is a Null field.
using Strains = std::array<std::optional<double>, 7>;

struct Loads {
    std::optional<double> load1; // gauges 1 and 4
    std::optional<double> load2; // gauge 2
    std::optional<double> load3; // gauges 3 and 6
    std::optional<double> load5; // gauge 5
};

// 1 / k, the factor every load is multiplied by. Throws RvError 11 "Division by zero" when k
// is 0 and 6 "Overflow" when 1 / k is not finite.
double loadFactor(double k);

// Throws RvError 11 "Division by zero" when k is 0 (and 6 "Overflow" when 1/k is not finite):
// then no load of the row may change.
Loads computeLoads(const Strains& zero, double k);

} // namespace rv
