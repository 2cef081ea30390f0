#pragma once
// The readings tab: the current sensor's readings, one at a time; moving among them, adding one,
// re-keying it when its date or time changes, checking and saving what is typed.
#include "core/State.h"
#include "readings/domain/ReadingStore.h"
#include "readings/domain/Validation.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace rv {

class StatusWatch;

class FrmRockvista;

// The record set or connection a handler needs; error 91 (logged by the handler's trap) when a
// start-up error left it unopened.
template <class T>
T& opened(const std::unique_ptr<T>& object)
{
    if (!object)
        throw RvError(91, QStringLiteral("Object variable or With block variable not set"));
    return *object;
}

class ReadingsPanel : public QObject {
    Q_OBJECT
public:
    ReadingsPanel(AppState& state, FrmRockvista& form);
    ~ReadingsPanel() override;

    // The tab switchboard's steps for the readings tab.
    void enterTab();
    // Remembers the current reading, then checks and saves it. False when it could not be saved
    // (a box holds a text that is not a number or a value out of range; lblError says which):
    // the caller should stay.
    bool leaveTab();

    // A termination signal: saves from now on log what they cannot store instead of telling.
    void beginTermination() { m_terminating = true; }
    bool terminating() const { return m_terminating; }

    // Takes a date or time typed into the pickers but not yet entered, re-keying the reading as
    // a change of the pickers does. False when the change was refused (a duplicate): the caller
    // should stop, the old key is shown again.
    bool commitPickers();

    bool ReadingValid();
    // Whether SaveReadings can store the boxes: each holds a number or nothing. Otherwise
    // lblError says which box does not. True when no reading is shown.
    bool ReadingStorable();
    // False when the reading could not be saved (the database refused it: the user was told,
    // the set holds what the table holds); the caller's action must not happen.
    bool SaveReadings();

    // Also makes a reading table found missing afresh, for the windows that write into it.
    void OpenSensorData();
    void fillreadings();
    void showPosition(); // "3 of 17" into txtRcount ("0 of 0" for an empty table)

    // Another window committed a change to the shown sensor's readings: the set is read again and
    // the reading the tab holds shown again, or the newest one when it is gone or let go.
    void reshow();
    // The next reshow shows the newest reading (a deletion ends there, whatever it spared).
    void releaseReading() { m_shown.rowid = 0; }
    // The tab comes back to the newest reading, not to the one it showed last.
    void forgetReading() { m_bookmark = 0; }

    // Handlers of the tab's controls.
    void imgFirst_Click();
    void imgPrevData_Click();
    void imgNextData_Click();
    void imgLast_Click();
    void imgAddReading_Click();
    bool txtChannel_KeyPress(int index, int key); // false: the key is discarded
    bool txtChannelT_KeyPress(int key);
    bool txtChannel_Validate(int index);           // false: the focus stays in the box
    bool txtChannelT_Validate();
    void CheckDateTime();
    // Whether another reading than the one re-keyed (0: none is) has that key. Asked in the write's
    // transaction, which then holds the keys until it ends (see ReadingStore::keyTakenHeld).
    bool DupID(const QString& key, qint64 rekeyed = 0);
    void ShowFutureWarning();

signals:
    // Another engineer deleted the sensor whose readings the tab shows; the user was told.
    void sensorGone();

private:
    enum class Move { First, Previous, Next, Last };
    void navigate(Move move, const char* label);
    // The remembered reading of this sensor, or else its newest one.
    void moveToRememberedReading();
    void clearTab();
    void showError(const QString& text);
    // A write the database refused: logged, the pending edit dropped, the user told what.
    void writeRefused(RecordSet& rs, const RvError& error, const QString& what, const char* label);
    bool showCheck(const QString& error); // hides lblError when empty, else shows it; true when empty
    ReadingBounds bounds() const;
    QStringList channelTexts() const; // txtChannel(1) ... txtChannel(6)
    QString instrumentId() const;
    QString readingSensor() const; // the sensor whose readings the open set holds
    ReadingStore store() const;    // ... as its store
    // Sets the pickers without running their change handlers.
    void setPickers(const QDate& date, const QTime& time);
    // Runs a control's check when the user leaves it; false keeps the focus there.
    bool leaving(const std::function<bool()>& check);
    void refuseRekey();
    // Another program committed to the shown sensor's readings: the set is read again for the count,
    // the tab keeps what it shows (and what was typed there); a save compares it with the stored row.
    void followOthers();
    // The shown reading as stored now, read and held in the caller's transaction, against m_shown.
    enum class Stored { AsShown, Changed, Gone };
    Stored storedState();
    bool typedChanges() const; // the controls hold other than what was shown
    // Opens the transaction of a write of the shown reading (tx) and compares it as stored with
    // what the tab showed. Write: go on in tx. Skip: another engineer changed it and nothing was
    // typed, nothing to store. Refused: gone, changed under the typing or unreadable; the user
    // was told.
    enum class Gate { Write, Skip, Refused };
    Gate openWrite(std::optional<Transaction>& tx, RecordSet& rs, const char* label);

    AppState& m_state;
    FrmRockvista& m_form;
    ShownReading m_shown;          // what the controls were filled from
    qint64 m_bookmark = 0;         // the reading to come back to; 0: the newest
    QString m_bookmarkSensor;      // the sensor whose reading set was opened last
    // The statuses before a reading was added here; told against once its typed values are saved.
    std::unique_ptr<StatusWatch> m_addedWatch;
    qint64 m_addedRow = 0;
    int m_ownWrites = 0;           // the tab's own writes are shown already: no reshow
    bool m_checking = false;       // CheckDateTime is running (its message may move the focus)
    bool m_rekeyRefused = false;   // the last CheckDateTime refused a duplicate key
    bool m_refusedWhileLeaving = false; // ... while the tab strip was leaving the tab
    bool m_terminating = false;
    qint64 m_refusedRowid = 0;     // its save was refused and told: not written until shown again
};

} // namespace rv
