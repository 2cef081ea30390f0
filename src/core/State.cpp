#include "core/State.h"

#include <QFile>
#include <QLocale>
#include <QTextStream>

namespace rv {

void AppState::writeToLog(const QString& text) const
{
    QFile file(path(QStringLiteral("gSTAY.txt")));
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    const QDateTime now = seams.clock ? seams.clock->now() : QDateTime::currentDateTime();
    out << '\n' << QString(89, QLatin1Char('*')) << '\n'
        << now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) << " - " << text << '\n';
}

void AppState::report(const RvError& error, const char* label) const
{
    const QString text = errorReport(error, label);
    if (errorSink)
        errorSink->report(text);
    else
        writeToLog(text);
}

const char* iconName(Icon icon)
{
    switch (icon) {
    case Icon::None: return "None";
    case Icon::Information: return "Information";
    case Icon::Exclamation: return "Exclamation";
    case Icon::Warning: return "Warning";
    case Icon::Critical: return "Critical";
    case Icon::Question: return "Question";
    }
    return "None";
}

} // namespace rv
