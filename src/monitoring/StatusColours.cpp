#include "monitoring/StatusColours.h"

namespace rv {

QColor amberColour() { return QColor(0xF2, 0xA9, 0x00); }

QColor statusBackground(BoltState state)
{
    switch (state) {
    case BoltState::Within: return QColor(0x2E, 0x7D, 0x32);
    case BoltState::Elastic: return amberColour();
    case BoltState::Plastic:
    case BoltState::Ultimate: return QColor(0xC6, 0x28, 0x28);
    case BoltState::NoReadings:
    case BoltState::Destroyed: break;
    }
    return QColor(0x80, 0x80, 0x80);
}

QColor statusForeground(BoltState state) { return state == BoltState::Elastic ? QColor(Qt::black) : QColor(Qt::white); }

} // namespace rv
