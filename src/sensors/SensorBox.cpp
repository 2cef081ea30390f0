#include "sensors/SensorBox.h"

#include "sensors/SensorEditing.h"
#include "sensors/SensorFilterPanel.h"
#include "sensors/SensorForm.h"
#include "sensors/SensorSelection.h"
#include "sensors/SensorSets.h"
#include "sensors/domain/SensorRecords.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"

#include <QSignalBlocker>

namespace rv {

void fillSensorList(QComboBox& box, const RecordSet& registerSet)
{
    const QSignalBlocker block(&box);
    box.clear();
    box.addItems(instrumentIds(registerSet));
}

void showCurrentInBox(QComboBox& box, const RecordSet& registerSet)
{
    const QString id = registerSet.text(sensorField::instrumentId);
    const int index = registerSet.absolutePosition() - 1;
    const QSignalBlocker block(&box);
    if (index >= 0 && index < box.count() && box.itemText(index) == id)
        box.setCurrentIndex(index);
    box.setEditText(id);
}

void showFirstSensor(AppState& state, FrmRockvista& form, SensorForm& sensorForm)
{
    RecordSet& reg = sensorRegister(state);
    fillSensorList(*form.cboSensors, reg);
    reg.moveFirst();
    sensorForm.fillfields();
    if (!reg.eof())
        showCurrentInBox(*form.cboSensors, reg);
    form.txtSCount->setText(QString::number(reg.recordCount()));
    if (reg.recordCount() == 0 && reg.filtered()) {
        // Nothing left to show, yet the register is not empty: say that the filter hides it.
        int hidden = 0;
        ignoreErrors([&] {
            hidden = SensorStore(connection(state)).sensorCount();
        });
        if (hidden > 0) {
            form.txtSnav->setText(QString::number(hidden) + QStringLiteral(" hidden by filter"));
            form.txtSCount->setText(QStringLiteral("0 of ") + QString::number(hidden));
        }
    }
}

void addSensorPanels(std::vector<std::unique_ptr<QObject>>& panels, AppState& state, FrmRockvista& form,
                     SensorForm& sensorForm)
{
    auto filter = std::make_unique<SensorFilterPanel>(state, form, sensorForm);
    auto editing = std::make_unique<SensorEditing>(state, form, sensorForm, *filter);
    auto selection = std::make_unique<SensorSelection>(state, form, sensorForm, *editing);
    panels.push_back(std::move(filter));
    panels.push_back(std::move(editing));
    panels.push_back(std::move(selection));
}

} // namespace rv
