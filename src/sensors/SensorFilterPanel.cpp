#include "sensors/SensorFilterPanel.h"

#include "sensors/SensorBox.h"
#include "sensors/SensorForm.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

namespace rv {

namespace {
const QString kCaption = QStringLiteral("Kelderan's Rockvista");
}

SensorFilterPanel::SensorFilterPanel(AppState& state, FrmRockvista& form, SensorForm& sensorForm)
    : m_state(state), m_form(form), m_sensorForm(sensorForm)
{
    connect(form.imgFilter, &ImageButton::clicked, this, [this] { imgFilter_Click(); });
    connect(form.lblFilterState, &ClickLabel::clicked, this, [this] { imgFilter_Click(); });
    onLeave(form.txtStartDate, [this] { return txtStartDate_LostFocus(); });
    onLeave(form.txtEndDate, [this] { return txtEndDate_LostFocus(); });
}

void SensorFilterPanel::imgFilter_Click()
{
    if (m_state.sensors && m_state.sensors->filtered()) {
        RemoveFilter();
        return;
    }
    FilterCriteria criteria;
    bool ready = false;
    trap(m_state, " imgFilter_Click", [&] {
        FrmRockvista& f = m_form;
        FilterInput input;
        input.typeText = f.txtFilterType->currentText();
        for (int i = 0; i < f.txtFilterType->count(); ++i)
            input.typeEntries << f.txtFilterType->itemText(i);
        input.level = f.txtFilterLevel->text();
        input.location = f.txtFilterLocation->text();
        input.startDate = f.txtStartDate->text();
        input.endDate = f.txtEndDate->text();
        input.dontShowDestroyed = f.chkDontShowDestroyed->isChecked();
        const FilterProblem problem = readFilterCriteria(input, m_state.clock().today(), criteria);
        const QString message = filterProblemMessage(problem);
        switch (problem) {
        case FilterProblem::None:
            ready = true;
            break;
        case FilterProblem::NoCriteria:
            m_state.dialogs().message(message, kCaption, Icon::Information);
            break;
        case FilterProblem::BadStartDate:
            m_state.dialogs().message(message);
            f.txtStartDate->setFocus();
            break;
        case FilterProblem::BadEndDate:
            m_state.dialogs().message(message);
            f.txtEndDate->setFocus();
            break;
        case FilterProblem::UnknownType:
            m_state.dialogs().message(message);
            break;
        }
    });
    if (ready)
        AddFilter(criteria);
}

void SensorFilterPanel::AddFilter(const FilterCriteria& criteria)
{
    trap(m_state, " G_AddFilter", [&] {
        RecordSet& reg = sensorRegister(m_state);
        if (!m_sensorForm.savefields())
            return;
        reg.setFilter(filterPredicate(reg, criteria));
        if (reg.recordCount() > 0) {
            m_criteria = criteria;
            showFilterState(true);
        } else {
            m_state.dialogs().message(QStringLiteral("There are no sensors that meet the criteria"), kCaption,
                                      Icon::Exclamation);
            reg.clearFilter();
            showFilterState(false);
        }
        showFirstSensor(m_state, m_form, m_sensorForm);
    });
}

void SensorFilterPanel::RemoveFilter()
{
    trap(m_state, " G_RemoveFilter", [&] {
        RecordSet& reg = sensorRegister(m_state);
        if (!m_sensorForm.savefields())
            return;
        reg.clearFilter();
        m_form.lblFilter->hide();
        showFirstSensor(m_state, m_form, m_sensorForm);
        showFilterState(false);
        FrmRockvista& f = m_form;
        f.chkDontShowDestroyed->setChecked(false);
        f.txtFilterType->setCurrentIndex(-1);
        f.txtFilterType->setEditText(QString());
        f.txtFilterLevel->clear();
        f.txtFilterLocation->clear();
        f.txtStartDate->clear();
        f.txtEndDate->clear();
    });
}

void SensorFilterPanel::showFilterState(bool on)
{
    FrmRockvista& f = m_form;
    f.lblFilterState->setText(on ? QStringLiteral("Remove Filter") : QStringLiteral("Apply Filter"));
    f.imgFilter->setPixmap(on ? f.imgRemoveFilter->pixmap() : f.imgApplyFilter->pixmap());
    f.lblFilter->setVisible(on);
}

bool SensorFilterPanel::admits(const SensorNumber& number, const QDate& today) const
{
    return m_criteria.matches(QStringLiteral("No"), number.typeCode, QString(), QString(),
                              today.toString(QStringLiteral("yyyy/MM/dd")));
}

bool SensorFilterPanel::checkDateBox(QLineEdit* box, const QString& name)
{
    const QString text = box->text();
    if (text.isEmpty() || isDateText(text))
        return true;
    m_state.dialogs().message(name + QStringLiteral(" is not a valid date\nPlease type a date in the format yyyy/mm/dd"),
                              QString(), Icon::Exclamation);
    return false;
}

bool SensorFilterPanel::txtStartDate_LostFocus()
{
    return checkDateBox(m_form.txtStartDate, QStringLiteral("Start Date"));
}

bool SensorFilterPanel::txtEndDate_LostFocus()
{
    return checkDateBox(m_form.txtEndDate, QStringLiteral("End Date"));
}

} // namespace rv
