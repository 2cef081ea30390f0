#pragma once
// The sensor register (Sensors) and the type table (Configuration) as typed values: their SQL
// and column names live here. The form keeps the register's record set for its cursor; the
// charts, the import and the command-line tools read through this store.
#include "db/Database.h"

#include <QVector>
#include <optional>

namespace rv {

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

private:
    QVector<Sensor> selectSensors(const QString& where, const QVariantList& params) const;
    QVector<SensorType> selectTypes(const QString& where, const QVariantList& params) const;

    Database& m_db;
};

} // namespace rv
