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
    // Another connection to the same schema: another program on the same database.
    std::unique_ptr<Database> openAgain() const
    {
        auto db = Database::open(DatabaseTarget::server(qEnvironmentVariable("ROCKVISTA_TEST_DATABASE")));
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

// The supplied database (with the sample sensors when asked) on an engine, for a fixture of any
// base: open() gives null when the server case is to be skipped (see skipMessage).
class EngineDatabase {
public:
    std::unique_ptr<Database> open(Engine engine, bool demo)
    {
        if (engine == Engine::Sqlite)
            return m_folder.emplace(demo).open();
        auto db = m_schema.open(QStringLiteral("s"));
        if (db) {
            createSuppliedDatabase(*db, QStringLiteral("MINE"));
            if (demo)
                addDemoData(*db);
        }
        return db;
    }
    // Another connection to the same database (another program), or this one reopened.
    std::unique_ptr<Database> openAgain() const { return m_folder ? m_folder->open() : m_schema.openAgain(); }
    void drop(Database& db)
    {
        if (!m_folder)
            m_schema.drop(db);
    }
    static constexpr const char* skipMessage =
        "ROCKVISTA_TEST_DATABASE names no PostgreSQL database (ctest runs these as *.postgres)";

private:
    std::optional<DataFolder> m_folder;
    ServerSchema m_schema;
};

class SuppliedOnEngine : public ::testing::TestWithParam<Engine> {
protected:
    explicit SuppliedOnEngine(bool demo = true) : m_demo(demo) {}
    void SetUp() override
    {
        db = m_database.open(GetParam(), m_demo);
        if (!db)
            GTEST_SKIP() << EngineDatabase::skipMessage;
    }
    void TearDown() override
    {
        if (db)
            m_database.drop(*db);
    }
    bool server() const { return GetParam() == Engine::Postgres; }
    std::unique_ptr<Database> openAgain() const { return m_database.openAgain(); }

    std::unique_ptr<Database> db;

private:
    bool m_demo;
    EngineDatabase m_database;
};

#define RV_ON_BOTH_ENGINES(suite)                                                                                      \
    INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::Values(rv::test::Engine::Sqlite, rv::test::Engine::Postgres), \
                             rv::test::engineName)

} // namespace rv::test
