#pragma once
// What the panels that show stored data listen to, instead of each call site refreshing them.
// Changes are announced once the outermost transaction has committed, each kind once per
// commit; nothing is announced for a rollback. Other programs' commits to the same database (a
// team's server) are announced too, while the event loop turns; fromOthers() tells them apart.
#include <QObject>
#include <QString>
#include <QStringList>

namespace rv {

class Database;

class DataEvents : public QObject {
    Q_OBJECT
public:
    // Follows the commits of this connection, and those the other programs announce, from now on.
    void watch(Database& db);
    // The tables a commit changed, as the connection reports them.
    void announce(const QStringList& tables);
    // The signal being emitted is for another program's commit: what this program shows may now
    // differ from what is stored, and what the user typed must stay.
    bool fromOthers() const { return m_fromOthers; }

signals:
    // The connection and every long-lived record set are about to go (a backup or a restore):
    // drop whatever points into them, store what must not be lost.
    void sessionClosing();
    // They are open again; the current sensor is the register's first.
    void sessionOpened();
    // The register or the network rows changed.
    void sensorsChanged();
    // The reading table of that sensor changed, was created or dropped.
    void readingsChanged(const QString& instrumentId);

private:
    bool m_fromOthers = false;
};

} // namespace rv
