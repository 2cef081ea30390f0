#pragma once
// The identification and installation tabs: showing the current sensor (fillfields), writing
// it back (savefields), adapting the readings tab to the sensor's type, the destroyed switch.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;

class SensorForm : public QObject {
    Q_OBJECT
public:
    SensorForm(AppState& state, FrmRockvista& form);

    void fillfields();
    // Writes the form back to the current sensor. False, and nothing stored, when a numeric box
    // holds something that is not a number (the box has the focus) or the database refused the
    // row; the user has been told, and the caller's action must not happen.
    bool savefields();
    // At a termination signal: stores what can be stored and logs each box that cannot.
    void saveWhatCan();
    // Whether every numeric box holds a number or nothing; otherwise says which and focuses it.
    bool numbersStorable();
    void ConfigureForm();
    void cboDestroyed_Click();
    // Swallows every key; y/Y and n/N switch the state. Returns false (the key is discarded).
    bool cboDestroyed_KeyPress(int key);
    // Entering the installation tab: the head caption and the paddle copies.
    void showInstallationTab();

    // The register's row the form was filled from (0: none).
    qint64 shownRowid() const { return m_shownRowid; }
    // Whether the shown sensor is still stored. If another engineer deleted it, the user is told
    // and the first sensor is shown: the caller's action must not happen.
    bool shownSensorStored();

signals:
    // The form shows another sensor, or none, or has just stored the shown one.
    void sensorShown();

private:
    enum class Stored { AsShown, Changed, Gone };
    void clearForEmptyRegister();
    // False when the database refused the row (the user was told). moved, when given: whether the
    // stored row now differs from the one shown before (written, or another's read back).
    bool writeFields(bool lenient, bool* moved = nullptr);
    QStringList typedTexts() const; // what the boxes the form writes hold
    // The shown row as stored now (read and held in the caller's transaction) against the form's copy.
    Stored storedState();
    void tellGone(bool lenient);
    AppState& m_state;
    FrmRockvista& m_form;
    // What the form was filled from: another engineer's save since then must not be overwritten.
    qint64 m_shownRowid = 0;
    QString m_shownId;
    QVector<QVariant> m_shownValues; // the register's fields
    QStringList m_shownTexts;        // typedTexts() as filled
    qint64 m_refusedRowid = 0;       // its save was refused and told: not written until shown again
};

} // namespace rv
