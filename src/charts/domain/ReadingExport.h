#pragma once
// A sensor's readings as the export tool writes them: every reading in date order with the
// zero-corrected strains, temperature and loads of the charts' pass computed afresh.
#include "charts/domain/Preparation.h"

#include <QIODevice>
#include <QVariant>

namespace rv {

// The readings (FullDate order) with their computed columns replaced: the ones the charts draw
// (Plottemporal) get those the charts' pass gives with the k factor, the others none. When k
// gives no loads, every load is empty and loadError tells why.
QVector<Reading> withFreshComputation(QVector<Reading> readings, double k, std::optional<RvError>& loadError);

// The export's columns: DateTimeKey, DateTime (ISO 8601), ChannelT, Channel1-10, Plottemporal,
// Plotspatial, zero1-10, NumTemp, Load1, Load2, Load3, Load5.
int exportColumnCount();
QString exportHeader(int column);
// A cell: a text (numbers in plain "." decimals), a bool for the flags, Null when empty.
QVariant exportCell(const QString& key, const Reading& reading, int column);

// The readings as CSV (RFC 4180: header row, CRLF line ends, UTF-8, quotes only where a field
// needs them); keyOf gives each reading's DateTimeKey. False when the device refused a write.
bool writeCsv(QIODevice& out, const QVector<Reading>& readings, const std::function<QString(const Reading&)>& keyOf);
QString csvField(const QString& text);

} // namespace rv
