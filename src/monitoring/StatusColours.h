#pragma once
// The colours a bolt status is shown in, the same on the identification tab and in the overview.
#include "monitoring/domain/BoltStatus.h"

#include <QColor>

namespace rv {

QColor statusBackground(BoltState state);
QColor statusForeground(BoltState state);
// Amber, for a figure that calls for a look (a sensor not read for weeks).
QColor amberColour();

} // namespace rv
