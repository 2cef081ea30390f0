#include "app/Controller.h"

#include "charts/ChartsPanel.h"
#include "core/Paths.h"
#include "db/Schema.h"
#include "exchange/BackupPanel.h"
#include "app/HelpPanel.h"
#include "app/Manual.h"
#include "exchange/ReadoutImport.h"
#include "exchange/domain/ExchangeNames.h"
#include "readings/BatchDelete.h"
#include "readings/Datasheet.h"
#include "readings/ReadingsPanel.h"
#include "sensors/SensorBox.h"
#include "sensors/SensorForm.h"
#include "monitoring/BoltStatusLabel.h"
#include "monitoring/SiteOverviewPanel.h"
#include "sensors/SensorFilterPanel.h"
#include "sensors/domain/SensorStore.h"
#include "ui/FrmRockvista.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

namespace rv {

namespace {
const QString kCaption = QStringLiteral("Kelderan's Rockvista");
constexpr int kNotRockvista = 3078; // a database without the supplied tables
const QString kCannotConnect = QStringLiteral("ERROR: could not connect to database\nProgram must exit");
}

Controller::Controller(const QString& dataDir, const QString& database, Seams seams) : m_databaseOption(database)
{
    m_state.seams = seams;
    m_state.dataDir = dataDir;
    m_state.dbPath = m_state.path(QStringLiteral("RockvistagSTAY.mdb"));
}

Controller::~Controller() = default;

bool Controller::Form_Load()
{
    try {
        m_state.target = DatabaseTarget::choose(m_databaseOption, m_state.dataDir, m_state.dbPath);
    } catch (const RvError& e) { // a database.conf or a setting that cannot be read
        m_state.dialogs().message(kCannotConnect + QStringLiteral("\n\n") + e.description,
                                  QStringLiteral("Database connection error"), Icon::Critical);
        return false;
    }
    const bool server = m_state.target.isServer();
    // A first start on a new computer. A folder that stands without its database is another
    // matter: the connection error tells how to make one. The folder of a team's engineer holds
    // the log, pictures and reports only.
    if (!QFileInfo::exists(m_state.dataDir) && (server ? QDir().mkpath(m_state.dataDir) : createDataFolder(m_state.dataDir))) {
        writeManualPdf(m_state.path(kManualFileName)); // what the help button opens
        if (!server)
            m_state.dialogs().message(QStringLiteral("Rockvista has made its data folder with an empty database:\n")
                                          + QDir::toNativeSeparators(m_state.dataDir),
                                      kCaption, Icon::Information);
    }

    // One running copy per database file; a lock left by a crashed copy is taken over. A server
    // is shared by the team's copies: there the lock only tells whether the folder is this copy's
    // alone (what an interrupted backup left may go).
    m_lock = std::make_unique<QLockFile>(m_state.path(QStringLiteral("rockvista.lock")));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (!server && m_lock->error() == QLockFile::LockFailedError) {
            m_state.dialogs().message(QStringLiteral("Rockvista is already running\nCannot load program again"),
                                      kCaption, Icon::Exclamation);
            m_lock.reset();
            return false;
        }
        m_lock.reset(); // a folder we cannot write to, or another copy's on the server: run without the lock
    }

    m_form = std::make_unique<FrmRockvista>();
    m_state.firstLoad = true;
    m_sensorForm = std::make_unique<SensorForm>(m_state, *m_form);
    m_readings = std::make_unique<ReadingsPanel>(m_state, *m_form);
    // A sensor deleted by another engineer under its readings tab: the first sensor is shown.
    connect(m_readings.get(), &ReadingsPanel::sensorGone, this, [this] {
        showTabQuietly(0);
        m_currentTab = 0;
        m_readings->forgetReading();
        ignoreErrors([&] {
            m_state.sensors->requery();
            showFirstSensor(m_state, *m_form, *m_sensorForm);
        });
    });
    // sensor register panels
    addSensorPanels(m_panels, m_state, *m_form, *m_sensorForm);
    // readings panels
    m_panels.push_back(std::make_unique<BatchDelete>(m_state, *m_form, *m_readings));
    m_panels.push_back(std::make_unique<Datasheet>(m_state, *m_form, *m_readings));
    m_panels.push_back(std::make_unique<ReadoutImport>(m_state, *m_form, *m_readings));
    // utilities panels
    m_backups = std::make_unique<BackupPanel>(
        m_state, *m_form, [this](const std::function<void()>& whileClosed) { return reopen(whileClosed); });
    m_panels.push_back(std::make_unique<HelpPanel>(m_state, *m_form));
    m_charts = std::make_unique<ChartsPanel>(m_state, *m_form);
    m_panels.push_back(std::make_unique<BoltStatusLabel>(m_state, *m_form, *m_sensorForm));
    SensorFilterPanel* filter = nullptr;
    for (const auto& p : m_panels)
        if (auto* f = qobject_cast<SensorFilterPanel*>(p.get()))
            filter = f;
    m_panels.push_back(std::make_unique<SiteOverviewPanel>(m_state, *m_form, *m_sensorForm, [filter] {
        if (filter)
            filter->RemoveFilter();
    }));
    m_form->SSTab1->setCurrentIndex(0);
    m_form->lblError->hide();
    connectTabs();
    m_form->onUnload = [this] {
        if (!Form_Unload())
            return false;
        Form_Terminate();
        return true;
    };

