#pragma once
// The filter panel of the utilities tab: narrowing the register by type, level, location,
// install dates and destroyed state, and switching the filter off again.
#include "core/State.h"
#include "sensors/domain/FilterCriteria.h"
#include "sensors/domain/SensorNumber.h"

#include <QObject>

class QLineEdit;

namespace rv {

class FrmRockvista;
class SensorForm;

class SensorFilterPanel : public QObject {
    Q_OBJECT
public:
    SensorFilterPanel(AppState& state, FrmRockvista& form, SensorForm& sensorForm);

    void imgFilter_Click();
    void AddFilter(const FilterCriteria& criteria);
    void RemoveFilter();
    bool txtStartDate_LostFocus();
    bool txtEndDate_LostFocus();

    // Whether the filter that is on would show a sensor just created from this number.
    bool admits(const SensorNumber& number, const QDate& today) const;

private:
    void showFilterState(bool on);
    bool checkDateBox(QLineEdit* box, const QString& name);

    AppState& m_state;
    FrmRockvista& m_form;
    SensorForm& m_sensorForm;
    FilterCriteria m_criteria; // of the filter that is on
};

} // namespace rv
