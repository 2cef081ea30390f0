#include "readings/ReadingsPanel.h"

#include "core/Tables.h"
#include "monitoring/Worsening.h"
#include "readings/domain/ReadingKey.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"
#include "ui/Hooks.h"

#include <QApplication>
#include <QSignalBlocker>

#include <optional>
#include <utility>

namespace rv {

namespace {

const QString kDuplicateCaption = QStringLiteral("Duplicate Reading");

// Resets a flag when the scope ends, however it ends.
struct FlagScope {
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    bool& m_flag;
};

struct CountScope {
    explicit CountScope(int& count) : m_count(count) { ++m_count; }
    ~CountScope() { --m_count; }
    int& m_count;
};

bool onReading(const RecordSet* rs)
{
    return rs && rs->recordCount() > 0 && !rs->bof() && !rs->eof();
}

} // namespace

ReadingsPanel::ReadingsPanel(AppState& state, FrmRockvista& form) : m_state(state), m_form(form)
{
    FrmRockvista& f = m_form;
    const auto both = [this](ImageButton* button, ClickLabel* caption, void (ReadingsPanel::*handler)()) {
        connect(button, &ImageButton::clicked, this, handler);
        connect(caption, &ClickLabel::clicked, this, handler);
    };
    // A reopened connection: the tab shows the current sensor's readings afresh.
    connect(&state.events, &DataEvents::sessionOpened, this, [this] {
        if (m_form.SSTab1->currentIndex() == 2)
            enterTab();
    });
    // Elsewhere the tab reads its readings afresh when it is entered.
    connect(&state.events, &DataEvents::readingsChanged, this, [this](const QString& id) {
        if (m_ownWrites == 0 && m_form.SSTab1->currentIndex() == 2 && m_state.readings
            && m_state.readings->table() == id)
            m_state.events.fromOthers() ? followOthers() : reshow();
    });
    both(f.imgFirst, f.Label61, &ReadingsPanel::imgFirst_Click);
    both(f.imgPrevData, f.Label62, &ReadingsPanel::imgPrevData_Click);
    both(f.imgNextData, f.Label60, &ReadingsPanel::imgNextData_Click);
    both(f.imgLast, f.Label64, &ReadingsPanel::imgLast_Click);
    both(f.imgAddReading, f.Label63, &ReadingsPanel::imgAddReading_Click);

    for (int i = 1; i <= 6; ++i) {
        QLineEdit* box = f.txtChannel[i];
        onKeyPress(box, [this, i](QKeyEvent* e) { return txtChannel_KeyPress(i, keyAscii(e)); });
        onLeave(box, [this, i] { return leaving([this, i] { return txtChannel_Validate(i); }); });
    }
    onKeyPress(f.txtChannelT, [this](QKeyEvent* e) { return txtChannelT_KeyPress(keyAscii(e)); });
    onLeave(f.txtChannelT, [this] { return leaving([this] { return txtChannelT_Validate(); }); });

    connect(f.dtpRdate, &QDateEdit::dateChanged, this, [this] {
        ShowFutureWarning();
        CheckDateTime();
    });
    connect(f.dtpRtime, &QTimeEdit::timeChanged, this, [this] { CheckDateTime(); });
    onLeave(f.dtpRdate, [this] {
        return leaving([this] {
            if (!m_checking) {
                ShowFutureWarning();
                CheckDateTime();
            }
            return true;
        });
    });
    onLeave(f.dtpRtime, [this] {
        return leaving([this] {
            CheckDateTime();
            return true;
        });
    });
}

bool ReadingsPanel::leaving(const std::function<bool()>& check)
{
    // Nothing to check once the database has been released at closing.
    return !m_state.db || check();
}

ReadingsPanel::~ReadingsPanel() = default;

QString ReadingsPanel::instrumentId() const
{
    return opened(m_state.sensors).text(sensorField::instrumentId);
}

QString ReadingsPanel::readingSensor() const
{
    // The register may have moved on (a sensor added from this tab) while the set still holds
    // the shown sensor's readings: a key must name the table it is stored in.
    if (m_state.readings && !m_state.readings->table().isEmpty())
        return m_state.readings->table();
    return instrumentId();
}

ReadingStore ReadingsPanel::store() const
{
    return ReadingStore(opened(m_state.db), readingSensor());
}

ReadingBounds ReadingsPanel::bounds() const
{
    const RecordSet& type = opened(m_state.types);
    const auto t = [&](const QString& field) { return type.text(field); };
    return ReadingBounds::fromTexts(t(typeField::lowval), t(typeField::highval), t(typeField::templow),
                                    t(typeField::temphigh), t(typeField::tempChannel), t(typeField::numChannels));
}

void ReadingsPanel::showError(const QString& text)
{
    m_form.lblError->setText(text);
    m_form.lblError->show();
}

void ReadingsPanel::setPickers(const QDate& date, const QTime& time)
{
    // The program moving the pickers is no change of the user's.
    const QSignalBlocker quietDate(m_form.dtpRdate);
    const QSignalBlocker quietTime(m_form.dtpRtime);
    if (date.isValid())
        m_form.dtpRdate->setDate(date);
    if (time.isValid())
        m_form.dtpRtime->setTime(time);
}

// ---------------------------------------------------------------------------------------------
// Opening and showing

void ReadingsPanel::OpenSensorData()
{
    m_state.readings.reset();
    trap(m_state, " Module1_OpenSensorData", [&] {
        const QString id = instrumentId();
        // A remembered reading belongs to the sensor it was taken from; another sensor opens
        // on its newest reading.
        if (id != m_bookmarkSensor) {
            m_bookmark = 0;
            m_bookmarkSensor = id;
        }
        if (!TableExists(m_state, id)) {
            m_state.dialogs().message(QStringLiteral("The data table for Sensor ") + id
                                      + QStringLiteral(" could not be found\nA new table will be created"));
            AddDataTable(m_state, id);
        }
        m_state.readings = ReadingStore(opened(m_state.db), id).openAll();
    });
}

void ReadingsPanel::clearTab()
{
    FrmRockvista& f = m_form;
    f.txtReadingID->clear();
    setPickers(m_state.clock().today(), QTime(12, 0, 0));
    f.txtChannelT->clear();
    for (int i = 1; i <= 6; ++i)
        f.txtChannel[i]->clear();
}

void ReadingsPanel::fillreadings()
{
    trap(m_state, " Module1_fillreadings", [&] {
        RecordSet* rs = m_state.readings.get();
        if (!rs)
            return;
        FrmRockvista& f = m_form;
        m_refusedRowid = 0;
        if (onReading(rs)) {
            f.lblError->hide();
            m_shown = ShownReading(); // an unreadable reading holds none
            m_shown = ReadingStore::shown(*rs);
            f.txtReadingID->setText(m_shown.key);
            setPickers(m_shown.date, m_shown.time);
            f.txtChannelT->setText(m_shown.temperature);
            for (int i = 1; i <= 6; ++i)
                f.txtChannel[i]->setText(m_shown.channels[i - 1]);
            f.chkTemporal->setChecked(m_shown.plotTemporal);
            showPosition();
            ShowFutureWarning();
        } else if (rs->recordCount() > 0) {
            m_shown = ShownReading();
            clearTab();
            m_state.dialogs().message(QStringLiteral("No readings found"), QStringLiteral("Cannot Move"),
                                      Icon::Exclamation);
        } else {
            m_shown = ShownReading();
            clearTab();
            showError(QStringLiteral("0 Readings - Click the Add button to add a reading"));
        }
    });
}

void ReadingsPanel::showPosition()
{
    const RecordSet* rs = m_state.readings.get();
    const int count = rs ? rs->recordCount() : 0;
    const int position = onReading(rs) ? rs->absolutePosition() : 0;
    m_form.txtRcount->setText(QString::number(position) + QStringLiteral(" of ") + QString::number(count));
}

void ReadingsPanel::enterTab()
{
    ignoreErrors([&] { OpenSensorData(); });
    RecordSet* rs = m_state.readings.get();
    if (!rs) {
        // No sensor to show readings of (an empty register): nothing of another sensor stays.
        clearTab();
        m_form.lblError->hide();
        m_form.txtRcount->setText(QStringLiteral("0 of 0"));
        m_bookmark = 0;
        m_shown = ShownReading();
        return;
    }
    if (rs->recordCount() > 0) {
        moveToRememberedReading();
        ignoreErrors([&] { fillreadings(); });
        ignoreErrors([&] { showPosition(); });
    } else {
        m_form.txtRcount->setText(QStringLiteral("0 of 0"));
        ignoreErrors([&] { fillreadings(); });
        m_bookmark = 0;
    }
}

void ReadingsPanel::reshow()
{
    RecordSet* rs = m_state.readings.get();
    if (!rs)
        return;
    ignoreErrors([&] {
        rs->requery();
        if (rs->isEmpty())
            return;
        try {
            if (m_shown.rowid == 0)
                throw noCurrentRecord();
            rs->setBookmark(m_shown.rowid);
        } catch (const RvError&) {
            rs->moveLast(); // the reading is gone, or was let go
        }
    });
    fillreadings();
    showPosition();
    if (onReading(rs))
        ignoreErrors([&] { m_bookmark = rs->bookmark(); });
}

void ReadingsPanel::followOthers()
{
    RecordSet* rs = m_state.readings.get();
    if (!rs || rs->editPending())
        return;
    ignoreErrors([&] {
        rs->requery();
        if (m_shown.rowid == 0) { // nothing was shown: the newest of the others' readings is
            if (!rs->isEmpty())
                reshow();
            return;
        }
        rs->setBookmark(m_shown.rowid); // gone: the next save says so
    });
    showPosition();
}

ReadingsPanel::Stored ReadingsPanel::storedState()
{
    const std::unique_ptr<RecordSet> row = store().lockedRow(m_shown.rowid);
    if (!row)
        return Stored::Gone;
    ShownReading now;
    try {
        now = ReadingStore::shown(*row);
    } catch (const RvError&) {
        return Stored::Changed; // its date can no longer be read
    }
    const bool same = now.key == m_shown.key && now.date == m_shown.date && now.time == m_shown.time
                      && now.temperature == m_shown.temperature && now.channels == m_shown.channels
                      && now.plotTemporal == m_shown.plotTemporal;
    return same ? Stored::AsShown : Stored::Changed;
}

bool ReadingsPanel::typedChanges() const
{
    const FrmRockvista& f = m_form;
    return f.dtpRdate->date() != m_shown.date || f.dtpRtime->time() != m_shown.time
           || f.txtChannelT->text() != m_shown.temperature || channelTexts() != m_shown.channels
           || f.chkTemporal->isChecked() != m_shown.plotTemporal;
}

void ReadingsPanel::moveToRememberedReading()
{
    RecordSet* rs = m_state.readings.get();
    if (!rs || rs->isEmpty())
        return;
    ignoreErrors([&] {
        if (m_bookmark == 0) {
            rs->moveLast();
            return;
        }
        try {
            rs->setBookmark(m_bookmark);
        } catch (const RvError&) {
            rs->moveLast(); // the remembered reading is gone
        }
    });
}

void ReadingsPanel::refuseRekey()
{
    m_rekeyRefused = true;
    // A date typed into a picker is taken when the tab strip, already moved on, takes the focus
    // from it: that refusal must still keep the user on the tab.
    if (m_form.SSTab1->currentIndex() != 2)
        m_refusedWhileLeaving = true;
}

bool ReadingsPanel::leaveTab()
{
    const bool refusedOnTheWay = std::exchange(m_refusedWhileLeaving, false);
    if (!commitPickers() || refusedOnTheWay)
        return false;
    ignoreErrors([&] {
        const RecordSet* rs = m_state.readings.get();
        if (onReading(rs))
            m_bookmark = rs->bookmark();
    });
    if (!ReadingStorable())
        return false;
    // Leaving by the tab strip checks the reading as the navigation buttons do.
    if (onReading(m_state.readings.get()) && !ReadingValid())
        return false;
    bool saved = true;
    ignoreErrors([&] { saved = SaveReadings(); });
    return saved;
}

QStringList ReadingsPanel::channelTexts() const
{
    QStringList texts;
    for (int i = 1; i <= 6; ++i)
        texts << m_form.txtChannel[i]->text();
    return texts;
}

bool ReadingsPanel::ReadingStorable()
{
    if (!onReading(m_state.readings.get()))
        return true;
    const QString error = storableError(m_form.txtChannelT->text(), channelTexts());
    if (error.isEmpty())
        return true;
    showError(error);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Navigation

// The pickers take typed text only on Enter or when they lose the focus, and the tab's image
// buttons never take the focus: every handler of the tab commits the typing first.
bool ReadingsPanel::commitPickers()
{
    m_rekeyRefused = false;
    if (m_checking)
        return true;
    m_form.dtpRdate->interpretText();
    m_form.dtpRtime->interpretText();
    return !m_rekeyRefused;
}

void ReadingsPanel::navigate(Move move, const char* label)
{
    if (!commitPickers())
        return;
    trap(m_state, label, [&] {
        RecordSet* rs = m_state.readings.get();
        if (!rs || rs->recordCount() == 0)
            return;
        if (!ReadingValid())
            return;
        if (!SaveReadings())
            return;
        const int position = rs->absolutePosition();
        const int count = rs->recordCount();
        const bool atStart = position == 1 || (move == Move::Previous && rs->bof());
        const bool atEnd = position == count || (move == Move::Next && rs->eof());
        if ((move == Move::First || move == Move::Previous) && atStart) {
            m_state.dialogs().message(QStringLiteral("Start of readings"));
            return;
        }
        if ((move == Move::Next || move == Move::Last) && atEnd) {
            m_state.dialogs().message(QStringLiteral("End of readings"));
            return;
        }
        switch (move) {
        case Move::First: rs->moveFirst(); break;
        case Move::Previous: rs->movePrevious(); break;
        case Move::Next: rs->moveNext(); break;
        case Move::Last: rs->moveLast(); break;
        }
        fillreadings();
        showPosition();
    });
}

void ReadingsPanel::imgFirst_Click() { navigate(Move::First, " imgFirst_Click"); }
void ReadingsPanel::imgPrevData_Click() { navigate(Move::Previous, " imgPrevData_Click"); }
void ReadingsPanel::imgNextData_Click() { navigate(Move::Next, " imgNextData_Click"); }
void ReadingsPanel::imgLast_Click() { navigate(Move::Last, " imgLast_Click"); }

// ---------------------------------------------------------------------------------------------
// Entry and validation

bool ReadingsPanel::txtChannel_KeyPress(int /*index*/, int key)
{
    // Keys without a character (arrows, Home, End) and control characters (shortcuts) are not
    // typing; of the typed characters only those of a number pass.
    return key < 32 || channelKeyAllowed(key);
}

bool ReadingsPanel::txtChannelT_KeyPress(int key)
{
    return txtChannel_KeyPress(0, key);
}

bool ReadingsPanel::showCheck(const QString& error)
{
    if (error.isEmpty()) {
        m_form.lblError->hide();
        return true;
    }
    showError(error);
    return false;
}

bool ReadingsPanel::txtChannel_Validate(int index)
{
    std::optional<ReadingBounds> b;
    ignoreErrors([&] { b = bounds(); });
    return !b || showCheck(boxError(index, m_form.txtChannel[index]->text(), *b));
}

bool ReadingsPanel::txtChannelT_Validate()
{
    std::optional<ReadingBounds> b;
    ignoreErrors([&] { b = bounds(); });
    return !b || !b->tempChannel || showCheck(boxError(0, m_form.txtChannelT->text(), *b));
}

bool ReadingsPanel::ReadingValid()
{
    bool valid = false;
    trap(m_state, " G_ReadingValid", [&] {
        // The pickers always hold a date and a time, so the two null checks cannot fail here.
        const QString error = readingError(m_form.txtChannelT->text(), channelTexts(), bounds());
        if (!error.isEmpty()) {
            showError(error);
            return;
        }
        valid = true;
    });
    return valid;
}

void ReadingsPanel::writeRefused(RecordSet& rs, const RvError& error, const QString& what, const char* label)
{
    ignoreErrors([&] { rs.cancelUpdate(); });
    m_state.report(error, label);
    if (m_terminating)
        return;
    m_state.dialogs().message(what + QStringLiteral(" was not saved: ") + error.description, QString(),
                              Icon::Exclamation);
}

ReadingsPanel::Gate ReadingsPanel::openWrite(std::optional<Transaction>& tx, RecordSet& rs, const char* label)
{
    const QString key = m_shown.key;
    // The comparison and the write are one transaction, which holds the row against the other
    // programs meanwhile.
    Stored now = Stored::AsShown;
    try {
        tx.emplace(opened(m_state.db));
        now = storedState();
    } catch (const RvError& e) {
        tx.reset();
        bool sensorStored = true;
        ignoreErrors([&] { sensorStored = SensorStore(*m_state.db).exists(readingSensor()); });
        if (sensorStored) {
            writeRefused(rs, e, QStringLiteral("Reading ") + key, label);
            return Gate::Refused;
        }
        // Its reading table went with it: nothing of the tab can be stored.
        m_refusedRowid = m_shown.rowid;
        const QString text = QStringLiteral("Sensor ") + readingSensor() + QStringLiteral(" was deleted by another engineer.");
        if (m_terminating) {
            m_state.writeToLog(text);
            return Gate::Refused;
        }
        m_state.dialogs().message(text, QString(), Icon::Exclamation);
        emit sensorGone();
        return Gate::Refused;
    }
    if (now == Stored::Gone) {
        tx.reset();
        const QString text = QStringLiteral("Reading ") + key + QStringLiteral(" was deleted by another engineer.");
        if (m_terminating) {
            m_state.writeToLog(text);
            return Gate::Refused;
        }
        m_state.dialogs().message(text, QString(), Icon::Exclamation);
        releaseReading();
        reshow();
        return Gate::Refused;
    }
    if (now == Stored::Changed) {
        tx.reset();
        // The set holds the stored row from now on, for the next showing.
        ignoreErrors([&] {
            rs.requery();
            rs.setBookmark(m_shown.rowid);
        });
        if (!typedChanges())
            return Gate::Skip; // nothing typed: nothing to store, and the other's values stay
        m_refusedRowid = m_shown.rowid;
        const QString text = QStringLiteral("Reading ") + key
                             + QStringLiteral(" was changed by another engineer since it was shown: your changes were not saved.");
        if (m_terminating)
            m_state.writeToLog(text);
        else
            m_state.dialogs().message(text + QStringLiteral("\nWhat you typed stays on screen until you move on."), QString(),
                                      Icon::Exclamation);
        return Gate::Refused;
    }
    if (rs.bookmark() != m_shown.rowid)
        rs.setBookmark(m_shown.rowid); // the set was read again meanwhile
    return Gate::Write;
}

bool ReadingsPanel::SaveReadings()
{
    bool saved = true;
    const bool completed = trap(m_state, " G_SaveReadings", [&] {
        RecordSet* rs = m_state.readings.get();
        if (!onReading(rs))
            return;
        // Refused and told: what was typed is not stored; showing the reading again shows the stored row.
        if (m_shown.rowid != 0 && m_refusedRowid == m_shown.rowid)
            return;
        FrmRockvista& f = m_form;
        std::optional<Transaction> tx;
        if (m_shown.rowid != 0) {
            const Gate gate = openWrite(tx, *rs, " G_SaveReadings");
            if (gate != Gate::Write) {
                saved = gate == Gate::Skip;
                return;
            }
        }
        try {
            store().setMoment(*rs, f.dtpRdate->date(), f.dtpRtime->time());
            ReadingStore::setTyped(*rs, f.txtChannelT->text(), channelTexts(), f.chkTemporal->isChecked());
        } catch (...) {
            rs->cancelUpdate(); // a half-made edit must not reach the table later
            throw;
        }
        const bool added = m_addedWatch && rs->bookmark() == m_addedRow && m_addedWatch->watches(readingSensor());
        try {
            const CountScope own(m_ownWrites);
            rs->update();
            if (tx)
                tx->commit();
        } catch (const RvError& e) {
            saved = false;
            tx.reset();
            writeRefused(*rs, e, QStringLiteral("Reading ") + ReadingStore::keyAt(*rs), " G_SaveReadings");
        }
        if (saved)
            ignoreErrors([&] { m_shown = ReadingStore::shown(*rs); }); // what is stored now is what the tab shows
        if (saved && added) {
            QStringList worse;
            trap(m_state, " G_SaveReadings status", [&] { worse = m_addedWatch->worsened(); });
            m_addedWatch.reset();
            tellWorsened(m_state, worse);
        }
    });
    return completed && saved;
}

void ReadingsPanel::imgAddReading_Click()
{
    if (!commitPickers())
        return;
    trap(m_state, " imgAddReading_Click", [&] {
        RecordSet* rs = m_state.readings.get();
        if (!rs)
            return;
        if (rs->recordCount() > 0) {
            if (!ReadingValid())
                return;
            if (!SaveReadings())
                return;
        }
        const QDateTime now = m_state.clock().now();
        const ReadingStore readings = store();
        const QString key = readings.keyOf(now);
        const int shown = rs->absolutePosition();
        // A status that cannot be read (a table without the computed columns) tells nothing.
        std::unique_ptr<StatusWatch> watch;
        trap(m_state, " imgAddReading_Click status", [&] {
            watch = std::make_unique<StatusWatch>(*m_state.db, QStringList{readingSensor()});
        });
        // The check and the insertion are one unit: another's import cannot store the key between them.
        std::optional<Transaction> tx;
        try {
            tx.emplace(*m_state.db);
        } catch (const RvError& e) {
            writeRefused(*rs, e, QStringLiteral("The new reading ") + key, " imgAddReading_Click");
            return;
        }
        if (DupID(key)) {
            tx.reset();
            m_state.dialogs().message(QStringLiteral("There is already a reading with that date and time"),
                                      kDuplicateCaption);
            m_form.dtpRdate->setFocus();
            return;
        }
        rs->addNew();
        readings.setMoment(*rs, now.date(), now.time());
        ReadingStore::setAddedFlags(*rs);
        try {
            const CountScope own(m_ownWrites);
            rs->update();
            tx->commit();
        } catch (const RvError& e) {
            tx.reset();
            writeRefused(*rs, e, QStringLiteral("The new reading ") + key, " imgAddReading_Click");
            if (shown > 0)
                ignoreErrors([&] { rs->setAbsolutePosition(shown); });
            return;
        }
        const qint64 added = rs->bookmark();
        m_addedWatch = std::move(watch);
        m_addedRow = added;
        rs->requery();
        // The new reading becomes current even when readings dated later exist, so that what is
        // typed next goes into it.
        rs->setBookmark(added);
        showPosition();
        fillreadings();
    });
}

bool ReadingsPanel::DupID(const QString& key, qint64 rekeyed)
{
    bool duplicate = false;
    trap(m_state, " G_DupID", [&] {
        if (m_state.readings)
            duplicate = store().keyTakenHeld(key, rekeyed);
    });
    return duplicate;
}

void ReadingsPanel::CheckDateTime()
{
    if (m_checking)
        return;
    RecordSet* rs = m_state.readings.get();
    if (!rs)
        return;
    FlagScope scope(m_checking);
    FrmRockvista& f = m_form;
    ignoreErrors([&] {
        const qint64 rekeyed = rs->bookmark();
        const QDate date = f.dtpRdate->date();
        const QTime time = f.dtpRtime->time();
        const ReadingStore readings = store();
        const QString candidate = readingKey(readings.instrumentId(), date, time);
        if (candidate == ReadingStore::keyAt(*rs))
            return;
        std::optional<Transaction> tx;
        // The reading keeps its key: the pickers show it again.
        const auto restorePickers = [&] {
            const ShownReading kept = ReadingStore::shown(*rs);
            setPickers(kept.date, kept.time);
            ShowFutureWarning(); // it was shown for the refused date
        };
        const auto refused = [&](const RvError& e) {
            tx.reset();
            writeRefused(*rs, e, QStringLiteral("Reading ") + ReadingStore::keyAt(*rs), " CheckDateTime");
            refuseRekey();
            restorePickers();
        };
        // Re-keying writes the reading too: not over another engineer's change.
        if (m_shown.rowid != 0) {
            const Gate gate = m_refusedRowid == m_shown.rowid ? Gate::Refused : openWrite(tx, *rs, " CheckDateTime");
            if (gate == Gate::Refused)
                refuseRekey();
            if (gate != Gate::Write)
                return;
        } else {
            try {
                tx.emplace(*m_state.db);
            } catch (const RvError& e) {
                return refused(e);
            }
        }
        // In the write's transaction: another's import cannot store the key between check and write.
        if (DupID(candidate, rekeyed)) {
            tx.reset();
            m_state.dialogs().message(QStringLiteral("There is already a reading on ") + readingDateText(date)
                                          + QStringLiteral(" at ") + readingTimeText(time),
                                      kDuplicateCaption);
            refuseRekey();
            restorePickers();
            f.dtpRdate->setFocus();
            return;
        }
        readings.setMoment(*rs, date, time);
        try {
            const CountScope own(m_ownWrites);
            rs->update();
            tx->commit();
        } catch (const RvError& e) {
            return refused(e);
        }
        rs->requery();
        try {
            rs->setBookmark(rekeyed);
        } catch (const RvError&) {
            m_state.dialogs().message(QStringLiteral("error"));
            return;
        }
        // What was typed but not saved yet stays in the boxes: re-keying stores only the key.
        QStringList typed;
        typed << f.txtChannelT->text();
        for (int i = 1; i <= 6; ++i)
            typed << f.txtChannel[i]->text();
        const bool plot = f.chkTemporal->isChecked();
        fillreadings();
        f.txtChannelT->setText(typed[0]);
        for (int i = 1; i <= 6; ++i)
            f.txtChannel[i]->setText(typed[i]);
        f.chkTemporal->setChecked(plot);
    });
}

void ReadingsPanel::ShowFutureWarning()
{
    if (m_form.dtpRdate->date() > m_state.clock().today())
        showError(QStringLiteral("Warning: Reading Date is in the future"));
    else
        m_form.lblError->hide();
}

} // namespace rv
