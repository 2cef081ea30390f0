#include "exchange/BackupPanel.h"

#include "db/Maintenance.h"
#include "db/Schema.h"
#include "exchange/domain/ExchangeNames.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"

#include <QDir>
#include <QFile>

namespace rv {

namespace {
const QString kCaption = QStringLiteral("Kelderan's Rockvista");
const QString kCaptionUpper = QStringLiteral("Kelderan's ROCKVISTA");
} // namespace

BackupPanel::BackupPanel(AppState& state, FrmRockvista& form, SessionReopen reopen)
    : m_state(state), m_form(form), m_reopen(std::move(reopen))
{
    connect(form.imgBackup, &ImageButton::clicked, this, &BackupPanel::imgBackup_Click);
    connect(form.Label42, &ClickLabel::clicked, this, &BackupPanel::imgBackup_Click);
    connect(form.imgRestore, &ImageButton::clicked, this, &BackupPanel::imgRestore_Click);
    connect(form.Label27, &ClickLabel::clicked, this, &BackupPanel::imgRestore_Click);
}

QString BackupPanel::backupFolder() const
{
    return m_state.path(kBackupFolder);
}

void BackupPanel::imgBackup_Click()
{
    if (!m_reopen([&] { BackupDB(kDatabaseFileName); }))
        return;
    ListBackups();
    showFirstSensorInBox();
}

void BackupPanel::removeLeftCopies()
{
    maintenance::removeLeftTemporaries(m_state.dataDir, kDatabaseFileName);
    maintenance::removeLeftTemporaries(backupFolder(), kBackupFolder + QStringLiteral("*.mdb"));
    const QString copy = m_state.path(compactionCopyName(kDatabaseFileName));
    QFile::remove(copy + QStringLiteral("-journal"));
    QFile::remove(copy);
}

bool BackupPanel::BackupDB(const QString& fileName)
{
    removeLeftCopies();
    try {
        if (!QDir().mkpath(backupFolder()))
            throw RvError(76, QStringLiteral("Path not found: ") + QDir::toNativeSeparators(backupFolder()));
        maintenance::backup(m_state.target, backupFolder() + QLatin1Char('/') + backupFileName(m_state.clock().today()));
    } catch (const RvError& e) {
        // A server is named by its address (never with a password).
        m_state.dialogs().message(QStringLiteral("Error encountered during backup process of ")
                                  + (m_state.target.isServer() ? m_state.target.display() : fileName));
        m_state.report(e, " GBackupDB");
        return false;
    }
    m_state.dialogs().message(QStringLiteral("Backup was successful"), kCaption, Icon::Information);
    return true;
}

void BackupPanel::ListBackups()
{
    QListWidget& list = *m_form.lstFiles;
    list.clear();
    const QStringList files = QDir(backupFolder()).entryList(QDir::Files, QDir::Name);
    if (files.isEmpty())
        return;
    list.addItem(QStringLiteral("List of Backups:"));
    list.addItems(files);
    list.setCurrentRow(0);
}

void BackupPanel::imgRestore_Click()
{
    QListWidget& list = *m_form.lstFiles;
    const int row = list.currentRow();
    if (row <= 0 || row >= list.count()) {
        m_state.dialogs().message(QStringLiteral("Please choose a file from the list to restore from"));
        return;
    }
    const QString backupName = list.item(row)->text();
    const Answer answer = m_state.dialogs().question(
        QStringLiteral("Restoring Rockvista from backup ") + backupName
            + QStringLiteral("\nwill permanently overwrite current database. Continue?"),
        kCaptionUpper, Icon::Warning, Buttons::YesNo, Answer::Yes);
    if (answer != Answer::Yes)
        return;
    if (m_reopen([&] { RestoreDB(backupName); }))
        showFirstSensorInBox();
}

bool BackupPanel::RestoreDB(const QString& backupName)
{
    try {
        maintenance::restore(backupFolder() + QLatin1Char('/') + backupName, m_state.target);
    } catch (const RvError& e) {
        m_state.dialogs().message(QStringLiteral("Error encountered during restore process"));
        m_state.report(e, " G_CompactDB");
        return false;
    }
    m_state.dialogs().message(QStringLiteral("Restore was successful"), kCaption, Icon::Information);
    return true;
}

void BackupPanel::CompactDB(const QString& fileName)
{
    try {
        maintenance::compact(m_state.target, m_state.path(compactionCopyName(fileName)));
    } catch (const RvError& e) {
        m_state.dialogs().message(QStringLiteral("Error compacting ") + fileName);
        m_state.report(e, " G_CompactDB");
    }
}

void BackupPanel::showFirstSensorInBox()
{
    // The register was opened afresh, without the filter: its switch must not claim otherwise.
    m_form.lblFilter->hide();
    m_form.lblFilterState->setText(QStringLiteral("Apply Filter"));
    m_form.imgFilter->setPixmap(m_form.imgApplyFilter->pixmap());
    ignoreErrors([&] {
        RecordSet* reg = m_state.sensors.get();
        if (!reg || reg->isEmpty())
            return;
        m_form.cboSensors->setEditText(reg->valueAt(0, reg->fieldIndex(sensorField::instrumentId)).toString());
    });
}

} // namespace rv
