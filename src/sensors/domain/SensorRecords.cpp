#include "sensors/domain/SensorRecords.h"

#include "db/Schema.h"
#include "sensors/domain/SensorStore.h"

#include <memory>

namespace rv {

bool sensorRowExists(Database& db, const QString& instrumentId)
{
    return SensorStore(db).exists(instrumentId);
}

void addSensorRow(RecordSet& registerSet, const RecordSet& typeRow, const SensorNumber& number, const QDate& today)
{
    const QString family = typeRow.text(typeField::family);
    const QVariant channels = typeRow.value(typeField::numChannels);
    const QString model = typeRow.text(typeField::model);
    RecordSet& r = registerSet;
    r.addNew();
    r.setValue(sensorField::instrumentId, number.id);
    r.setValue(sensorField::family, family);
    r.setValue(sensorField::numGauges, channels);
    r.setValue(sensorField::model, model);
    r.setValue(sensorField::sensorType, number.typeCode);
    r.setValue(sensorField::dateId, number.dateCode);
    r.setValue(sensorField::typeId, number.typeCode);
    r.setValue(sensorField::sensorNo, number.serial);
    r.setValue(sensorField::installDate, today.toString(QStringLiteral("yyyy/MM/dd")));
    r.setValue(sensorField::destroyed, QStringLiteral("No"));
    r.setValue(sensorField::headLocation, true);
    r.setValue(sensorField::lengthofCable, 0);
    r.update();
}

void addNetworkRow(Database& db, const QString& instrumentId)
{
    SensorStore(db).addNetworkRow(instrumentId);
}

QString deleteCurrentSensor(Database& db, RecordSet& registerSet)
{
    QString id;
    ignoreErrors([&] { id = registerSet.text(sensorField::instrumentId); });
    // One transaction: an interrupted deletion leaves the sensor whole rather than half removed.
    std::unique_ptr<Transaction> tx;
    ignoreErrors([&] { tx = std::make_unique<Transaction>(db); });
    if (!id.isEmpty()) {
        ignoreErrors([&] { dropReadingTable(db, id); });
        ignoreErrors([&] { SensorStore(db).removeNetworkRow(id); });
    }
    ignoreErrors([&] { registerSet.deleteCurrent(); });
    if (tx) {
        try {
            tx->commit();
        } catch (const std::exception&) {
            // Rolled back: the register must show the sensor the table still holds.
            tx.reset();
            ignoreErrors([&] { registerSet.requery(); });
            throw;
        }
    }
    return id;
}

QStringList instrumentIds(const RecordSet& registerSet)
{
    QStringList ids;
    const int col = registerSet.fieldIndex(sensorField::instrumentId);
    if (col < 0)
        return ids;
    const int n = registerSet.recordCount();
    ids.reserve(n);
    for (int row = 0; row < n; ++row)
        ids.append(registerSet.valueAt(row, col).toString());
    return ids;
}

int findPrefix(int count, const std::function<QString(int)>& entry, const QString& prefix)
{
    for (int k = 1; k <= count; ++k) {
        const int i = k % count;
        if (entry(i).startsWith(prefix, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace rv