    if (m_lock) // the folder is ours alone: what an interrupted copy left is no one's
        ignoreErrors([&] { m_backups->removeLeftCopies(); });
    if (!openDatabase()) {
        m_form.reset();
        m_lock.reset();
        return false;
    }
    // A failed start-up leaves the window open as far as it got, with Firstload still set.
    if (openRecordSets()) {
        m_state.importFileNotFound = false;
        m_state.deleteSingle = m_state.deleteRange = m_state.deleteAll = false;
        m_state.firstLoad = false;
    }
    m_running = true;
    m_form->show();
    return true;
}

bool Controller::openDatabase()
{
    try {
        m_state.db = Database::openSupplied(m_state.target);
        m_state.events.watch(*m_state.db);
    } catch (const RvError& e) {
        QString text = kCannotConnect;
        const DatabaseTarget& target = m_state.target;
        if (target.isServer()) {
            // What the server said, or how an empty database is set up; never a password.
            text += QStringLiteral("\n\n");
            if (e.number == kNotRockvista)
                text += QStringLiteral("The database ") + target.display()
                        + QStringLiteral(" is not set up for Rockvista.\nTo set it up, run once:\n"
                                         "rockvista-setup --database \"")
                        + target.display() + QStringLiteral("\" --mine-id MINE");
            else // libpq indents its hints with a tab, which a message box shows as a wide gap
                text += withoutPassword(e.description, target.password()).replace(QStringLiteral("\n\t"), QStringLiteral("\n"));
        } else if (!QFileInfo::exists(m_state.dbPath)) {
            // A first start on a new computer: say how the data folder is made.
            text += QStringLiteral("\n\nThere is no database ") + kDatabaseFileName + QStringLiteral(" in ")
                    + QDir::toNativeSeparators(m_state.dataDir)
                    + QStringLiteral(".\nTo make the data folder with an empty database, run once:\n"
                                     "rockvista-setup --data-dir \"")
                    + QDir::toNativeSeparators(m_state.dataDir) + QLatin1Char('"');
        }
        m_state.dialogs().message(text, QStringLiteral("Database connection error"), Icon::Critical);
        return false;
    }
    return true;
}

bool Controller::openRecordSets()
{
    return trap(m_state, " Form_Load", [&] {
        m_state.types = SensorStore(*m_state.db).openTypes();
        m_state.types->moveFirst();
        GetPrefs();
        m_state.sensors = SensorStore(*m_state.db).openRegister();
        fillSensorBox();
    });
}

void Controller::fillSensorBox()
{
    RecordSet& reg = *m_state.sensors;
    FrmRockvista& f = *m_form;
    if (reg.bof() || reg.eof()) {
        f.cboSensors->clear();
        m_state.dialogs().message(
            QStringLiteral("There are no sensors in the database, \nclick the ADD NEW button to begin using Rockvista"),
            kCaption, Icon::Exclamation);
        f.txtSCount->setText(QStringLiteral("0"));
        return;
    }
    showFirstSensor(m_state, f, *m_sensorForm);
}

