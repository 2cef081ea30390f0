#include "core/DataEvents.h"

#include "db/Database.h"

#include <QScopedValueRollback>

namespace rv {

void DataEvents::watch(Database& db)
{
    db.setCommitListener([this](const QStringList& tables) { announce(tables); });
    db.setOthersListener([this](const QStringList& tables) {
        const QScopedValueRollback<bool> others(m_fromOthers, true);
        announce(tables);
    });
}

void DataEvents::announce(const QStringList& tables)
{
    bool sensors = false;
    QStringList readings;
    for (const QString& t : tables) {
        if (t.compare(QLatin1String("Sensors"), Qt::CaseInsensitive) == 0
            || t.compare(QLatin1String("NetworkConfig"), Qt::CaseInsensitive) == 0)
            sensors = true;
        else if (t.size() == 9 && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); }))
            readings << t;
    }
    if (sensors)
        emit sensorsChanged();
    for (const QString& id : readings)
        emit readingsChanged(id);
}

} // namespace rv
