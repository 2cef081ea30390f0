#include "sensors/domain/SensorStore.h"

#include "base/Formats.h"

namespace rv {

namespace {

const char* const kSensorColumns =
    "InstrumentID, DateID, TypeID, SensorType, SensorNo, Family, Model, numgauges, boltkfactor, LengthLongG, "
    "LengthShortG, ElasticLimit, PerfectPlasticLimit, UltimateStrength, Elongation, PaddleLocation1, "
    "PaddleLocation2, PaddleLocation3, Level, Location, Borehole, InstallDate, InstallBy, Purpose, Notes, "
    "Destroyed, DestructionDate";

const char* const kTypeColumns =
    "SensorType, Family, Model, NumChannels, TempChannel, Temp, lblNotes, templow, temphigh, lowval, highval";

// Numbers as the form reads them: the leading number of the text, 0 for none.
double numberOf(const QVariant& v)
{
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong)
        return v.toDouble();
    return leadingNumber(v.toString());
}

// A yes/no field: "0", "", "False" and "No" are false.
bool yesNo(const QVariant& v)
{
    const QString t = v.toString().trimmed().toLower();
    return !(t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no"));
}

} // namespace

QVector<Sensor> SensorStore::selectSensors(const QString& where, const QVariantList& params) const
{
    QString sql = QStringLiteral("SELECT ") + QLatin1String(kSensorColumns) + QStringLiteral(" FROM Sensors");
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" ORDER BY InstrumentID");
    QVector<Sensor> out;
    // Stepped row by row: a register of thousands is not held twice, as rows and as sensors.
    Statement st = m_db.prepare(sql);
    st.bindAll(params);
    while (st.step()) {
        Sensor s;
        int c = 0;
        const auto text = [&] { return st.column(c++).toString(); };
        s.instrumentId = text();
        s.dateId = text();
        s.typeId = text();
        s.sensorType = text();
        s.sensorNo = text();
        s.family = text();
        s.model = text();
        s.numGauges = static_cast<int>(numberOf(st.column(c++)));
        const QVariant k = st.column(c++);
        if (!k.isNull() && !k.toString().trimmed().isEmpty())
            s.boltkfactor = numberOf(k);
        s.lengthLong = text();
        s.lengthShort = text();
        s.elasticLimit = text();
        s.perfectPlasticLimit = text();
        s.ultimateStrength = text();
        s.elongation = text();
        for (QString& p : s.paddleLocation)
            p = text();
        s.level = text();
        s.location = text();
        s.borehole = text();
        s.installDate = text();
        s.installBy = text();
        s.purpose = text();
        s.notes = text();
        s.destroyed = text() == QLatin1String("Yes");
        s.destructionDate = text();
        out.append(s);
    }
    st.reset();
    return out;
}

QStringList SensorStore::instrumentIds() const
{
    QStringList ids;
    for (const QVariantList& row : m_db.query(QStringLiteral("SELECT InstrumentID FROM Sensors ORDER BY InstrumentID")))
        ids << row.value(0).toString();
    return ids;
}

QVector<Sensor> SensorStore::sensors() const
{
    return selectSensors({}, {});
}

std::optional<Sensor> SensorStore::sensor(const QString& instrumentId) const
{
    const QVector<Sensor> s = selectSensors(QStringLiteral("InstrumentID = ?"), {instrumentId});
    return s.isEmpty() ? std::nullopt : std::optional<Sensor>(s.first());
}

bool SensorStore::exists(const QString& instrumentId) const
{
    return !m_db.query(QStringLiteral("SELECT 1 FROM Sensors WHERE InstrumentID = ? LIMIT 1"), {instrumentId}).isEmpty();
}

QVector<SensorType> SensorStore::selectTypes(const QString& where, const QVariantList& params) const
{
    QString sql = QStringLiteral("SELECT ") + QLatin1String(kTypeColumns) + QStringLiteral(" FROM Configuration");
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" ORDER BY SensorType");
    QVector<SensorType> out;
    for (const QVariantList& row : m_db.query(sql, params)) {
        SensorType t;
        t.code = row.value(0).toString();
        t.family = row.value(1).toString();
        t.model = row.value(2).toString();
        t.numChannels = static_cast<int>(numberOf(row.value(3)));
        t.tempChannel = yesNo(row.value(4));
        t.tempCaption = row.value(5).toString();
        t.notesCaption = row.value(6).toString();
        t.tempLow = numberOf(row.value(7));
        t.tempHigh = numberOf(row.value(8));
        t.low = numberOf(row.value(9));
        t.high = numberOf(row.value(10));
        out.append(t);
    }
    return out;
}

QVector<SensorType> SensorStore::types() const
{
    return selectTypes({}, {});
}

std::optional<SensorType> SensorStore::type(const QString& code) const
{
    const QVector<SensorType> t = selectTypes(QStringLiteral("SensorType = ?"), {code});
    return t.isEmpty() ? std::nullopt : std::optional<SensorType>(t.first());
}

QString SensorStore::highestInstrumentId() const
{
    const QVector<QVariantList> last = m_db.query(QStringLiteral("SELECT MAX(InstrumentID) FROM Sensors"));
    return last.isEmpty() ? QString() : last.first().value(0).toString();
}

int SensorStore::sensorCount() const
{
    return m_db.query(QStringLiteral("SELECT count(*) FROM Sensors")).value(0).value(0).toInt();
}

void SensorStore::addNetworkRow(const QString& instrumentId)
{
    m_db.exec(QStringLiteral("INSERT INTO NetworkConfig (SensorID, MasterID, SlaveID, SlotID, TimeConfig) "
                             "VALUES (?, 'NA', 'NA', 'NA', 24)"),
              {instrumentId});
}

void SensorStore::removeNetworkRow(const QString& instrumentId)
{
    m_db.exec(QStringLiteral("DELETE FROM NetworkConfig WHERE rowid = (SELECT rowid FROM NetworkConfig "
                             "WHERE SensorID = ? ORDER BY SensorID, rowid LIMIT 1)"),
              {instrumentId});
}

std::unique_ptr<RecordSet> SensorStore::openRegister() const
{
    return std::make_unique<RecordSet>(m_db, QStringLiteral("SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;"));
}

std::unique_ptr<RecordSet> SensorStore::openTypes() const
{
    return std::make_unique<RecordSet>(m_db, QStringLiteral("SELECT * FROM Configuration ORDER BY SensorType"));
}

std::unique_ptr<RecordSet> SensorStore::openPrefs() const
{
    return std::make_unique<RecordSet>(m_db, QStringLiteral("SELECT Prefs.* FROM Prefs;"));
}

} // namespace rv
