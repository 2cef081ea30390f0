#pragma once
// The utilities tab's backups: dated copies of the database file in the backup folder, their
// list, restoring one over the working file, and the compaction at the program's end.
#include "core/State.h"

#include <QObject>
#include <functional>

namespace rv {

class FrmRockvista;

// Closes the session (the connection with every long-lived record set), runs the given work
// with the database file free, and opens the session again on the register's first sensor;
// false when the database could not be reopened and the program has ended.
using SessionReopen = std::function<bool(const std::function<void()>& whileClosed)>;

class BackupPanel : public QObject {
    Q_OBJECT
public:
    BackupPanel(AppState& state, FrmRockvista& form, SessionReopen reopen);

    void imgBackup_Click();
    void imgRestore_Click();
    void ListBackups();

    // folder ends with a separator.
    bool BackupDB(const QString& folder, const QString& fileName);
    bool RestoreDB(const QString& folder, const QString& fileName, const QString& backupName);
    void CompactDB(const QString& folder, const QString& fileName);
    // The copies that backups, restores and compactions cut short left behind: full-size files
    // nobody would ever remove. Run at start-up and before each backup.
    void removeLeftCopies();

private:
    QString backupFolder() const;
    void showFirstSensorInBox();

    AppState& m_state;
    FrmRockvista& m_form;
    SessionReopen m_reopen;
};

} // namespace rv
