#include "charts/domain/Preparation.h"

#include "charts/domain/Loads.h"
#include "charts/domain/Zeroing.h"

#include <cmath>

namespace rv {

namespace {

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

double nanIfNull(const std::optional<double>& v) { return v ? *v : qQNaN(); }
std::optional<double> nullIfNan(double v) { return std::isnan(v) ? std::nullopt : std::optional<double>(v); }

std::array<double, Reading::kChannels> offsetsOf(const std::array<double, Reading::kChannels>& zeroChannels)
{
    std::array<double, Reading::kChannels> offsets{};
    for (size_t i = 0; i < offsets.size(); ++i)
        offsets[i] = std::isnan(zeroChannels[i]) ? 0.0 : zeroChannels[i];
    return offsets;
}

// Computes a reading's zeroed channels, temperature and (unless they fail) loads in place;
// true when any of them differs from what was stored. Failed loads stay as stored.
bool computeRow(PassRow& row, const std::array<double, Reading::kChannels>& offsets, double k, bool loadsFail)
{
    bool changed = false;
    for (size_t i = 0; i < offsets.size(); ++i) {
        const double ch = row.channels[i];
        const double z = std::isnan(ch) ? 0.0 : decimalValue(ch - offsets[i]);
        changed = changed || !same(row.zeroed[i], z);
        row.zeroed[i] = z;
    }
    const double temp = std::isnan(row.temperature) ? 0.0 : row.temperature;
    changed = changed || !same(row.numTemp, temp);
    row.numTemp = temp;
    if (loadsFail) {
        // The row keeps its stored loads and is still written with its fresh strains.
        row.writeLoads = false;
        return changed;
    }
    Strains strains;
    for (int g = 1; g <= 6; ++g)
        strains[size_t(g)] = row.zeroed[size_t(g - 1)];
    const Loads l = computeLoads(strains, k);
    const std::array<std::optional<double>, Reading::kLoads> loads{l.load1, l.load2, l.load3, l.load5};
    for (size_t i = 0; i < loads.size(); ++i) {
        const double nv = nanIfNull(loads[i]);
        changed = changed || !same(row.loads[i], nv);
        row.loads[i] = nv;
    }
    return changed;
}

} // namespace

PassOutcome preparePass(ReadingColumns& c, double k)
{
    std::array<double, Reading::kChannels> zero{};
    for (int i = 0; i < Reading::kChannels; ++i)
        zero[size_t(i)] = c.channels[i].value(0, qQNaN());
    return preparePass(c, k, zero);
}

PassOutcome storedPass(ReadingStore& store, double k, PassRun* run)
{
    PassOutcome out;
    bool loadsFail = false;
    try {
        loadFactor(k);
    } catch (const RvError& e) {
        out.loadError = e;
        loadsFail = true;
    }
    std::array<double, Reading::kChannels> offsets{};
    qint64 zeroRowid = -1;
    const PassRun r = store.refreshComputed(k, [&](PassRow& row, const PassBasis& basis) {
        if (basis.zeroRowid != zeroRowid) {
            zeroRowid = basis.zeroRowid;
            offsets = offsetsOf(basis.zeroChannels);
        }
        return computeRow(row, offsets, k, loadsFail);
    });
    if (run)
        *run = r;
    // A k factor that gives no loads leaves every marked reading without new ones, however few
    // this pass computed.
    if (loadsFail)
        out.loadFailures = store.markedCount();
    return out;
}

PassOutcome preparePass(ReadingColumns& c, double k, const std::array<double, Reading::kChannels>& zeroChannels)
{
    PassOutcome out;
    const int n = c.size();
    if (n == 0)
        return out;
    const std::array<double, Reading::kChannels> offsets = offsetsOf(zeroChannels);
    // A k factor that gives no loads fails every row alike: judged once, not once per row.
    try {
        loadFactor(k);
    } catch (const RvError& e) {
        out.loadError = e;
    }
    PassRow row;
    for (int r = 0; r < n; ++r) {
        row.rowid = c.rowids[r];
        row.temperature = c.temperatures[r];
        for (int i = 0; i < Reading::kChannels; ++i) {
            row.channels[size_t(i)] = c.channels[i][r];
            row.zeroed[size_t(i)] = c.zeroed[i][r];
        }
        row.numTemp = c.numTemps[r];
        for (int i = 0; i < Reading::kLoads; ++i)
            row.loads[size_t(i)] = c.loads[i][r];
        row.writeLoads = true;
        const bool changed = computeRow(row, offsets, k, out.loadError.has_value());
        if (out.loadError)
            ++out.loadFailures;
        if (!changed)
            continue;
        ComputedValues v;
        v.rowid = row.rowid;
        for (int i = 0; i < Reading::kChannels; ++i)
            c.zeroed[i][r] = *(v.zeroed[size_t(i)] = row.zeroed[size_t(i)]);
        c.numTemps[r] = *(v.numTemp = row.numTemp);
        v.writeLoads = row.writeLoads;
        for (int i = 0; i < Reading::kLoads; ++i) {
            v.loads[size_t(i)] = nullIfNan(row.loads[size_t(i)]);
            c.loads[i][r] = row.loads[size_t(i)];
        }
        out.changed.append(v);
    }
    return out;
}

} // namespace rv
