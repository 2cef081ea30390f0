#pragma once
// The utilities tab's backups: dated copies of the database in the backup folder (portable files,
// of a server's database too), their list, restoring one over the working database, and the
// compaction of the file at the program's end.
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

    // The database the state's target names; fileName is how messages call the data folder's file.
    bool BackupDB(const QString& fileName);
    bool RestoreDB(const QString& backupName);
    void CompactDB(const QString& fileName);
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
