// Arbitrary text through the number conversions: the leading number, the whole-text test, the
// forms' format patterns, the mark interval and the stored channel forms.
#include "base/Formats.h"
#include "exchange/domain/ReadoutDate.h"
#include "readings/domain/Validation.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace rv;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double lead = leadingNumber(text);
    const bool numeric = isNumeric(text);
    (void)plainNumber(lead);
    // A number the whole text is, is also its own leading number.
    if (numeric && std::isfinite(lead)) {
        const double whole = text.trimmed().toDouble();
        if (std::isfinite(whole) && whole != lead && !(std::abs(whole - lead) <= 1e-12 * std::abs(whole)))
            std::abort();
    }
    for (const char* pattern : {"###0.0#", "##0.0#", "##0.0", "##0.00"}) {
        const QString formatted = formatNumber(text, QString::fromLatin1(pattern));
        if (!numeric && formatted != text)
            std::abort(); // what is not a number comes back as it was
        if (numeric && !isNumeric(formatted) && !formatted.isEmpty())
            std::abort(); // a formatted number is still one
    }
    (void)markInterval(text);
    (void)channelValueText(text);
    (void)temperatureValueText(text);
    ReadingBounds bounds = ReadingBounds::fromTexts(text, text, text, text, text, text);
    (void)boxError(0, text, bounds);
    (void)boxError(1, text, bounds);
    return 0;
}
