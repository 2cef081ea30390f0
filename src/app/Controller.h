#pragma once
// The main window's lifecycle: start-up, the tab switchboard, unloading and termination.
// Owns the program-wide state and the panels of each subsystem.
#include "core/State.h"

#include <QLockFile>
#include <functional>
#include <QObject>
#include <memory>

namespace rv {

class FrmRockvista;
class SensorForm;
class ReadingsPanel;
class BackupPanel;
class ChartsPanel;

class Controller : public QObject {
    Q_OBJECT
public:
    Controller(const QString& dataDir, const QString& database, Seams seams);
    ~Controller() override;

    bool Form_Load();
    // False when closing must not happen (a box that cannot be stored; the user was told).
    bool Form_Unload();
    // A termination signal: closing saves what it can and cannot be refused.
    void terminate();
    void beginTermination();
    void Form_Terminate();
    void SSTab1_Click(int previousTab);

    // (Re)opens the connection; false when the database cannot be opened (the message has
    // been shown).
    bool openDatabase();
    // Opens the long-lived record sets and shows the first sensor; false when an error ended
    // it (logged with the label " Form_Load").
    bool openRecordSets();
    void GetPrefs();
    // Refills the sensor box from the register and shows its first sensor.
    void fillSensorBox();

    // Closes the connection and every long-lived record set, runs whileClosed with the database
    // file free, and opens them again as at start-up (the register's first sensor is current).
    // False when the database cannot be opened again: the program has ended, as at start-up.
    bool reopen(const std::function<void()>& whileClosed = {});

    AppState& state() { return m_state; }
    FrmRockvista* window() const { return m_form.get(); }
    bool running() const { return m_running; }

signals:
    void finished();

private:
    void connectTabs();
    void showTabQuietly(int index); // without running the tab handler
    bool leaveTab(int tab);          // the leaving actions; false keeps the user on the tab
    // Backup and restore close the connection with its record sets and open them afresh.
    void closeSession();
    bool reopenSession();

    AppState m_state;
    std::unique_ptr<FrmRockvista> m_form;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<SensorForm> m_sensorForm;
    std::unique_ptr<ReadingsPanel> m_readings;
    std::unique_ptr<BackupPanel> m_backups;
    std::unique_ptr<ChartsPanel> m_charts;
    // Panels of the sensor register and the readings tab are kept here too.
    std::vector<std::unique_ptr<QObject>> m_panels;
    QString m_databaseOption;
    int m_currentTab = 0;
    bool m_running = false;
    bool m_terminating = false;
};

} // namespace rv
