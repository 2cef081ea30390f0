#include "charts/domain/Preparation.h"

#include "charts/domain/Loads.h"
#include "charts/domain/Zeroing.h"

#include <cmath>

namespace rv {

namespace {

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

double nanIfNull(const std::optional<double>& v) { return v ? *v : qQNaN(); }
std::optional<double> nullIfNan(double v) { return std::isnan(v) ? std::nullopt : std::optional<double>(v); }

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
    const PassRun r = store.refreshComputed(k, [&](ReadingColumns& rows, const PassBasis& basis) {
        out = preparePass(rows, k, basis.zeroChannels);
        return out.changed;
    });
    if (run)
        *run = r;
    // A k factor that gives no loads leaves every marked reading without new ones, however few
    // this pass computed.
    try {
        loadFactor(k);
    } catch (const RvError& e) {
        out.loadError = e;
        out.loadFailures = store.markedCount();
    }
    return out;
}

PassOutcome preparePass(ReadingColumns& c, double k, const std::array<double, Reading::kChannels>& zeroChannels)
{
    PassOutcome out;
    const int n = c.size();
    if (n == 0)
        return out;
    std::array<double, Reading::kChannels> offsets{};
    for (int i = 0; i < Reading::kChannels; ++i) {
        const double o = zeroChannels[size_t(i)];
        offsets[i] = std::isnan(o) ? 0.0 : o;
    }
    // A k factor that gives no loads fails every row alike: judged once, not once per row.
    try {
        loadFactor(k);
    } catch (const RvError& e) {
        out.loadError = e;
    }
    for (int r = 0; r < n; ++r) {
        ComputedValues v;
        v.rowid = c.rowids[r];
        bool changed = false;
        for (int i = 0; i < Reading::kChannels; ++i) {
            const double ch = c.channels[i][r];
            const double z = std::isnan(ch) ? 0.0 : decimalValue(ch - offsets[i]);
            v.zeroed[i] = z;
            if (!same(c.zeroed[i][r], z)) {
                c.zeroed[i][r] = z;
                changed = true;
            }
        }
        const double t = c.temperatures[r];
        const double temp = std::isnan(t) ? 0.0 : t;
        v.numTemp = temp;
        if (!same(c.numTemps[r], temp)) {
            c.numTemps[r] = temp;
            changed = true;
        }

        if (out.loadError) {
            // The row keeps its stored loads and is still written with its fresh strains.
            v.writeLoads = false;
            for (int i = 0; i < Reading::kLoads; ++i)
                v.loads[i] = nullIfNan(c.loads[i][r]);
            ++out.loadFailures;
        } else {
            Strains strains;
            for (int g = 1; g <= 6; ++g)
                strains[g] = v.zeroed[g - 1];
            const Loads l = computeLoads(strains, k);
            const std::array<std::optional<double>, Reading::kLoads> loads{l.load1, l.load2, l.load3, l.load5};
            for (int i = 0; i < Reading::kLoads; ++i) {
                v.loads[i] = loads[i];
                const double nv = nanIfNull(loads[i]);
                if (!same(c.loads[i][r], nv)) {
                    c.loads[i][r] = nv;
                    changed = true;
                }
            }
        }
        if (changed)
            out.changed.append(v);
    }
    return out;
}

} // namespace rv
