// Arbitrary bytes as a readout file: split it, read every line's date in the three layouts,
// compute the default marks and turn each line into a reading.
#include "exchange/domain/ReadoutDate.h"
#include "exchange/domain/ReadoutFile.h"
#include "exchange/domain/ReadoutReading.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace rv;
    ReadoutFile file;
    const auto status = file.parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (status != ReadoutFile::Status::Ok) {
        if (!file.isEmpty())
            std::abort(); // a refused file must leave nothing behind
        return 0;
    }
    const ReadoutSensor sensor{QStringLiteral("201175001"), QStringLiteral("75"), true};
    for (const auto layout : {DateLayout::YearFirst, DateLayout::DayFirst, DateLayout::MonthFirst}) {
        const QVector<char> marks = defaultMarks(file, 1 + static_cast<int>(size % 24), layout);
        if (marks.size() != file.lineCount())
            std::abort();
        for (int line = 0; line < file.lineCount() && line < 64; ++line) {
            const ReadoutMoment m = readReadoutDate(file.field(line, 0), layout);
            if (m.valid && (m.date().size() != 10 || m.time().size() != 8))
                std::abort();
            if (m.valid)
                (void)readoutKey(sensor.instrumentId, m);
            (void)readoutReading(file, line, sensor, layout);
        }
    }
    (void)file.field(-1, 0);
    (void)file.field(file.lineCount(), ReadoutFile::kColumns);
    return 0;
}
