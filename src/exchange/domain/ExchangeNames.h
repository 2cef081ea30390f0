#pragma once
// The file and folder names of backups, the compaction copy and the readout archive.
#include <QDate>
#include <QString>

namespace rv {

inline const QString kBackupFolder = QStringLiteral("gSTAYbackup");
inline const QString kManualFileName = QStringLiteral("RockvistaManual.pdf");
// The maker's web site, in a domain reserved for examples until the real address is known.
inline const QString kWebAddress = QStringLiteral("https://www.kelderan.example/rockvista");

// "gSTAYbackup2011-03-27.mdb": one backup per calendar day.
QString backupFileName(const QDate& day);
// "Copy_RockvistagSTAY.mdb"
QString compactionCopyName(const QString& fileName);
// The readout unit's download file of a sensor, "QX201175001.txt", and its archived name
// "QX201175001_2011-03-27.txt"; the day's later archives are "..._2011-03-27_2.txt", "_3" ...
QString downloadFileName(const QString& instrumentId);
QString archiveFileName(const QString& instrumentId, const QDate& day, int number = 1);

} // namespace rv
