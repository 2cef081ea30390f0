#include "exchange/domain/ExchangeNames.h"

namespace rv {

namespace {
QString dayText(const QDate& day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}
} // namespace

QString backupFileName(const QDate& day)
{
    return kBackupFolder + dayText(day) + QStringLiteral(".mdb");
}

QString compactionCopyName(const QString& fileName)
{
    return QStringLiteral("Copy_") + fileName;
}

QString downloadFileName(const QString& instrumentId)
{
    return QStringLiteral("QX") + instrumentId + QStringLiteral(".txt");
}

QString archiveFileName(const QString& instrumentId, const QDate& day, int number)
{
    const QString suffix = number > 1 ? QLatin1Char('_') + QString::number(number) : QString();
    return QStringLiteral("QX") + instrumentId + QLatin1Char('_') + dayText(day) + suffix + QStringLiteral(".txt");
}

} // namespace rv
