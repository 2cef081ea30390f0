#include "charts/domain/ReadingExport.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace rv {

namespace {

constexpr int kKey = 0, kDateTime = 1, kTemperature = 2, kChannels = 3;
constexpr int kPlotTemporal = kChannels + Reading::kChannels, kPlotSpatial = kPlotTemporal + 1;
constexpr int kZeroed = kPlotSpatial + 1, kNumTemp = kZeroed + Reading::kChannels, kLoads = kNumTemp + 1;
constexpr int kColumnCount = kLoads + Reading::kLoads;

double nanIfNull(const OptDouble& v) { return v ? *v : qQNaN(); }
OptDouble nullIfNan(double v) { return std::isnan(v) ? std::nullopt : OptDouble(v); }

QVariant number(const OptDouble& v)
{
    // Fixed notation, as few digits as read back to the same double.
    return v ? QVariant(QString::number(*v, 'f', QLocale::FloatingPointShortest)) : QVariant();
}

} // namespace

QVector<Reading> withFreshComputation(QVector<Reading> readings, double k, std::optional<RvError>& loadError)
{
    // The charts' pass over the drawn readings, as columns; nothing is stored.
    ReadingColumns c;
    QVector<int> drawn;
    for (int i = 0; i < readings.size(); ++i) {
        Reading& r = readings[i];
        if (!r.plotTemporal) {
            r.zeroed.fill(std::nullopt);
            r.numTemp.reset();
            r.loads.fill(std::nullopt);
            continue;
        }
        drawn << i;
        c.rowids << r.rowid;
        c.moments << r.moment;
        c.temperatures << nanIfNull(r.temperature);
        for (int ch = 0; ch < Reading::kChannels; ++ch) {
            c.channels[ch] << nanIfNull(r.channels[ch]);
            c.zeroed[ch] << qQNaN();
        }
        c.numTemps << qQNaN();
        for (int l = 0; l < Reading::kLoads; ++l)
            c.loads[l] << qQNaN(); // with no loads computed, none is shown
    }
    const PassOutcome outcome = preparePass(c, k);
    loadError = outcome.loadError;
    for (int j = 0; j < drawn.size(); ++j) {
        Reading& r = readings[drawn[j]];
        for (int ch = 0; ch < Reading::kChannels; ++ch)
            r.zeroed[ch] = nullIfNan(c.zeroed[ch][j]);
        r.numTemp = nullIfNan(c.numTemps[j]);
        for (int l = 0; l < Reading::kLoads; ++l)
            r.loads[l] = nullIfNan(c.loads[l][j]);
    }
    return readings;
}

int exportColumnCount() { return kColumnCount; }

QString exportHeader(int column)
{
    // The table's own column names, but for the ISO moment, which no column holds.
    if (column == kKey)
        return readingField::dateTimeKey;
    if (column == kDateTime)
        return QStringLiteral("DateTime");
    if (column == kTemperature)
        return readingField::channelT;
    if (column < kPlotTemporal)
        return readingField::channel(column - kChannels + 1);
    if (column == kPlotTemporal)
        return readingField::plotTemporal;
    if (column == kPlotSpatial)
        return readingField::plotSpatial;
    if (column < kNumTemp)
        return readingField::zero(column - kZeroed + 1);
    if (column == kNumTemp)
        return readingField::numTemp;
    return readingField::load(column - kLoads);
}

QVariant exportCell(const QString& key, const Reading& r, int column)
{
    if (column == kKey)
        return key;
    if (column == kDateTime)
        return r.moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); // wall-clock: no offset
    if (column == kTemperature)
        return number(r.temperature);
    if (column < kPlotTemporal)
        return number(r.channels[column - kChannels]);
    if (column == kPlotTemporal)
        return r.plotTemporal;
    if (column == kPlotSpatial)
        return r.plotSpatial;
    if (column < kNumTemp)
        return number(r.zeroed[column - kZeroed]);
    if (column == kNumTemp)
        return number(r.numTemp);
    if (column < kColumnCount)
        return number(r.loads[column - kLoads]);
    return {};
}

QString csvField(const QString& text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    });
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool writeCsv(QIODevice& out, const QVector<Reading>& readings, const std::function<QString(const Reading&)>& keyOf)
{
    // Lines gather in one text written out in blocks: a million rows are a million lines.
    QString text;
    text.reserve(1 << 17);
    const auto endLine = [&](bool last) {
        text += QStringLiteral("\r\n");
        if (!last && text.size() < (1 << 16))
            return true;
        const QByteArray bytes = text.toUtf8();
        text.resize(0);
        return out.write(bytes) == bytes.size();
    };
    for (int c = 0; c < kColumnCount; ++c)
        text += (c ? QStringLiteral(",") : QString()) + csvField(exportHeader(c));
    if (!endLine(readings.isEmpty()))
        return false;
    for (int i = 0; i < readings.size(); ++i) {
        const Reading& r = readings[i];
        const QString key = keyOf(r);
        for (int c = 0; c < kColumnCount; ++c) {
            if (c)
                text += QLatin1Char(',');
            const QVariant v = exportCell(key, r, c);
            if (v.typeId() == QMetaType::Bool)
                text += v.toBool() ? QLatin1String("TRUE") : QLatin1String("FALSE");
            else
                text += csvField(v.toString());
        }
        if (!endLine(i + 1 == readings.size()))
            return false;
    }
    return true;
}

} // namespace rv
