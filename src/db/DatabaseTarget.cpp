#include "db/DatabaseTarget.h"

#include "db/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <libpq-fe.h>
#include <memory>

namespace rv {

namespace {

constexpr int kCannotOpen = 14; // as SQLite's "unable to open database file"

bool isSecret(const PQconninfoOption& o)
{
    const QByteArray key(o.keyword);
    return (o.dispchar && o.dispchar[0] == '*') || key == "password" || key == "sslpassword";
}

QString encoded(const QString& value, const QByteArray& keep = {})
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, keep));
}

} // namespace

QString withoutPassword(QString text, const QString& password)
{
    if (password.isEmpty())
        return text;
    static const QString kHidden = QStringLiteral("***");
    text.replace(password, kHidden);
    const QString enc = encoded(password);
    if (enc != password)
        text.replace(enc, kHidden, Qt::CaseInsensitive);
    return text;
}

DatabaseTarget DatabaseTarget::sqliteFile(const QString& path)
{
    DatabaseTarget t;
    t.m_engine = Engine::Sqlite;
    t.m_setting = path;
    t.m_display = QDir::toNativeSeparators(path);
    return t;
}

DatabaseTarget DatabaseTarget::server(const QString& setting)
{
    const QString text = setting.trimmed();
    const bool url = text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
                     || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
    if (!url && !text.contains(QLatin1Char('=')))
        throw RvError(kCannotOpen, QStringLiteral("The database setting is neither a postgresql:// address nor "
                                                  "key=value settings of a PostgreSQL connection."));
    char* error = nullptr;
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(PQconninfoParse(utf8.constData(), &error),
                                                                          PQconninfoFree);
    if (!options) {
        QString why = error ? QString::fromUtf8(error).trimmed() : QString();
        PQfreemem(error);
        // libpq quotes the part it could not read, which may be a password.
        const bool mayHoldPassword = text.contains(QLatin1String("password"), Qt::CaseInsensitive)
                                     || (url && text.section(QLatin1Char('@'), 0, 0).count(QLatin1Char(':')) > 1);
        throw RvError(kCannotOpen, QStringLiteral("The PostgreSQL database setting cannot be read")
                                       + (why.isEmpty() || mayHoldPassword ? QString() : QStringLiteral(": ") + why)
                                       + QLatin1Char('.'));
    }
    DatabaseTarget t;
    t.m_engine = Engine::Postgres;
    t.m_setting = text;
    QString user, host, port, dbname;
    QStringList rest;
    for (const PQconninfoOption* o = options.get(); o->keyword; ++o) {
        if (!o->val)
            continue;
        const QByteArray key(o->keyword);
        const QString value = QString::fromUtf8(o->val);
        if (key == "password")
            t.m_password = value;
        if (isSecret(*o))
            continue;
        if (key == "user")
            user = value;
        else if (key == "host")
            host = value;
        else if (key == "port")
            port = value;
        else if (key == "dbname")
            dbname = value;
        else
            rest << QString::fromLatin1(key) + QLatin1Char('=') + encoded(value);
    }
    // A list of hosts or ports does not fit the address part: it goes with the other settings.
    if (host.contains(QLatin1Char(',')) || port.contains(QLatin1Char(','))) {
        if (!host.isEmpty())
            rest.prepend(QStringLiteral("host=") + encoded(host, ","));
        if (!port.isEmpty())
            rest.insert(host.isEmpty() ? 0 : 1, QStringLiteral("port=") + encoded(port, ","));
        host.clear();
        port.clear();
    }
    QString shown = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        shown += encoded(user) + QLatin1Char('@');
    if (host.contains(QLatin1Char(':')) && !host.contains(QLatin1Char('/')))
        shown += QLatin1Char('[') + host + QLatin1Char(']');
    else
        shown += encoded(host);
    if (!port.isEmpty())
        shown += QLatin1Char(':') + encoded(port);
    shown += QLatin1Char('/') + encoded(dbname);
    if (!rest.isEmpty())
        shown += QLatin1Char('?') + rest.join(QLatin1Char('&'));
    t.m_display = withoutPassword(shown, t.m_password);
    return t;
}

DatabaseTarget DatabaseTarget::choose(const QString& option, const QString& environment, const QString& dataDir,
                                      const QString& sqlitePath)
{
    if (!option.trimmed().isEmpty())
        return server(option);
    if (!environment.trimmed().isEmpty())
        return server(environment);
    const QString confPath = QDir(dataDir).filePath(QString::fromLatin1(kConfFileName));
    if (!QFileInfo::exists(confPath))
        return sqliteFile(sqlitePath);
    QFile conf(confPath);
    if (!conf.open(QIODevice::ReadOnly | QIODevice::Text))
        throw RvError(kCannotOpen, QStringLiteral("%1 cannot be read: %2")
                                       .arg(QDir::toNativeSeparators(confPath), conf.errorString()));
    while (!conf.atEnd()) {
        const QString line = QString::fromUtf8(conf.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        try {
            return server(line);
        } catch (const RvError& e) {
            throw RvError(e.number, QDir::toNativeSeparators(confPath) + QStringLiteral(": ") + e.description);
        }
    }
    return sqliteFile(sqlitePath);
}

DatabaseTarget DatabaseTarget::choose(const QString& option, const QString& dataDir, const QString& sqlitePath)
{
    return choose(option, qEnvironmentVariable("ROCKVISTA_DATABASE"), dataDir, sqlitePath);
}

} // namespace rv
