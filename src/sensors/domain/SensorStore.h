#pragma once
// The sensor register (Sensors), the type table (Configuration), the preferences (Prefs) and the
// logger network (NetworkConfig): their SQL and column names live here. The form keeps the
// register's record set for its cursor and names its fields by the constants below; the charts,
// the import and the command-line tools read through this store.
#include "db/Database.h"
#include "db/RecordSet.h"

#include <QVector>
#include <memory>
#include <optional>

namespace rv {

// Column names of Sensors, for the register's record set (the form reads and writes by name).
namespace sensorField {
inline const QString instrumentId = QStringLiteral("InstrumentID");
inline const QString dateId = QStringLiteral("DateID");
inline const QString typeId = QStringLiteral("TypeID");
inline const QString sensorType = QStringLiteral("SensorType");
inline const QString sensorNo = QStringLiteral("SensorNo");
inline const QString family = QStringLiteral("Family");
inline const QString model = QStringLiteral("Model");
inline const QString numGauges = QStringLiteral("numgauges");
inline const QString lengthLongG = QStringLiteral("LengthLongG");
inline const QString lengthShortG = QStringLiteral("LengthShortG");
inline const QString boltkfactor = QStringLiteral("boltkfactor");
inline const QString elasticLimit = QStringLiteral("ElasticLimit");
inline const QString perfectPlasticLimit = QStringLiteral("PerfectPlasticLimit");
inline const QString ultimateStrength = QStringLiteral("UltimateStrength");
inline const QString elongation = QStringLiteral("Elongation");
inline const QString paddleLocation1 = QStringLiteral("PaddleLocation1");
inline const QString paddleLocation2 = QStringLiteral("PaddleLocation2");
inline const QString paddleLocation3 = QStringLiteral("PaddleLocation3");
inline const QString level = QStringLiteral("Level");
inline const QString location = QStringLiteral("Location");
inline const QString borehole = QStringLiteral("Borehole");
inline const QString installDate = QStringLiteral("InstallDate");
inline const QString installBy = QStringLiteral("InstallBy");
inline const QString purpose = QStringLiteral("Purpose");
inline const QString notes = QStringLiteral("Notes");
inline const QString destroyed = QStringLiteral("Destroyed");
inline const QString destructionDate = QStringLiteral("DestructionDate");
inline const QString headLocation = QStringLiteral("HeadLocation");
inline const QString lengthofCable = QStringLiteral("LengthofCable");
} // namespace sensorField

// Column names of Configuration, for the type table's record set.
namespace typeField {
inline const QString sensorType = QStringLiteral("SensorType");
inline const QString family = QStringLiteral("Family");
inline const QString model = QStringLiteral("Model");
inline const QString numChannels = QStringLiteral("NumChannels");
inline const QString tempChannel = QStringLiteral("TempChannel");
inline const QString temp = QStringLiteral("Temp");
inline const QString lblNotes = QStringLiteral("lblNotes");
inline const QString lowval = QStringLiteral("lowval");
inline const QString highval = QStringLiteral("highval");
inline const QString templow = QStringLiteral("templow");
inline const QString temphigh = QStringLiteral("temphigh");
} // namespace typeField

// Column names of Prefs (one row).
namespace prefsField {
inline const QString mineId = QStringLiteral("MineID");
inline const QString maxY = QStringLiteral("MaxY");
inline const QString minY = QStringLiteral("MinY");
inline const QString minX = QStringLiteral("MinX");
inline const QString maxX = QStringLiteral("MaxX");
} // namespace prefsField

// One row of Configuration.
struct SensorType {
    QString code;          // SensorType, two digits
    QString family, model;
    int numChannels = 0;   // NumChannels
    bool tempChannel = false;
    QString tempCaption;   // Temp
    QString notesCaption;  // lblNotes
    double tempLow = 0, tempHigh = 0, low = 0, high = 0; // templow, temphigh, lowval, highval
};

// One row of Sensors. Fields the form stores as formatted text stay text.
struct Sensor {
    QString instrumentId;  // also the name of the reading table
    QString dateId, typeId, sensorType, sensorNo;
    QString family, model;
    int numGauges = 0;
    std::optional<double> boltkfactor;
    QString lengthLong, lengthShort;                        // LengthLongG, LengthShortG
    QString elasticLimit, perfectPlasticLimit, ultimateStrength, elongation;
    QString paddleLocation[3];
    QString level, location, borehole, installDate, installBy, purpose, notes;
    bool destroyed = false; // Destroyed is "Yes"
    QString destructionDate;
};

class SensorStore {
public:
    explicit SensorStore(Database& db) : m_db(db) {}

    // The register in InstrumentID order.
    QStringList instrumentIds() const;
    QVector<Sensor> sensors() const;
    std::optional<Sensor> sensor(const QString& instrumentId) const;
    bool exists(const QString& instrumentId) const;

    // The type table in SensorType order, and one type by its code.
    QVector<SensorType> types() const;
    std::optional<SensorType> type(const QString& code) const;

    // The highest number of the register, whatever its filter shows ("" when empty).
    QString highestInstrumentId() const;
    int sensorCount() const;

    // The sensor's row in the logger network: not yet placed.
    void addNetworkRow(const QString& instrumentId);
    // Removes the first network row of that number, as a forward search from the first row finds it.
    void removeNetworkRow(const QString& instrumentId);

    // The long-lived record sets: the register in InstrumentID order, the type table in
    // SensorType order, the one row of Prefs.
    std::unique_ptr<RecordSet> openRegister() const;
    std::unique_ptr<RecordSet> openTypes() const;
    std::unique_ptr<RecordSet> openPrefs() const;
    // The register's row of that rowid as stored now, held until the transaction ends; null when gone.
    std::unique_ptr<RecordSet> lockedRow(qint64 rowid) const { return rv::lockedRow(m_db, QStringLiteral("Sensors"), rowid); }

private:
    QVector<Sensor> selectSensors(const QString& where, const QVariantList& params) const;
    QVector<SensorType> selectTypes(const QString& where, const QVariantList& params) const;

    Database& m_db;
};

} // namespace rv
