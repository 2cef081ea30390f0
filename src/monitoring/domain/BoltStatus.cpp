#include "monitoring/domain/BoltStatus.h"

#include "base/Formats.h"
#include "charts/domain/Preparation.h"
#include "readings/domain/ReadingStore.h"

#include <cmath>

namespace rv {

namespace {

double nanIfNull(const OptDouble& v) { return v ? *v : qQNaN(); }

// The zero and latest readings as the two rows of a chart's columns, so that the charts' own
// pass computes their strains and loads.
ReadingColumns twoRows(const Reading& zero, const Reading& latest)
{
    ReadingColumns c;
    for (const Reading* r : {&zero, &latest}) {
        c.rowids.append(r->rowid);
        c.moments.append(r->moment);
        c.temperatures.append(nanIfNull(r->temperature));
        c.numTemps.append(nanIfNull(r->numTemp));
        for (int i = 0; i < Reading::kChannels; ++i) {
            c.channels[i].append(nanIfNull(r->channels[i]));
            c.zeroed[i].append(nanIfNull(r->zeroed[i]));
        }
        for (int i = 0; i < Reading::kLoads; ++i)
            c.loads[i].append(nanIfNull(r->loads[i]));
    }
    return c;
}

// The largest absolute finite value among the latest row's entries; empty when none.
std::optional<double> largest(std::initializer_list<const QVector<double>*> columns)
{
    std::optional<double> best;
    for (const QVector<double>* column : columns) {
        const double v = column->value(1, qQNaN());
        if (std::isfinite(v) && (!best || std::fabs(v) > *best))
            best = std::fabs(v);
    }
    return best;
}

double limitOf(const QString& text) { return text.trimmed().isEmpty() ? 0.0 : leadingNumber(text); }

bool reaches(const std::optional<double>& value, double limit) { return limit != 0 && value && *value >= std::fabs(limit); }

QString figure(double v) { return QString::number(v, 'f', 1); }

} // namespace

QString boltStateText(BoltState state)
{
    switch (state) {
    case BoltState::NoReadings: return QStringLiteral("No readings");
    case BoltState::Destroyed: return QStringLiteral("Destroyed");
    case BoltState::Within: return QStringLiteral("Within elastic limit");
    case BoltState::Elastic: return QStringLiteral("Beyond elastic limit");
    case BoltState::Plastic: return QStringLiteral("Beyond plastic limit");
    case BoltState::Ultimate: return QStringLiteral("Beyond ultimate strength");
    }
    return {};
}

QString BoltStatus::text() const { return boltStateText(state); }

std::optional<double> BoltStatus::strain() const
{
    if (longStrain && shortStrain)
        return std::max(*longStrain, *shortStrain);
    return longStrain ? longStrain : shortStrain;
}

QString BoltStatus::figures() const
{
    QStringList lines;
    if (state == BoltState::Destroyed)
        lines << QStringLiteral("The sensor is marked destroyed.");
    if (!latestMoment.isValid()) {
        if (state == BoltState::NoReadings)
            lines << QStringLiteral("No reading is marked for the time charts.");
        return lines.join(QLatin1Char('\n'));
    }
    const QString form = QStringLiteral("yyyy/MM/dd HH:mm:ss");
    lines << QStringLiteral("Latest reading: ") + latestMoment.toString(form)
          << QStringLiteral("Zero reading: ") + zeroMoment.toString(form);
    const auto line = [&](const char* name, const std::optional<double>& v, double limit, const char* unit) {
        QString s = QLatin1String(name) + QStringLiteral(": ") + (v ? figure(*v) : QStringLiteral("none"));
        s += limit != 0 ? QStringLiteral(" (limit ") + figure(limit) + QLatin1Char(')') : QStringLiteral(" (no limit)");
        return s + QLatin1Char(' ') + QLatin1String(unit);
    };
    lines << line("Largest strain", strain(), elasticLimit, "ustrain")
          << QStringLiteral("Plastic limit: ") + (plasticLimit != 0 ? figure(plasticLimit) : QStringLiteral("none"))
          << (kFactor == 0 ? QStringLiteral("Load: not computed (k factor 0)")
                           : line("Largest load", load, ultimateStrength, "tons"));
    return lines.join(QLatin1Char('\n'));
}

BoltStatus classifyBolt(const Sensor& sensor, const std::optional<Reading>& zero, const std::optional<Reading>& latest)
{
    BoltStatus s;
    s.elasticLimit = limitOf(sensor.elasticLimit);
    s.plasticLimit = limitOf(sensor.perfectPlasticLimit);
    s.ultimateStrength = limitOf(sensor.ultimateStrength);
    s.kFactor = sensor.boltkfactor.value_or(0);
    if (zero && latest) {
        ReadingColumns c = twoRows(*zero, *latest);
        preparePass(c, s.kFactor);
        s.zeroMoment = zero->moment;
        s.latestMoment = latest->moment;
        const auto& z = c.zeroed;
        s.longStrain = largest({&z[0], &z[2], &z[3], &z[5]});
        s.shortStrain = largest({&z[1], &z[4]});
        if (s.kFactor != 0)
            s.load = largest({&c.loads[0], &c.loads[1], &c.loads[2], &c.loads[3]});
    }
    if (sensor.destroyed)
        s.state = BoltState::Destroyed;
    else if (!latest)
        s.state = BoltState::NoReadings;
    else if (s.kFactor != 0 && reaches(s.load, s.ultimateStrength))
        s.state = BoltState::Ultimate;
    else if (reaches(s.strain(), s.plasticLimit))
        s.state = BoltState::Plastic;
    else if (reaches(s.strain(), s.elasticLimit))
        s.state = BoltState::Elastic;
    else
        s.state = BoltState::Within;
    return s;
}

BoltStatus boltStatus(Database& db, const Sensor& sensor)
{
    const ReadingStore store(db, sensor.instrumentId);
    if (!store.tableExists())
        return classifyBolt(sensor, std::nullopt, std::nullopt);
    const auto [first, latest] = store.markedEnds();
    return classifyBolt(sensor, first, latest);
}

bool isWorsening(BoltState before, BoltState after)
{
    const auto fromReadings = [](BoltState s) { return s != BoltState::NoReadings && s != BoltState::Destroyed; };
    return fromReadings(before) && fromReadings(after) && int(after) > int(before);
}

StatusWatch::StatusWatch(Database& db, const QStringList& instrumentIds) : m_db(db), m_ids(instrumentIds)
{
    const SensorStore sensors(db);
    for (const QString& id : instrumentIds)
        if (const std::optional<Sensor> s = sensors.sensor(id))
            m_before.insert(id, boltStatus(db, *s).state);
}

QStringList StatusWatch::worsened() const
{
    QStringList lines;
    const SensorStore sensors(m_db);
    for (const QString& id : m_ids) {
        const auto before = m_before.constFind(id);
        const std::optional<Sensor> s = sensors.sensor(id);
        if (before == m_before.constEnd() || !s)
            continue;
        const BoltState now = boltStatus(m_db, *s).state;
        if (isWorsening(*before, now))
            lines << QStringLiteral("Sensor ") + id + QStringLiteral(" is now ") + boltStateText(now)
                         + QStringLiteral(" (was ") + boltStateText(*before) + QStringLiteral(").");
    }
    return lines;
}

} // namespace rv
