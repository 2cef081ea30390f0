#include "db/Errors.h"

#include <cstdio>

namespace rv {

QString errorReport(const RvError& error, const char* label)
{
    return QStringLiteral("Err #") + QString::number(error.number) + QStringLiteral(": ") + error.description
           + QString::fromUtf8(label);
}

void StandardErrorSink::report(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace rv
