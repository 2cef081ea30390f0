#pragma once
// How one bolt stands: its latest marked reading, zero-corrected against the first marked one
// as the charts do, held against the bolt's limits. Read, never written.
#include "db/Database.h"
#include "sensors/domain/SensorStore.h"
#include "readings/domain/Reading.h"

#include <QHash>
#include <QStringList>
#include <optional>

namespace rv {

// In rising order of concern; Destroyed and NoReadings stand apart from that order.
enum class BoltState { NoReadings, Destroyed, Within, Elastic, Plastic, Ultimate };

struct BoltStatus {
    BoltState state = BoltState::NoReadings;
    // The largest absolute zero-corrected strains of the latest marked reading (long gauges
    // 1, 3, 4, 6; short gauges 2, 5) and its largest absolute load; empty when not known.
    std::optional<double> longStrain, shortStrain, load;
    QDateTime zeroMoment, latestMoment;
    // The limits the state was decided on; 0 is a limit that was skipped.
    double elasticLimit = 0, plasticLimit = 0, ultimateStrength = 0, kFactor = 0;

    QString text() const;
    // The figures the state was decided on, one per line.
    QString figures() const;
    std::optional<double> strain() const;
};

QString boltStateText(BoltState state);

// The rules alone, over the zero reading and the latest one (the same reading when there is one).
BoltStatus classifyBolt(const Sensor& sensor, const std::optional<Reading>& zero, const std::optional<Reading>& latest);

// The sensor's status from its reading table: two indexed reads. No table is "No readings".
BoltStatus boltStatus(Database& db, const Sensor& sensor);

// Whether going from one state to the other is a worsening worth telling: a rise in concern
// between two states that both come from readings.
bool isWorsening(BoltState before, BoltState after);

// Takes the statuses of some sensors before readings are appended and names, after, every one
// that got worse: "Sensor 000000001 is now Beyond elastic limit (was Within elastic limit)."
class StatusWatch {
public:
    StatusWatch(Database& db, const QStringList& instrumentIds);
    QStringList worsened() const;
    bool watches(const QString& instrumentId) const { return m_ids.contains(instrumentId); }

private:
    Database& m_db;
    QHash<QString, BoltState> m_before;
    QStringList m_ids;
};

} // namespace rv
