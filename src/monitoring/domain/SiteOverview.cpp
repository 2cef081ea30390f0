#include "monitoring/domain/SiteOverview.h"

#include "base/Formats.h"
#include "readings/domain/ReadingStore.h"

#include <algorithm>
#include <numeric>

namespace rv {

QVector<OverviewRow> siteOverview(Database& db, const QDate& today)
{
    const QVector<Sensor> sensors = SensorStore(db).sensors();
    QStringList ids;
    ids.reserve(sensors.size());
    for (const Sensor& s : sensors)
        ids << s.instrumentId;
    const QVector<ReadingSummary> summaries = ReadingStore::summaries(db, ids);
    QVector<OverviewRow> rows;
    rows.reserve(sensors.size());
    for (int i = 0; i < sensors.size(); ++i) {
        const Sensor& s = sensors[i];
        const ReadingSummary& sum = summaries[i];
        OverviewRow r;
        r.instrumentId = s.instrumentId;
        r.level = s.level;
        r.location = s.location;
        r.readings = sum.count;
        if (sum.latest) {
            r.lastReading = sum.latest->moment;
            r.daysSince = int(sum.latest->moment.date().daysTo(today));
        }
        r.status = classifyBolt(s, sum.lastMarked ? sum.firstMarked : std::nullopt, sum.lastMarked);
        rows.append(r);
    }
    return rows;
}

QStringList overviewHeadings()
{
    return {QStringLiteral("Instrument ID"), QStringLiteral("Level"), QStringLiteral("Location"),
            QStringLiteral("Readings"), QStringLiteral("Last Reading"), QStringLiteral("Days Since"),
            QStringLiteral("Long Strain (ustrain)"), QStringLiteral("Short Strain (ustrain)"),
            QStringLiteral("Load (tons)"), QStringLiteral("Status")};
}

namespace {

QString figure(const std::optional<double>& v)
{
    return v ? formatNumber(QString::number(*v, 'g', 15), QStringLiteral("##0.0")) : QString();
}

// A number a column sorts by; NaN when the row has none.
double sortValue(const OverviewRow& r, int column)
{
    const auto opt = [](const std::optional<double>& v) { return v ? *v : qQNaN(); };
    switch (column) {
    case ColReadings: return r.readings;
    case ColLast: return r.lastReading.isValid() ? double(r.lastReading.toSecsSinceEpoch()) : qQNaN();
    case ColDays: return r.daysSince >= 0 ? r.daysSince : qQNaN();
    case ColLong: return opt(r.status.longStrain);
    case ColShort: return opt(r.status.shortStrain);
    case ColLoad: return opt(r.status.load);
    case ColStatus: return int(r.status.state);
    default: return qQNaN();
    }
}

bool numeric(int column) { return column >= ColReadings; }

} // namespace

QString overviewCell(const OverviewRow& r, int column)
{
    switch (column) {
    case ColId: return r.instrumentId;
    case ColLevel: return r.level;
    case ColLocation: return r.location;
    case ColReadings: return QString::number(r.readings);
    case ColLast: return r.lastReading.isValid() ? r.lastReading.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QString();
    case ColDays: return r.daysSince >= 0 ? QString::number(r.daysSince) : QString();
    case ColLong: return figure(r.status.longStrain);
    case ColShort: return figure(r.status.shortStrain);
    case ColLoad: return figure(r.status.load);
    case ColStatus: return r.status.text();
    }
    return {};
}

void sortOverview(const QVector<OverviewRow>& rows, QVector<int>& order, int column, bool ascending)
{
    if (numeric(column)) {
        QVector<double> key(rows.size());
        for (int i = 0; i < rows.size(); ++i)
            key[i] = sortValue(rows[i], column);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const double x = key[a], y = key[b];
            if (std::isnan(x) || std::isnan(y))
                return !std::isnan(x) && std::isnan(y); // the unknown ones last either way
            return ascending ? x < y : y < x;
        });
        return;
    }
    QStringList key;
    key.reserve(rows.size());
    for (const OverviewRow& r : rows)
        key << overviewCell(r, column);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = QString::compare(key[a], key[b], Qt::CaseInsensitive);
        return ascending ? c < 0 : c > 0;
    });
}

void sortOverview(QVector<OverviewRow>& rows, int column, bool ascending)
{
    QVector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    sortOverview(rows, order, column, ascending);
    QVector<OverviewRow> sorted;
    sorted.reserve(rows.size());
    for (const int i : order)
        sorted.append(rows[i]);
    rows = std::move(sorted);
}

} // namespace rv
