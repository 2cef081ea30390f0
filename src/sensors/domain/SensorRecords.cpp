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
    const QString family = typeRow.text(QStringLiteral("Family"));
    const QVariant channels = typeRow.value(QStringLiteral("NumChannels"));
    const QString model = typeRow.text(QStringLiteral("Model"));
    RecordSet& r = registerSet;
    r.addNew();
    r.setValue(QStringLiteral("InstrumentID"), number.id);
    r.setValue(QStringLiteral("Family"), family);
    r.setValue(QStringLiteral("numgauges"), channels);
    r.setValue(QStringLiteral("Model"), model);
    r.setValue(QStringLiteral("SensorType"), number.typeCode);
    r.setValue(QStringLiteral("DateID"), number.dateCode);
    r.setValue(QStringLiteral("TypeID"), number.typeCode);
    r.setValue(QStringLiteral("SensorNo"), number.serial);
    r.setValue(QStringLiteral("InstallDate"), today.toString(QStringLiteral("yyyy/MM/dd")));
    r.setValue(QStringLiteral("Destroyed"), QStringLiteral("No"));
    r.setValue(QStringLiteral("HeadLocation"), true);
    r.setValue(QStringLiteral("LengthofCable"), 0);
    r.update();
}

void addNetworkRow(Database& db, const QString& instrumentId)
{
    db.exec(QStringLiteral("INSERT INTO NetworkConfig (SensorID, MasterID, SlaveID, SlotID, TimeConfig) "
                           "VALUES (?, 'NA', 'NA', 'NA', 24)"),
            {instrumentId});
}

QString deleteCurrentSensor(Database& db, RecordSet& registerSet)
{
    QString id;
    ignoreErrors([&] { id = registerSet.text(QStringLiteral("InstrumentID")); });
    // One transaction: an interrupted deletion leaves the sensor whole rather than half removed.
    std::unique_ptr<Transaction> tx;
    ignoreErrors([&] { tx = std::make_unique<Transaction>(db); });
    if (!id.isEmpty()) {
        ignoreErrors([&] { dropReadingTable(db, id); });
        ignoreErrors([&] {
            // The first network row of that number, as a forward search from the first row finds it.
            db.exec(QStringLiteral("DELETE FROM NetworkConfig WHERE rowid = (SELECT rowid FROM NetworkConfig "
                                   "WHERE SensorID = ? ORDER BY SensorID, rowid LIMIT 1)"),
                    {id});
        });
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
    const int col = registerSet.fieldIndex(QStringLiteral("InstrumentID"));
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
