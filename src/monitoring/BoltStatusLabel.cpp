#include "monitoring/BoltStatusLabel.h"

#include "monitoring/StatusColours.h"
#include "sensors/SensorForm.h"
#include "ui/FrmRockvista.h"

namespace rv {

BoltStatusLabel::BoltStatusLabel(AppState& state, FrmRockvista& form, SensorForm& sensorForm)
    : m_state(state), m_form(form)
{
    form.lblBoltStatus->setAutoFillBackground(true);
    connect(&sensorForm, &SensorForm::sensorShown, this, &BoltStatusLabel::refresh);
    connect(&state.events, &DataEvents::readingsChanged, this, [this](const QString& id) {
        if (id == shownId())
            refresh();
    });
}

QString BoltStatusLabel::shownId() const
{
    RecordSet* reg = m_state.sensors.get();
    if (!reg || reg->recordCount() == 0 || reg->bof() || reg->eof())
        return {};
    // A row being deleted shows no sensor; the move that follows shows the next one.
    QString id;
    ignoreErrors([&] { id = reg->text(sensorField::instrumentId); });
    return id;
}

void BoltStatusLabel::refresh()
{
    QLabel* label = m_form.lblBoltStatus;
    std::optional<BoltStatus> status;
    // A status that cannot be read is shown as none, never as an alarm of its own.
    trap(m_state, "BoltStatusLabel.refresh", [&] {
        const QString id = shownId();
        if (id.isEmpty() || !m_state.db)
            return;
        if (const std::optional<Sensor> sensor = SensorStore(*m_state.db).sensor(id))
            status = boltStatus(*m_state.db, *sensor);
    });
    label->setVisible(status.has_value());
    if (!status)
        return;
    label->setText(status->text());
    label->setToolTip(status->figures());
    QPalette p = label->palette();
    p.setColor(QPalette::Window, statusBackground(status->state));
    p.setColor(QPalette::WindowText, statusForeground(status->state));
    label->setPalette(p);
}

} // namespace rv
