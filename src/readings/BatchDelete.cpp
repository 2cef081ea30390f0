#include "readings/BatchDelete.h"

#include "db/Schema.h"
#include "readings/ReadingsPanel.h"
#include "readings/domain/RangeDelete.h"
#include "readings/domain/ReadingKey.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmBatchDel.h"
#include "ui/FrmRockvista.h"

#include <QLocale>
#include <optional>

namespace rv {

BatchDelete::BatchDelete(AppState& state, FrmRockvista& form, ReadingsPanel& readings)
    : m_state(state), m_form(form), m_readings(readings)
{
    connect(form.imgDeleteReading, &ImageButton::clicked, this, &BatchDelete::imgDeleteReading_Click);
    connect(form.Label65, &ClickLabel::clicked, this, &BatchDelete::imgDeleteReading_Click);
}

void BatchDelete::Form_Load(FrmBatchDel& window)
{
    m_state.deleteSingle = m_state.deleteRange = m_state.deleteAll = false;
    const QDate today = m_state.clock().today();
    window.DelStart->setSelectedDate(today);
    window.DelEnd->setSelectedDate(today);
    // There is no question before the range goes: the window says what it will delete.
    const auto show = [this, &window] { showRange(window); };
    connect(window.DelStart, &QCalendarWidget::selectionChanged, &window, show);
    connect(window.DelEnd, &QCalendarWidget::selectionChanged, &window, show);
    show();
}

void BatchDelete::showRange(FrmBatchDel& window)
{
    const QDate start = window.DelStart->selectedDate();
    const QDate end = window.DelEnd->selectedDate();
    const QString from = readingDateText(start);
    const QString to = readingDateText(end);
    if (start > end) {
        window.lblRange->setText(QStringLiteral("Deletes no readings: the start date %1 is after the end date %2")
                                     .arg(from, to));
        return;
    }
    std::optional<int> count;
    ignoreErrors([&] {
        const RecordSet* rs = m_state.readings.get();
        const QString table = rs && !rs->table().isEmpty() ? rs->table()
                                                           : opened(m_state.sensors).text(sensorField::instrumentId);
        count = countReadingRange(opened(m_state.db), table, start, end);
    });
    if (!count)
        window.lblRange->setText(
            QStringLiteral("Cannot count the readings from %1 to %2: a reading date cannot be read").arg(from, to));
    else
        window.lblRange->setText(QStringLiteral("Deletes %1 %2 from %3 to %4")
                                     .arg(*count)
                                     .arg(*count == 1 ? QStringLiteral("reading") : QStringLiteral("readings"), from, to));
}

void BatchDelete::imgDeleteReading_Click()
{
    if (!m_readings.commitPickers())
        return;
    trap(m_state, " imgDeleteReading_Click", [&] {
        opened(m_state.db);
        opened(m_state.sensors);
        // The shown reading may outlive a range deletion: what is typed into it must be storable.
        if (!m_readings.ReadingStorable())
            return;
        {
            FrmBatchDel window(&m_form);
            Form_Load(window);
            switch (window.exec()) {
            case FrmBatchDel::Single:
                m_state.deleteSingle = true;
                break;
            case FrmBatchDel::Range:
                m_state.deleteRange = true;
                m_state.deleteStart = window.DelStart->selectedDate();
                m_state.deleteEnd = window.DelEnd->selectedDate();
                break;
            case FrmBatchDel::All:
                m_state.deleteAll = true;
                break;
            default:
                break;
            }
        }
        if (m_state.deleteSingle)
            deleteCurrent();
        else if (m_state.deleteRange) {
            if (m_readings.SaveReadings())
                deleteRange();
        }
        else if (m_state.deleteAll)
            deleteEverything();
    });
}

// The readings tab follows each deletion once it is committed, onto the newest reading.

void BatchDelete::deleteCurrent()
{
    RecordSet* rs = m_state.readings.get();
    if (!rs)
        throw noCurrentRecord();
    rs->deleteCurrent();
}

void BatchDelete::deleteRange()
{
    RecordSet* rs = m_state.readings.get();
    if (!rs || rs->isEmpty())
        throw noCurrentRecord(); // as moving to the first of no readings does
    const QDate start = m_state.deleteStart;
    const QDate end = m_state.deleteEnd;
    m_readings.releaseReading(); // even when the range spares it
    const int count = deleteReadingRange(opened(m_state.db), rs->table(), start, end);
    const QLocale locale = QLocale::system();
    m_state.dialogs().message(QString::number(count) + QStringLiteral(" readings were deleted from ")
                              + locale.toString(start, QLocale::ShortFormat) + QStringLiteral(" and ")
                              + locale.toString(end, QLocale::ShortFormat));
}

void BatchDelete::deleteEverything()
{
    const QString id = opened(m_state.sensors).text(sensorField::instrumentId);
    {
        Database& db = opened(m_state.db);
        Transaction tx(db);
        deleteAllReadings(db, id);
        tx.commit();
    }
}

} // namespace rv
