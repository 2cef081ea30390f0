#include "sensors/SensorSelection.h"

#include "sensors/SensorBox.h"
#include "sensors/SensorEditing.h"
#include "sensors/SensorForm.h"
#include "sensors/domain/SensorRecords.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace rv {

SensorSelection::SensorSelection(AppState& state, FrmRockvista& form, SensorForm& sensorForm,
                                 SensorEditing& editing)
    : m_state(state), m_form(form), m_sensorForm(sensorForm), m_editing(editing)
{
    connect(form.cboSensors, qOverload<int>(&QComboBox::activated), this, [this] { cboSensors_Click(); });
    onKeyPress(form.cboSensors, [this](QKeyEvent* key) { return cboSensors_Key(key); });
    connect(form.imgNext, &ImageButton::clicked, this, [this] { imgNext_Click(); });
    connect(form.Label59, &ClickLabel::clicked, this, [this] { imgNext_Click(); });
    connect(form.imgPrevious, &ImageButton::clicked, this, [this] { imgPrevious_Click(); });
    connect(form.Label56, &ClickLabel::clicked, this, [this] { imgPrevious_Click(); });
    // The box lists the register: a sensor added through it, by whatever path, is listed once
    // its transaction has committed (nothing is listed for a rollback).
    connect(&state.events, &DataEvents::sensorsChanged, this, &SensorSelection::followRegister);
}

void SensorSelection::followOthers()
{
    RecordSet* reg = m_state.sensors.get();
    if (!reg || reg->editPending())
        return;
    QComboBox& box = *m_form.cboSensors;
    ignoreErrors([&] {
        const qint64 shown = m_sensorForm.shownRowid();
        reg->requery();
        if (shown == 0) {
            // Nothing was shown (an empty register): the first of the others' sensors is.
            if (reg->recordCount() > 0)
                showFirstSensor(m_state, m_form, m_sensorForm);
            return;
        }
        bool onShown = true;
        try {
            reg->setBookmark(shown);
        } catch (const RvError&) {
            onShown = false; // deleted, or hidden by the filter now: the next action on it says so
            if (reg->recordCount() > 0) {
                reg->moveLast();
                reg->moveNext();
            }
        }
        // What is being typed into the box stays.
        const QString typed = box.currentText();
        const bool typing = box.hasFocus();
        fillSensorList(box, *reg);
        if (onShown && !typing) {
            showCurrentInBox(box, *reg);
        } else {
            const QSignalBlocker block(&box);
            box.setEditText(typed);
        }
        m_form.txtSCount->setText(QString::number(reg->recordCount()));
        if (onShown)
            m_form.txtSnav->setText(QString::number(reg->absolutePosition()) + QStringLiteral(" of ")
                                    + QString::number(reg->recordCount()));
    });
}

void SensorSelection::followRegister()
{
    if (m_state.events.fromOthers())
        return followOthers();
    RecordSet* reg = m_state.sensors.get();
    QComboBox& box = *m_form.cboSensors;
    if (!reg || box.count() == reg->recordCount())
        return; // a save of the shown sensor: the list stands
    ignoreErrors([&] {
        // Off a row (a deletion): the deleting handler moves to the first sensor and lists it.
        reg->bookmark();
        const int index = reg->absolutePosition() - 1;
        if (reg->recordCount() == box.count() + 1 && index <= box.count()) {
            // One sensor added, the current one: it takes its place without the list being refilled.
            const QSignalBlocker block(&box);
            box.insertItem(index, reg->text(sensorField::instrumentId));
        } else {
            fillSensorList(box, *reg);
        }
        showCurrentInBox(box, *reg);
        m_form.txtSCount->setText(QString::number(reg->recordCount()));
    });
}

void SensorSelection::cboSensors_Click()
{
    if (m_state.firstLoad)
        return;
    trap(m_state, " cboSensors_Click", [&] {
        RecordSet& reg = sensorRegister(m_state);
        if (!m_sensorForm.savefields()) {
            showCurrentInBox(*m_form.cboSensors, reg); // the choice is not made
            return;
        }
        reg.moveFirst();
        if (!reg.find(sensorField::instrumentId, m_form.cboSensors->currentText()))
            m_state.dialogs().message(QStringLiteral("Error: Could not find data on the chosen sensor"));
        m_sensorForm.fillfields();
        m_form.txtSCount->setText(QString::number(reg.recordCount()));
    });
}

bool SensorSelection::cboSensors_Key(QKeyEvent* key)
{
    const int code = key->key();
    if (code == Qt::Key_Return || code == Qt::Key_Enter) {
        // The deleting flag keeps its value; the box itself does nothing with Enter.
        m_state.pendingSensor = m_form.cboSensors->currentText();
        m_editing.AddTypedSensor();
        return false;
    }
    if (code == Qt::Key_Delete || code == Qt::Key_Backspace) {
        m_state.deleting = true;
        return true; // Backspace passes the length limit; Delete is no character
    }
    m_state.deleting = false;
    const QString text = key->text();
    const bool character = !text.isEmpty() && text.at(0).isPrint()
                           && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!character)
        return true; // moves, Tab, and Up/Down (which choose an entry) reach the box
    if (!cboSensors_KeyPress(text.at(0).unicode()))
        return false;
    // The character goes in first, so that the search sees what the user has typed so far.
    m_form.cboSensors->lineEdit()->insert(text);
    trap(m_state, " cboSensors_Keydown", [&] { typeAhead(); });
    return false;
}

bool SensorSelection::cboSensors_KeyPress(int keyAscii)
{
    bool pass = true;
    trap(m_state, " cboSensors_KeyPress", [&] {
        // A key that replaces a selection is judged by the text it leaves: a padded number
        // pasted in can still be selected and typed over.
        const QLineEdit* edit = m_form.cboSensors->lineEdit();
        const qsizetype kept = edit->text().size() - edit->selectedText().size();
        if (kept > 9 && keyAscii != 8)
            pass = false;
    });
    return pass;
}

void SensorSelection::typeAhead()
{
    if (m_state.deleting)
        return;
    QComboBox& box = *m_form.cboSensors;
    QLineEdit* edit = box.lineEdit();
    const QString text = edit->text();
    const int start = edit->cursorPosition();
    const int index = findPrefix(box.count(), [&](int i) { return box.itemText(i); }, text);
    if (index < 0)
        return;
    {
        const QSignalBlocker block(&box);
        box.setCurrentIndex(index);
        box.setEditText(box.itemText(index));
    }
    cboSensors_Click();
    // The completed remainder stays selected: the next character replaces it.
    edit->setSelection(start, edit->text().size());
}

void SensorSelection::imgNext_Click()
{
    step(" imgNext_Click", QStringLiteral("End of sensors"), true);
}

void SensorSelection::imgPrevious_Click()
{
    step(" imgPrevious_Click", QStringLiteral("Start of Sensors"), false);
}

void SensorSelection::step(const char* label, const QString& stopMessage, bool forward)
{
    trap(m_state, label, [&] {
        RecordSet& reg = sensorRegister(m_state);
        if (reg.absolutePosition() == (forward ? reg.recordCount() : 1)) {
            m_state.dialogs().message(stopMessage);
            return;
        }
        if (!m_sensorForm.savefields())
            return;
        if (forward)
            reg.moveNext();
        else
            reg.movePrevious();
        m_sensorForm.fillfields();
        showCurrentInBox(*m_form.cboSensors, reg);
    });
}

} // namespace rv
