#pragma once
// Which database the program works on: the SQLite file of the data folder (the default), or a
// PostgreSQL database named by a URL (postgresql://user@host/dbname?sslmode=...) or by libpq's
// key=value settings, which pass through to libpq as written. The password, when the setting
// holds one, is for the connection alone: display() never shows it.
#include <QString>

namespace rv {

class DatabaseTarget {
public:
    enum class Engine { Sqlite, Postgres };

    static DatabaseTarget sqliteFile(const QString& path);
    // A server setting; throws RvError (14) naming what is wrong, never quoting a password.
    static DatabaseTarget server(const QString& setting);
    // The first of: the --database option, the ROCKVISTA_DATABASE environment value, the first line
    // of database.conf in the data folder that is neither blank nor a # comment; else the file.
    // A database.conf that cannot be read or holds a bad setting throws: working on a private
    // file while the team works on the server would go unnoticed.
    static DatabaseTarget choose(const QString& option, const QString& environment, const QString& dataDir,
                                 const QString& sqlitePath);
    // As choose(), the environment read from ROCKVISTA_DATABASE.
    static DatabaseTarget choose(const QString& option, const QString& dataDir, const QString& sqlitePath);
    static constexpr const char* kConfFileName = "database.conf";

    Engine engine() const { return m_engine; }
    bool isServer() const { return m_engine == Engine::Postgres; }
    QString sqlitePath() const { return m_engine == Engine::Sqlite ? m_setting : QString(); }
    // For libpq only: the setting as given, password included.
    QString conninfo() const { return m_engine == Engine::Postgres ? m_setting : QString(); }
    // For logs, messages and the screen: the file's path, or the server's URL without a password.
    QString display() const { return m_display; }
    // The password the setting holds (empty when .pgpass or the environment supplies it): for
    // taking it out of what others say about the connection.
    QString password() const { return m_password; }

private:
    Engine m_engine = Engine::Sqlite;
    QString m_setting;
    QString m_display;
    QString m_password;
};

// text without any occurrence of the password (nor of its percent-encoded form).
QString withoutPassword(QString text, const QString& password);

} // namespace rv