void Controller::GetPrefs()
{
    trap(m_state, " Module1_GetPrefs", [&] {
        m_state.prefs = SensorStore(*m_state.db).openPrefs();
        RecordSet& p = *m_state.prefs;
        p.moveFirst();
        const auto read = [&](const QString& field, QString& target) {
            const QVariant v = p.value(field);
            if (v.isNull())
                throw RvError(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
            target = p.text(field);
        };
        read(prefsField::mineId, m_state.mineId);
        read(prefsField::maxY, m_state.maxY);
        read(prefsField::minY, m_state.minY);
        read(prefsField::minX, m_state.minX);
        read(prefsField::maxX, m_state.maxX);
    });
}

void Controller::connectTabs()
{
    connect(m_form->SSTab1, &QTabWidget::currentChanged, this, [this] { SSTab1_Click(m_currentTab); });
}

void Controller::showTabQuietly(int index)
{
    const QSignalBlocker block(m_form->SSTab1);
    m_form->SSTab1->setCurrentIndex(index);
}

bool Controller::leaveTab(int tab)
{
    // What cannot be stored keeps the user on its tab with the typed values.
    bool left = true;
    if (tab == 2)
        ignoreErrors([&] { left = m_readings->leaveTab(); });
    else if (tab == 0 || tab == 1)
        ignoreErrors([&] { left = m_sensorForm->savefields(); });
    if (left && tab <= 1)
        ignoreErrors([&] { m_sensorForm->fillfields(); });
    return left;
}

void Controller::SSTab1_Click(int previousTab)
{
    FrmRockvista& f = *m_form;
    const int wanted = f.SSTab1->currentIndex();
    if (wanted == previousTab)
        return;
    // However the strip was moved (a click, Ctrl+Tab, the wheel, the program), the tab asked for
    // is shown only once the tab being left has let go: a refusal is told over the tab the user
    // stays on, and nothing of the other tab is seen meanwhile.
    showTabQuietly(previousTab);
    if (!leaveTab(previousTab))
        return;
    showTabQuietly(wanted);
    m_currentTab = wanted;
    switch (wanted) {
    case 0:
        f.cboSensors->setFocus();
        m_readings->forgetReading();
        break;
    case 1:
        m_sensorForm->showInstallationTab();
        f.txtLevel->setFocus();
        break;
    case 2:
        ignoreErrors([&] { m_readings->enterTab(); });
        ignoreErrors([&] {
            const QString work = m_state.path(QStringLiteral("datafile.txt"));
            if (QFile::exists(work))
                QFile::remove(work);
        });
        break;
    case 3:
    case 4:
    case 5:
    case 6:
        m_charts->enterChartTab(wanted, previousTab);
        break;
    case 7:
        ignoreErrors([&] { m_backups->ListBackups(); });
        break;
    default:
        break;
    }
}

bool Controller::Form_Unload()
{
    if (!m_running)
        return true;
    if (m_terminating) {
        ignoreErrors([&] { m_sensorForm->saveWhatCan(); });
    } else {
        bool storable = true;
        ignoreErrors([&] { storable = m_sensorForm->numbersStorable(); });
        if (!storable)
            return false; // the window stays open with what was typed
        ignoreErrors([&] { m_sensorForm->savefields(); }); // a refusal by the database is told
    }
    trap(m_state, " Form_Unload", [&] {
        if (m_form->SSTab1->currentIndex() == 2 && !m_terminating)
            m_readings->commitPickers(); // a refused date leaves the old key to save under
        if (m_form->SSTab1->currentIndex() == 2 && m_readings->ReadingValid())
            m_readings->SaveReadings();
    });
    return true;
}

void Controller::beginTermination()
{
    m_terminating = true;
    if (m_readings)
        m_readings->beginTermination();
}

void Controller::terminate()
{
    beginTermination();
    if (m_form && m_running)
        m_form->close();
}

void Controller::Form_Terminate()
{
    if (!m_running)
        return;
    m_running = false;
    ignoreErrors([&] { m_state.sensors.reset(); });
    ignoreErrors([&] { m_state.readings.reset(); });
    ignoreErrors([&] { m_state.types.reset(); });
    ignoreErrors([&] { m_state.prefs.reset(); });
    ignoreErrors([&] { m_state.db.reset(); });
    ignoreErrors([&] { m_backups->CompactDB(kDatabaseFileName); });
    m_lock.reset();
    emit finished();
}

void Controller::closeSession()
{
    emit m_state.events.sessionClosing();
    if (m_readings)
        m_readings->forgetReading(); // a position in the database that goes
    m_state.closeSession();
}

bool Controller::reopenSession()
{
    if (!openDatabase()) {
        // As at start-up: the program ends without saving or compacting anything.
        m_running = false;
        m_form->hide();
        m_lock.reset();
        emit finished();
        return false;
    }
    // An empty register leaves nothing of the database before on the form.
    if (openRecordSets() && m_state.sensors && m_state.sensors->isEmpty())
        ignoreErrors([&] { m_sensorForm->fillfields(); });
    emit m_state.events.sessionOpened();
    return true;
}

bool Controller::reopen(const std::function<void()>& whileClosed)
{
    closeSession();
    if (whileClosed)
        ignoreErrors(whileClosed);
    return reopenSession();
}

} // namespace rv
