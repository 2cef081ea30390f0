#pragma once
// The utilities tab's backups: dated copies of the database file in the backup folder, their
// list, restoring one over the working file, and the compaction at the program's end.
#include "core/State.h"

#include <QObject>
#include <functional>

namespace rv {

class FrmRockvista;

// How the panel closes and reopens the connection with every long-lived record set.
struct SessionHooks {
    std::function<void()> close;
    // Reopens and shows the register's first sensor; false when the program had to end.
    std::function<bool()> reopen;
};

class BackupPanel : public QObject {
    Q_OBJECT
public:
    BackupPanel(AppState& state, FrmRockvista& form, SessionHooks session);

    void imgBackup_Click();
    void imgRestore_Click();
    void ListBackups();

    // folder ends with a separator.
    bool BackupDB(const QString& folder, const QString& fileName);
    bool RestoreDB(const QString& folder, const QString& fileName, const QString& backupName);
    void CompactDB(const QString& folder, const QString& fileName);

private:
    QString backupFolder() const;
    void showFirstSensorInBox();

    AppState& m_state;
    FrmRockvista& m_form;
    SessionHooks m_session;
};

} // namespace rv
