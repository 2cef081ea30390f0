#include "readings/ReadingsPanel.h"

#include "ui/FrmRockvista.h"

namespace rv {

ReadingsPanel::ReadingsPanel(AppState& state, FrmRockvista& form) : m_state(state), m_form(form) {}
ReadingsPanel::~ReadingsPanel() = default;

void ReadingsPanel::enterTab() {}
void ReadingsPanel::leaveTab() {}
bool ReadingsPanel::ReadingValid() { return true; }
void ReadingsPanel::SaveReadings() {}
void ReadingsPanel::OpenSensorData() {}
void ReadingsPanel::fillreadings() {}
void ReadingsPanel::showPosition() {}

} // namespace rv
