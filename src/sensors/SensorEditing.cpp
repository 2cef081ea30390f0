#include "sensors/SensorEditing.h"

#include "core/Tables.h"
#include "sensors/SensorBox.h"
#include "sensors/SensorFilterPanel.h"
#include "sensors/SensorForm.h"
#include "sensors/domain/SensorRecords.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"

namespace rv {

namespace {
const QString kCaption = QStringLiteral("Kelderan's Rockvista");
const QString kInvalidNumber = QStringLiteral("Invalid Sensor Number");

// The type table follows the sensor shown; a lookup for another type must not leave it elsewhere.
void typeBackToCurrentSensor(AppState& state)
{
    ignoreErrors([&] {
        typeTable(state).moveFirst();
        typeTable(state).find(typeField::sensorType, sensorRegister(state).text(sensorField::sensorType));
    });
}
} // namespace

SensorEditing::SensorEditing(AppState& state, FrmRockvista& form, SensorForm& sensorForm, SensorFilterPanel& filter)
    : m_state(state), m_form(form), m_sensorForm(sensorForm), m_filter(filter)
{
    connect(form.imgAddSensor, &ImageButton::clicked, this, [this] { imgAddSensor_Click(); });
    connect(form.Label57, &ClickLabel::clicked, this, [this] { imgAddSensor_Click(); });
    connect(form.imgDelete, &ImageButton::clicked, this, [this] { imgDelete_Click(); });
    connect(form.Label55, &ClickLabel::clicked, this, [this] { imgDelete_Click(); });
}

void SensorEditing::imgAddSensor_Click()
{
    if (!m_state.sensors || !m_state.types || !m_state.db) {
        // Start-up did not finish: there is no register to add to.
        trap(m_state, " imgAddSensor_Click", [&] { sensorRegister(m_state); });
        return;
    }
    if (!m_sensorForm.numbersStorable())
        return; // asked before the number, which would be typed for nothing
    m_state.pendingSensor.clear();
    m_state.pendingSensor = m_state.dialogs().input(QStringLiteral("Enter new Sensor No:"),
                                                     QStringLiteral("Add New Sensor"));
    if (m_state.pendingSensor.isEmpty()) {
        m_state.dialogs().message(QStringLiteral("No sensor entered"));
        return;
    }
    AddTypedSensor();
}

void SensorEditing::AddTypedSensor()
{
    bool rowAdded = false;
    const auto body = [&] {
        const QString number = m_state.pendingSensor;
        RecordSet& reg = sensorRegister(m_state);
        Dialogs& dialogs = m_state.dialogs();
        qint64 previous = 0;
        ignoreErrors([&] { previous = reg.bookmark(); });

        if (!m_sensorForm.numbersStorable())
            return;
        m_form.cboSensors->setEditText(number);
        if (!m_sensorForm.savefields())
            return; // the shown sensor could not be stored: the user was told, nothing is added

        const NumberCheck check = checkSensorNumber(number);
        if (check != NumberCheck::Valid) {
            dialogs.message(numberCheckMessage(check), kInvalidNumber, Icon::None);
            return;
        }
        const SensorNumber parts = splitSensorNumber(number);

        RecordSet& types = typeTable(m_state);
        types.moveFirst();
        if (!types.find(typeField::sensorType, parts.typeCode)) {
            dialogs.message(QStringLiteral("Sensors database error!!!"));
            typeBackToCurrentSensor(m_state);
            return;
        }
        // The register decides whether the sensor exists. A reading table without a register
        // row (left by an interrupted deletion) does not: AddDataTable asks whether to keep it.
        Database& db = connection(m_state);
        if (sensorRowExists(db, number)) {
            dialogs.message(QStringLiteral("Sensor ") + number
                                + QStringLiteral(" already exists\n\nType a new sensor number in the 'Add or Select "
                                                 "Sensor' combo box\nThen click 'Add New' or hit the Enter key"),
                            kCaption, Icon::Information);
            showExisting(number, previous);
            return;
        }
        if (dialogs.question(QStringLiteral("Do you want to add new Sensor ") + number
                                 + QStringLiteral(" to the database?"),
                             kCaption, Icon::None, Buttons::YesNo, Answer::Yes)
            != Answer::Yes) {
            typeBackToCurrentSensor(m_state);
            return;
        }
        // A filter that would hide the new sensor goes, so that the new sensor can be the current one.
        if (reg.filtered() && !m_filter.admits(parts, m_state.clock().today()))
            m_filter.RemoveFilter();

        // A new number that sorts after every other one is already in its place after the append.
        const bool appendsInOrder = SensorStore(db).highestInstrumentId() < number;

        // Asked before the transaction takes the write lock.
        const DataTableChoice table = askDataTable(m_state, number);

        // Register row, reading table and network row are created together or not at all.
        Transaction tx(db);
        addSensorRow(reg, types, parts, m_state.clock().today());
        rowAdded = true;
        AddDataTable(m_state, number, table);

        // The new sensor takes its place in InstrumentID order in the register; the sensor box
        // lists it once the transaction has committed (SensorSelection follows the register).
        if (!appendsInOrder) {
            reg.requery();
            reg.moveFirst();
            reg.find(sensorField::instrumentId, number);
        }
        addNetworkRow(db, number);
        tx.commit();
        // Shown once stored: the form may ask or tell, and must not while the write lock is held.
        m_sensorForm.fillfields();
    };
    QString failure;
    const bool completed = trap(m_state, " G_AddTypedSensor", [&] {
        try {
            body();
        } catch (const RvError& e) {
            failure = e.description;
            throw;
        }
    });
    if (!completed && rowAdded) {
        // Rolled back: the register must not go on holding the row it had appended.
        ignoreErrors([&] {
            m_state.sensors->requery();
            showFirstSensor(m_state, m_form, m_sensorForm);
        });
        m_state.dialogs().message(QStringLiteral("Sensor ") + m_state.pendingSensor
                                      + QStringLiteral(" was not added: ") + failure,
                                  QString(), Icon::Exclamation);
    }
}

void SensorEditing::showExisting(const QString& number, qint64 previous)
{
    RecordSet& reg = *m_state.sensors;
    reg.moveFirst();
    bool found = reg.find(sensorField::instrumentId, number);
    if (!found && reg.filtered()) {
        // Hidden by the filter: the filter goes, as it does for a new sensor it would hide.
        ignoreErrors([&] { reg.setBookmark(previous); });
        m_filter.RemoveFilter();
        reg.moveFirst();
        found = reg.find(sensorField::instrumentId, number);
    }
    if (found) {
        m_sensorForm.fillfields();
        showCurrentInBox(*m_form.cboSensors, reg);
        return;
    }
    ignoreErrors([&] {
        reg.setBookmark(previous);
        showCurrentInBox(*m_form.cboSensors, reg);
    });
    typeBackToCurrentSensor(m_state);
}

void SensorEditing::imgDelete_Click()
{
    RecordSet* reg = m_state.sensors.get();
    if (!reg || !m_state.db)
        return;
    if (!m_sensorForm.shownSensorStored())
        return; // another engineer deleted it: the user was told and sees the first sensor
    QString id;
    ignoreErrors([&] { id = reg->text(sensorField::instrumentId); });
    const Answer answer = m_state.dialogs().question(
        QStringLiteral("Permanently delete Sensor ") + id + QStringLiteral(" from database?"),
        QStringLiteral("Kelderan's ROCKVISTA"), Icon::None, Buttons::YesNo, Answer::No);
    if (answer != Answer::Yes)
        return;
    trap(m_state, " imgDelete_Click", [&] { deleteCurrentSensor(*m_state.db, *reg); });
    ignoreErrors([&] { showFirstSensor(m_state, m_form, m_sensorForm); });
}

} // namespace rv
