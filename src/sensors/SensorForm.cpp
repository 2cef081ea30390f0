#include "sensors/SensorForm.h"

#include "base/Formats.h"
#include "sensors/SensorBox.h"
#include "sensors/SensorSets.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

#include <QDate>
#include <QLocale>

#include <optional>
#include <utility>
#include <vector>

namespace rv {

namespace {
const QString kLengthFormat = QStringLiteral("###0.0#");
const QString kPaddleFormat = QStringLiteral("##0.0#");
const QString kCannotFill = QStringLiteral("Cannot Fill Fields");
const QString kFirstOrLast = QStringLiteral("Either you are at the first record or the last record.");

// The numeric boxes of the form with their captions as shown beside them, in the form's order.
struct NumericBox {
    QLineEdit* box;
    const char* caption;
};

std::vector<NumericBox> numericBoxes(FrmRockvista& f)
{
    return {{f.txtLengthLongG, "Length of long gauge (m)"},
            {f.txtLengthShortG, "Length of short gauge (m)"},
            {f.txtBoltkfactor, "Elastic k factor (ustrain/ton)"},
            {f.txtElasticLimit, "Elastic Limit (ustrain)"},
            {f.txtPerfectPlasticLimit, "Perfect Plastic Limit (ustrain)"},
            {f.txtUltimateStrength, "Ultimate Strength (tons)"},
            {f.txtElongation, "Elongation (ustrain)"},
            {f.txtNumGauges, "# Gauges"},
            {f.txtNode[1], "Paddle Locations"},
            {f.txtNode[2], "Paddle Locations"},
            {f.txtNode[3], "Paddle Locations"}};
}

// Install Date as the form shows it, "yyyy/MM/dd", from the text as stored ("2011/3/7",
// "2011-03-07", with or without a time); a text that is no date is shown as it is.
QString installDateShown(const QString& stored)
{
    const QString day = stored.trimmed().section(QLatin1Char(' '), 0, 0);
    for (const char* format : {"yyyy/M/d", "yyyy-M-d"}) {
        const QDate d = QDate::fromString(day, QLatin1String(format));
        if (d.isValid())
            return d.toString(QStringLiteral("yyyy/MM/dd"));
    }
    return stored;
}

void setBackground(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

} // namespace

SensorForm::SensorForm(AppState& state, FrmRockvista& form) : m_state(state), m_form(form)
{
    connect(form.cboDestroyed, qOverload<int>(&QComboBox::activated), this, [this] { cboDestroyed_Click(); });
    onKeyPress(form.cboDestroyed, [this](QKeyEvent* key) {
        const int code = keyAscii(key);
        return code == 0 || code == 9 || cboDestroyed_KeyPress(code); // focus keys pass
    });
}

void SensorForm::clearForEmptyRegister()
{
    FrmRockvista& f = m_form;
    for (QLineEdit* box : {f.txtSensor, f.txtDateID, f.txtTypeID, f.txtSensorNo, f.txtFamily, f.txtLengthLongG})
        box->clear();
    f.txtSCount->setText(QStringLiteral("0"));
    for (QLineEdit* box : {f.txtSensor2, f.txtLevel, f.txtLocation, f.txtBorehole, f.txtInstallDate, f.txtInstallBy,
                           f.txtPurpose})
        box->clear();
    f.txtNotes->clear();
    for (int i = 1; i <= 3; ++i)
        f.txtNode[i]->clear();
    f.txtSnav->setText(QStringLiteral("No records"));
    // The rest of the last sensor's boxes go too: an empty register shows no sensor anywhere.
    for (QLineEdit* box : {f.txtLengthShortG, f.txtBoltkfactor, f.txtElasticLimit, f.txtPerfectPlasticLimit,
                           f.txtUltimateStrength, f.txtElongation, f.txtNumGauges, f.txtSensor3,
                           f.txtDestructionDate})
        box->clear();
    for (int i = 1; i <= 3; ++i)
        f.txtNodeI[i]->clear();
    m_shownRowid = 0;
    m_refusedRowid = 0;
}

QStringList SensorForm::typedTexts() const
{
    const FrmRockvista& f = m_form;
    QStringList texts;
    for (const QLineEdit* box : {f.txtDateID, f.txtTypeID, f.txtSensorNo, f.txtFamily, f.txtLevel, f.txtLocation,
                                 f.txtBorehole, f.txtInstallDate, f.txtInstallBy, f.txtPurpose, f.txtLengthLongG,
                                 f.txtLengthShortG, f.txtBoltkfactor, f.txtElasticLimit, f.txtPerfectPlasticLimit,
                                 f.txtUltimateStrength, f.txtElongation, f.txtNumGauges, f.txtNode[1], f.txtNode[2],
                                 f.txtNode[3], f.txtDestructionDate})
        texts << box->text();
    texts << f.txtNotes->toPlainText() << f.cboDestroyed->currentText();
    return texts;
}

SensorForm::Stored SensorForm::storedState()
{
    const std::unique_ptr<RecordSet> row = SensorStore(*m_state.db).lockedRow(m_shownRowid);
    if (!row)
        return Stored::Gone;
    const RecordSet& reg = *m_state.sensors;
    for (int i = 0; i < reg.fieldCount() && i < m_shownValues.size(); ++i) {
        const QVariant now = row->value(reg.fieldName(i));
        if (now.typeId() != m_shownValues[i].typeId() || now != m_shownValues[i])
            return Stored::Changed;
    }
    return Stored::AsShown;
}

void SensorForm::tellGone(bool lenient)
{
    const QString text = QStringLiteral("Sensor ") + m_shownId + QStringLiteral(" was deleted by another engineer.");
    if (lenient) {
        m_state.writeToLog(text);
        return;
    }
    m_state.dialogs().message(text, QString(), Icon::Exclamation);
    ignoreErrors([&] {
        m_state.sensors->requery();
        showFirstSensor(m_state, m_form, *this);
    });
}

bool SensorForm::shownSensorStored()
{
    if (m_shownRowid == 0 || !m_state.db || !m_state.sensors)
        return true;
    bool gone = false;
    ignoreErrors([&] { gone = !SensorStore(*m_state.db).lockedRow(m_shownRowid); });
    if (gone)
        tellGone(false);
    return !gone;
}

void SensorForm::fillfields()
{
    FrmRockvista& f = m_form;
    RecordSet* reg = m_state.sensors.get();
    if (!reg)
        return;
    if (reg->recordCount() == 0) {
        clearForEmptyRegister();
        f.txtMineID->setText(m_state.mineId); // the mine's, even without a sensor
        emit sensorShown();
        return;
    }
    if (reg->bof() || reg->eof()) {
        m_state.dialogs().message(kFirstOrLast, kCannotFill, Icon::Exclamation);
        return;
    }
    const auto show = [&](QLineEdit* box, const QString& field) {
        ignoreErrors([&] { box->setText(reg->text(field)); });
    };
    ignoreErrors([&] { f.txtSensor->setText(m_state.mineId + reg->text(sensorField::instrumentId)); });
    ignoreErrors([&] { f.txtMineID->setText(m_state.mineId); });
    show(f.txtDateID, sensorField::dateId);
    show(f.txtTypeID, sensorField::typeId);
    show(f.txtSensorNo, sensorField::sensorNo);
    show(f.txtFamily, sensorField::family);
    ignoreErrors([&] { f.txtSCount->setText(QString::number(reg->recordCount())); });
    show(f.txtLengthLongG, sensorField::lengthLongG);
    show(f.txtLengthShortG, sensorField::lengthShortG);
    show(f.txtBoltkfactor, sensorField::boltkfactor);
    show(f.txtElasticLimit, sensorField::elasticLimit);
    show(f.txtPerfectPlasticLimit, sensorField::perfectPlasticLimit);
    show(f.txtUltimateStrength, sensorField::ultimateStrength);
    show(f.txtElongation, sensorField::elongation);
    show(f.txtNumGauges, sensorField::numGauges);
    ignoreErrors([&] {
        f.txtSnav->setText(QString::number(reg->absolutePosition()) + QStringLiteral(" of ")
                           + QString::number(reg->recordCount()));
    });

    ignoreErrors([&] { f.txtSensor2->setText(m_state.mineId + reg->text(sensorField::instrumentId)); });
    show(f.txtLevel, sensorField::level);
    show(f.txtLocation, sensorField::location);
    show(f.txtBorehole, sensorField::borehole);
    ignoreErrors([&] { f.txtInstallDate->setText(installDateShown(reg->text(sensorField::installDate))); });
    show(f.txtInstallBy, sensorField::installBy);
    show(f.txtPurpose, sensorField::purpose);
    ignoreErrors([&] { f.txtNotes->setPlainText(reg->text(sensorField::notes)); });
    show(f.txtNode[1], sensorField::paddleLocation1);
    show(f.txtNode[2], sensorField::paddleLocation2);
    show(f.txtNode[3], sensorField::paddleLocation3);

    ignoreErrors([&] {
        RecordSet& types = typeTable(m_state);
        types.moveFirst();
        if (!types.find(typeField::sensorType, reg->text(sensorField::sensorType)))
            m_state.dialogs().message(QStringLiteral("There was an error accessing the Sensors COnfiguration Table"));
    });

    ignoreErrors([&] { f.txtSensor3->setText(m_state.mineId + reg->text(sensorField::instrumentId)); });
    bool destroyed = false;
    ignoreErrors([&] {
        const QString state = reg->text(sensorField::destroyed);
        f.cboDestroyed->setCurrentIndex(f.cboDestroyed->findText(state));
        destroyed = state == QLatin1String("Yes");
    });
    f.imgheart->setPixmap(destroyed ? f.imgdead->pixmap() : f.imgalive->pixmap());
    ignoreErrors([&] {
        f.txtDestructionDate->setText(destroyed ? reg->text(sensorField::destructionDate) : QString());
    });
    ConfigureForm();
    for (int tab : {0, 1, 3, 4, 5, 6})
        f.SSTab1->setTabEnabled(tab, true);
    m_refusedRowid = 0;
    m_shownTexts = typedTexts();
    ignoreErrors([&] {
        m_shownRowid = 0;
        m_shownId = reg->text(sensorField::instrumentId);
        m_shownValues.clear();
        for (int i = 0; i < reg->fieldCount(); ++i)
            m_shownValues << reg->value(i);
        m_shownRowid = reg->bookmark();
    });
    emit sensorShown();
}

bool SensorForm::numbersStorable()
{
    const RecordSet* reg = m_state.sensors.get();
    if (!reg || reg->recordCount() == 0 || reg->bof() || reg->eof())
        return true; // nothing is written then
    for (const NumericBox& n : numericBoxes(m_form)) {
        const QString text = n.box->text();
        if (text.trimmed().isEmpty() || isNumeric(text))
            continue;
        m_state.dialogs().message(QStringLiteral("Error: ") + QString::fromUtf8(n.caption)
                                      + QStringLiteral(" must be a number"),
                                  QString(), Icon::Exclamation);
        n.box->setFocus();
        n.box->selectAll();
        return false;
    }
    return true;
}

bool SensorForm::savefields()
{
    if (!numbersStorable())
        return false;
    bool moved = false;
    if (!writeFields(false, &moved))
        return false;
    // Its limits or destroyed switch may have changed; a save that changed nothing leaves the
    // status as it is (moving on shows the next sensor's anyway).
    if (moved)
        emit sensorShown();
    return true;
}

void SensorForm::saveWhatCan() { writeFields(true); }

bool SensorForm::writeFields(bool lenient, bool* moved)
{
    bool stored = true;
    bool otherRow = false;
    trap(m_state, " G_savefields", [&] {
        RecordSet* reg = m_state.sensors.get();
        if (!reg || reg->recordCount() == 0)
            return;
        // Refused and told: what was typed is not stored; showing the sensor again shows the stored row.
        if (m_shownRowid != 0 && m_refusedRowid == m_shownRowid)
            return;
        FrmRockvista& f = m_form;
        // The shown row is compared with what is stored and written in one transaction, which holds
        // it against the other programs meanwhile.
        std::optional<Transaction> tx;
        const auto refused = [&](const RvError& e) {
            // The database refused the row (locked, full, unwritable): the register keeps what
            // the table holds, the form keeps what was typed, and the user is told.
            stored = false;
            ignoreErrors([&] { reg->cancelUpdate(); });
            tx.reset();
            m_state.report(e, " G_savefields");
            if (lenient)
                return; // a termination signal: no one to tell
            QString id = m_shownId;
            if (m_shownRowid == 0)
                ignoreErrors([&] { id = reg->text(sensorField::instrumentId); });
            m_state.dialogs().message(QStringLiteral("Sensor ") + id + QStringLiteral(" was not saved: ") + e.description,
                                      QString(), Icon::Exclamation);
        };
        if (m_shownRowid != 0) {
            Stored now = Stored::AsShown;
            try {
                tx.emplace(reg->database());
                now = storedState();
            } catch (const RvError& e) {
                refused(e);
                return;
            }
            if (now == Stored::Gone) {
                tx.reset();
                stored = false;
                tellGone(lenient);
                return;
            }
            if (now == Stored::Changed) {
                tx.reset();
                // The register holds the stored row from now on, for the next showing.
                otherRow = true;
                ignoreErrors([&] {
                    reg->requery();
                    reg->setBookmark(m_shownRowid);
                });
                if (typedTexts() == m_shownTexts)
                    return; // nothing typed: nothing to store, and the other's values stay
                stored = false;
                m_refusedRowid = m_shownRowid;
                const QString text = QStringLiteral("Sensor ") + m_shownId
                                     + QStringLiteral(" was changed by another engineer since it was shown: your "
                                                      "changes were not saved.");
                if (lenient)
                    m_state.writeToLog(text);
                else
                    m_state.dialogs().message(text + QStringLiteral("\nWhat you typed stays on screen until you move on."),
                                              QString(), Icon::Exclamation);
                return;
            }
            if (reg->bookmark() != m_shownRowid)
                reg->setBookmark(m_shownRowid); // the register was read again meanwhile
        }
        if (reg->bof() || reg->eof()) {
            m_state.dialogs().message(kFirstOrLast, QStringLiteral("Cannot Save Fields"), Icon::Exclamation);
        } else {
            // Leniently, a field the row refuses is logged and keeps its stored value.
            const auto set = [&](const QString& field, const QVariant& value) {
                if (lenient)
                    trap(m_state, " G_savefields", [&] { reg->setValue(field, value); });
                else
                    reg->setValue(field, value);
            };
            // A one-line box stores what it shows: pasted line breaks and tabs are blanks there.
            const auto trimmed = [&](const QString& field, const QString& text) {
                set(field, singleLine(text).trimmed());
            };
            const auto formatted = [&](const QString& field, QLineEdit* box, const QString& pattern) {
                set(field, formatNumber(box->text(), pattern));
            };
            trimmed(sensorField::dateId, f.txtDateID->text());
            trimmed(sensorField::typeId, f.txtTypeID->text());
            trimmed(sensorField::sensorNo, f.txtSensorNo->text());
            trimmed(sensorField::family, f.txtFamily->text());
            trimmed(sensorField::level, f.txtLevel->text());
            trimmed(sensorField::location, f.txtLocation->text());
            trimmed(sensorField::borehole, f.txtBorehole->text());
            // The stored text stays as it was typed while the box shows it unchanged.
            const QString installDate = reg->text(sensorField::installDate);
            if (f.txtInstallDate->text() != installDateShown(installDate))
                trimmed(sensorField::installDate, f.txtInstallDate->text());
            trimmed(sensorField::installBy, f.txtInstallBy->text());
            trimmed(sensorField::purpose, f.txtPurpose->text());
            set(sensorField::notes, f.txtNotes->toPlainText().trimmed());
            formatted(sensorField::lengthLongG, f.txtLengthLongG, kLengthFormat);
            formatted(sensorField::elasticLimit, f.txtElasticLimit, kLengthFormat);
            formatted(sensorField::perfectPlasticLimit, f.txtPerfectPlasticLimit, kLengthFormat);
            formatted(sensorField::ultimateStrength, f.txtUltimateStrength, kLengthFormat);
            formatted(sensorField::elongation, f.txtElongation, kLengthFormat);
            formatted(sensorField::lengthShortG, f.txtLengthShortG, kLengthFormat);
            set(sensorField::boltkfactor, f.txtBoltkfactor->text());
            set(sensorField::numGauges, f.txtNumGauges->text());
            formatted(sensorField::paddleLocation1, f.txtNode[1], kPaddleFormat);
            formatted(sensorField::paddleLocation2, f.txtNode[2], kPaddleFormat);
            formatted(sensorField::paddleLocation3, f.txtNode[3], kPaddleFormat);
            set(sensorField::destroyed, f.cboDestroyed->currentText());
            if (!f.txtDestructionDate->text().isEmpty())
                set(sensorField::destructionDate, singleLine(f.txtDestructionDate->text()));
        }
        try {
            reg->update();
            if (tx)
                tx->commit();
        } catch (const RvError& e) {
            refused(e);
            return;
        }
        // What is stored now is what the form shows.
        const QVector<QVariant> before = std::exchange(m_shownValues, {});
        ignoreErrors([&] {
            for (int i = 0; i < reg->fieldCount(); ++i)
                m_shownValues << reg->value(i);
        });
        otherRow = otherRow || m_shownValues != before;
        m_shownTexts = typedTexts();
    });
    if (moved)
        *moved = otherRow;
    return stored;
}

void SensorForm::ConfigureForm()
{
    trap(m_state, " Module1_ConfigureForm", [&] {
        FrmRockvista& f = m_form;
        f.lblError->hide();
        for (int i = 1; i <= 6; ++i) {
            f.txtChannel[i]->setEnabled(true);
            setBackground(f.txtChannel[i], Qt::white);
            f.lblmm[i]->setEnabled(true);
            f.lbln[i]->setEnabled(true);
        }
        RecordSet& type = typeTable(m_state);
        f.lblNotes->setText(type.text(typeField::lblNotes));
        const int n = leadingCount(type.text(typeField::numChannels), 0, 6);
        // The tab has six channel boxes; a type with more channels shows the first six.
        for (int j = 1; j <= n && j <= 6; ++j) {
            f.lblmm[j]->setEnabled(true);
            f.txtChannel[j]->setEnabled(true);
            setBackground(f.txtChannel[j], Qt::white);
        }
        f.lblTemp->setText(type.text(typeField::temp));
        const bool hasTemperature = leadingNumber(type.text(typeField::tempChannel)) != 0;
        f.txtChannelT->setEnabled(hasTemperature);
        setBackground(f.txtChannelT, hasTemperature ? QColor(Qt::white) : QColor(0xE0, 0xE0, 0xE0));
        f.lblTemp->setEnabled(hasTemperature);
        f.Label47->setEnabled(hasTemperature);
    });
}

void SensorForm::cboDestroyed_Click()
{
    FrmRockvista& f = m_form;
    const QString text = f.cboDestroyed->currentText();
    if (text == QLatin1String("Yes")) {
        f.txtDestructionDate->setText(QLocale::system().toString(m_state.clock().today(), QLocale::ShortFormat));
        f.imgheart->setPixmap(f.imgdead->pixmap());
    } else if (text == QLatin1String("No")) {
        f.txtDestructionDate->clear();
        f.imgheart->setPixmap(f.imgalive->pixmap());
    }
    savefields();
}

bool SensorForm::cboDestroyed_KeyPress(int key)
{
    FrmRockvista& f = m_form;
    // The click handling saves too: one save, so that a refusal is told once.
    if (key == 'Y' || key == 'y') {
        f.cboDestroyed->setCurrentIndex(f.cboDestroyed->findText(QStringLiteral("Yes")));
        cboDestroyed_Click();
    } else if (key == 'N' || key == 'n') {
        f.cboDestroyed->setCurrentIndex(f.cboDestroyed->findText(QStringLiteral("No")));
        cboDestroyed_Click();
    } else {
        savefields();
    }
    return false;
}

void SensorForm::showInstallationTab()
{
    FrmRockvista& f = m_form;
    f.lbloption->setText(QStringLiteral("Head at Borehole Collar"));
    for (int i = 1; i <= 3; ++i)
        f.txtNodeI[i]->setText(f.txtNode[i]->text());
}

} // namespace rv
