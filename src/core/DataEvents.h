#pragma once
// What the panels that show stored data listen to, instead of each call site refreshing them.
#include <QObject>
#include <QString>

namespace rv {

class DataEvents : public QObject {
    Q_OBJECT
signals:
    // The connection and every long-lived record set are about to go (a backup or a restore):
    // drop whatever points into them, store what must not be lost.
    void sessionClosing();
    // They are open again; the current sensor is the register's first.
    void sessionOpened();
};

} // namespace rv
