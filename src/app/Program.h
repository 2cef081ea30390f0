#pragma once
// One running copy of the program: the main window with its start-up, unloading and
// termination. The real executable and the scenario runner both drive it.
#include "core/Seams.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace rv {

class FrmRockvista;
struct AppState;
class Controller;

class Program : public QObject {
    Q_OBJECT
public:
    Program(const QString& dataDir, Seams seams, QObject* parent = nullptr);
    // database: the --database option (empty: the environment, database.conf or the folder's file).
    Program(const QString& dataDir, const QString& database, Seams seams, QObject* parent = nullptr);
    ~Program() override;

    // Start-up. False when this copy must end at once (another copy runs, or the
    // database cannot be opened); the message has been shown then.
    bool load();
    // The main window (shown by load()); null once the copy has ended.
    FrmRockvista* window() const;
    AppState& state();
    // Closes and reopens the connection with its record sets (see Controller::reopen).
    bool reopen(const std::function<void()>& whileClosed = {});
    bool running() const;
    // A termination signal: from beginTermination on, saves store what they can and log the
    // rest without a message; terminate closes the window, which nothing can refuse.
    void beginTermination();
    void terminate();

signals:
    // Emitted after termination: the window is gone and the database is closed.
    void finished();

private:
    std::unique_ptr<Controller> m_controller;
};

} // namespace rv
