#pragma once
// The bolt status under the sensor's picture: shown again whenever the shown sensor, its
// register row or its readings change.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;
class SensorForm;

class BoltStatusLabel : public QObject {
    Q_OBJECT
public:
    BoltStatusLabel(AppState& state, FrmRockvista& form, SensorForm& sensorForm);
    void refresh();

private:
    QString shownId() const;

    AppState& m_state;
    FrmRockvista& m_form;
};

} // namespace rv
