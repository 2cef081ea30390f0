#pragma once
// Program-wide state, owned by the main window for the whole run and borrowed by the
// smaller windows while they are shown.
#include "core/DataEvents.h"
#include "core/Seams.h"
#include "core/Session.h"
#include "db/Database.h"
#include "db/DatabaseTarget.h"
#include "db/Errors.h"
#include "db/RecordSet.h"

#include <memory>

namespace rv {

// The session part (connection and long-lived record sets) is replaced as one unit by
// closeSession() and a new open; events tells the panels.
struct AppState : Session {
    Seams seams;
    Dialogs& dialogs() const { return *seams.dialogs; }
    Desktop& desktop() const { return *seams.desktop; }
    const Clock& clock() const { return *seams.clock; }

    QString dataDir;   // no trailing separator
    QString dbPath;          // the folder's SQLite file
    DatabaseTarget target;   // the database worked on: that file or a server's
    mutable DataEvents events;

    // Preferences as read at start-up, each held as text.
    QString mineId, maxY, minY, minX, maxX;

    bool firstLoad = false;
    QString pendingSensor;      // the number AddTypedSensor works on
    bool deleting = false;      // steers the sensor box's type-ahead

    // Import and batch-deletion flags.
    bool importFileNotFound = false;
    bool deleteSingle = false;
    bool deleteRange = false;
    bool deleteAll = false;
    QDate deleteStart, deleteEnd;

    QString path(const QString& fileName) const { return dataDir + QLatin1Char('/') + fileName; }

    // Where reports go; none set: the log file in the data folder.
    ErrorSink* errorSink = nullptr;

    // Appends a report to the log file in the data folder; its own failures are ignored.
    void writeToLog(const QString& text) const;
    // "Err #" + number + ": " + description + label, to the error sink.
    void report(const RvError& error, const char* label) const;
};

// A trapping procedure: the first error ends it and is reported with its label.
// Returns false when an error was trapped.
template <class F>
bool trap(const AppState& state, const char* label, F&& body)
{
    try {
        body();
        return true;
    } catch (const RvError& e) {
        state.report(e, label);
    } catch (const std::exception& e) {
        state.report(RvError(5, QString::fromUtf8(e.what())), label);
    }
    return false;
}

} // namespace rv
