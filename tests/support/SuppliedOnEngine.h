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
        const QString setting = qEnvironmentVariable("ROCKVISTA_TEST_DATABASE");
        if (setting.isEmpty())
            GTEST_SKIP() << "ROCKVISTA_TEST_DATABASE names no PostgreSQL database (ctest runs these as *.postgres)";
        static int made = 0;
        m_schema = QStringLiteral("s%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        db = Database::open(DatabaseTarget::server(setting));
        db->exec(QStringLiteral("CREATE SCHEMA ") + m_schema);
        db->exec(QStringLiteral("SET search_path TO ") + m_schema);
        createSuppliedDatabase(*db, QStringLiteral("MINE"));
        addDemoData(*db);
    }
    void TearDown() override
    {
        if (db && server())
            db->exec(QStringLiteral("DROP SCHEMA ") + m_schema + QStringLiteral(" CASCADE"));
    }
    bool server() const { return GetParam() == Engine::Postgres; }

    std::unique_ptr<Database> db;

private:
    std::optional<DataFolder> m_folder;
    QString m_schema;
};

} // namespace rv::test
