#pragma once
// The supplied database with the sample sensors, for a store's tests that run on both engines: a
// SQLite file of a temporary folder, or (with ROCKVISTA_TEST_DATABASE, as the *.postgres ctests
// set it) a schema of its own on that server, dropped afterwards. Without the variable the server
// case is skipped, and those ctests fail on a skip.
#include "Support.h"
#include "db/DatabaseTarget.h"

#include <QCoreApplication>
#include <optional>

namespace rv::test {

enum class Engine { Sqlite, Postgres };

// A schema of its own on the test server for one case: open() connects with it as the search
// path, or gives null when ROCKVISTA_TEST_DATABASE names no server (the caller skips); drop()
// removes it with everything in it.
class ServerSchema {
public:
    std::unique_ptr<Database> open(const QString& prefix)
    {
        const QString setting = qEnvironmentVariable("ROCKVISTA_TEST_DATABASE");
        if (setting.isEmpty())
            return nullptr;
        static int made = 0;
        m_name = prefix + QStringLiteral("%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        auto db = Database::open(DatabaseTarget::server(setting));
        db->exec(QStringLiteral("CREATE SCHEMA ") + m_name);
        db->exec(QStringLiteral("SET search_path TO ") + m_name);
        return db;
    }
    void drop(Database& db)
    {
        if (!m_name.isEmpty())
            db.exec(QStringLiteral("DROP SCHEMA ") + m_name + QStringLiteral(" CASCADE"));
    }

private:
    QString m_name;
};

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::Postgres ? "Postgres" : "Sqlite";
}

class SuppliedOnEngine : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (!server()) {
            db = m_folder.emplace(true).open();
            return;
        }
        db = m_schema.open(QStringLiteral("s"));
        if (!db)
            GTEST_SKIP() << "ROCKVISTA_TEST_DATABASE names no PostgreSQL database (ctest runs these as *.postgres)";
        createSuppliedDatabase(*db, QStringLiteral("MINE"));
        addDemoData(*db);
    }
    void TearDown() override
    {
        if (db && server())
            m_schema.drop(*db);
    }
    bool server() const { return GetParam() == Engine::Postgres; }

    std::unique_ptr<Database> db;

private:
    std::optional<DataFolder> m_folder;
    ServerSchema m_schema;
};

} // namespace rv::test
