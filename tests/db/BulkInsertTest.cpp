// Many rows written at once: on SQLite by the multi-row INSERT, on the server by a streamed copy.
// Every value must come back as a plain INSERT stores it, errors as an INSERT's, and what is
// not finished must not stay.
#include "SuppliedOnEngine.h"
#include "db/BulkInsert.h"

#include <QTemporaryDir>
#include <cmath>
#include <limits>

using rv::BulkInsert;
using rv::Database;
using rv::RvError;
using rv::test::Engine;

namespace {

class BulkInsertTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (server()) {
            db = m_schema.open(QStringLiteral("b"));
            if (!db)
                GTEST_SKIP() << rv::test::EngineDatabase::skipMessage;
        } else {
            db = Database::create(m_dir.filePath(QStringLiteral("bulk.db")));
        }
        db->defineColumnTypes();
        // Every kind of column a reading table has, and a NOT NULL one to fail on.
        db->exec(QStringLiteral("CREATE TABLE t (%1 name %2, kept %3, value %4, count %5, needed %6 NOT NULL DEFAULT 0)")
                     .arg(server() ? db->rowidColumn() + QStringLiteral(",") : QString(),
                          db->columnType(QStringLiteral("TEXT")), db->columnType(QStringLiteral("NUMERIC TEXT")),
                          db->columnType(QStringLiteral("REAL")), db->columnType(QStringLiteral("INTEGER")),
                          db->columnType(QStringLiteral("INTEGER"))));
    }
    void TearDown() override
    {
        if (db && server())
            m_schema.drop(*db);
    }
    bool server() const { return GetParam() == Engine::Postgres; }
    qint64 count() { return db->query(QStringLiteral("SELECT count(*) FROM t")).value(0).value(0).toLongLong(); }
    static BulkInsert into(Database& d) { return BulkInsert(d, QStringLiteral("t"), columns(), 16); }
    static QStringList columns()
    {
        return {QStringLiteral("name"), QStringLiteral("kept"), QStringLiteral("value"), QStringLiteral("count")};
    }
    // A row of plain values, told apart by i.
    static void plainRow(BulkInsert& bulk, int i)
    {
        bulk.text(QStringLiteral("row %1").arg(i));
        bulk.utf8("12.50");
        bulk.number(i + 0.25);
        bulk.integer(i);
        bulk.endRow();
    }

    std::unique_ptr<Database> db;

private:
    QTemporaryDir m_dir;
    rv::test::ServerSchema m_schema;
};

TEST_P(BulkInsertTest, EveryValueComesBackAsWrittenInTheOrderGiven)
{
    const double inf = std::numeric_limits<double>::infinity();
    const QStringList texts{QStringLiteral("tab\there"), QStringLiteral("two\nlines\r\nand CR"),
                            QStringLiteral("back\\slash \\N \\."), QStringLiteral("\\N"), QStringLiteral(""),
                            QStringLiteral("Grüße, 測定"), QStringLiteral("  12.50 "), QStringLiteral("\\")};
    const double numbers[] = {0.1 + 0.2, 1e-300, 4.9e-324, -0.0, 1.7976931348623157e308, inf, -inf, -123456.789012345};
    const qint64 integers[] = {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), 0, -1};

    // Enough rows for several statements and several parts of a copy, with a remainder.
    QVector<QVariantList> expected;
    {
        db->begin();
        BulkInsert bulk(*db, QStringLiteral("t"), columns(), 16);
        for (int i = 0; i < 3001; ++i) {
            QVariantList row;
            const QString text = texts[i % texts.size()] + (i % 3 == 0 ? QString() : QString::number(i));
            if (i % 11 == 5) {
                bulk.null();
                row << QVariant();
            } else {
                bulk.text(text);
                row << text;
            }
            // A number kept as written: its text whatever it holds.
            bulk.utf8(i % 2 ? QByteArrayView("007.50") : QByteArrayView("not\ta number"));
            row << QString::fromLatin1(i % 2 ? "007.50" : "not\ta number");
            const double number = i % 13 == 0 ? std::nan("") : numbers[i % std::size(numbers)] * (i % 2 ? 1 : 3);
            bulk.number(number);
            row << (std::isnan(number) ? QVariant() : QVariant(number));
            if (i % 7 == 3) {
                bulk.null();
                row << QVariant();
            } else {
                bulk.integer(integers[i % std::size(integers)] / (i % 5 + 1));
                row << QVariant(integers[i % std::size(integers)] / (i % 5 + 1));
            }
            bulk.endRow();
            expected << row;
        }
        bulk.finish();
        db->commit();
    }
    const auto rows = db->query(QStringLiteral("SELECT name, kept, value, count FROM t ORDER BY rowid"));
    ASSERT_EQ(rows.size(), expected.size());
    for (int i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 4);
        for (int c = 0; c < 4; ++c) {
            // Doubles compared exactly, the smallest subnormal too.
            if (expected[i][c].typeId() == QMetaType::Double) {
                ASSERT_EQ(rows[i][c].typeId(), QMetaType::Double) << "row " << i << " column " << c;
                EXPECT_EQ(rows[i][c].toDouble(), expected[i][c].toDouble()) << "row " << i;
            } else {
                EXPECT_EQ(rows[i][c], expected[i][c]) << "row " << i << " column " << c;
            }
        }
    }
    // The rows a text column keeps are the same as a plain INSERT keeps.
    db->exec(QStringLiteral("INSERT INTO t (name, kept) VALUES (?, ?)"), {texts[2], QStringLiteral("007.50")});
    EXPECT_EQ(db->query(QStringLiteral("SELECT count(*) FROM t WHERE name = ? AND kept = '007.50'"), {texts[2]})
                  .value(0).value(0).toInt(),
              1 + std::count_if(expected.cbegin(), expected.cend(), [&](const QVariantList& r) {
                  return r[0] == texts[2] && r[1] == QStringLiteral("007.50");
              }));
}

TEST_P(BulkInsertTest, RowsAreCountedAndToldToTheListenerAtTheCommit)
{
    QStringList told;
    db->setCommitListener([&](const QStringList& tables) { told += tables; });
    const quint64 before = db->changesOf(QStringLiteral("t"));
    {
        rv::Transaction tx(*db);
        BulkInsert bulk = into(*db);
        for (int i = 0; i < 40; ++i)
            plainRow(bulk, i);
        bulk.finish();
        EXPECT_TRUE(told.isEmpty());
        tx.commit();
    }
    EXPECT_EQ(told, QStringList{QStringLiteral("t")});
    EXPECT_GE(db->changesOf(QStringLiteral("t")), before + 40);
    EXPECT_EQ(db->rowCount(QStringLiteral("t")), 40);

    // Outside a transaction the rows commit as they go, and are told so.
    told.clear();
    BulkInsert alone = into(*db);
    plainRow(alone, 40);
    alone.finish();
    EXPECT_EQ(told, QStringList{QStringLiteral("t")});
    EXPECT_EQ(count(), 41);
}

// A refused value fails as the same value in an INSERT fails, and the transaction leaves nothing.
TEST_P(BulkInsertTest, ARefusedRowFailsAsAnInsertDoesAndLeavesNothing)
{
    const RvError expected = [&] {
        try {
            db->exec(QStringLiteral("INSERT INTO t (name, needed) VALUES ('x', NULL)"));
        } catch (const RvError& e) {
            return e;
        }
        return RvError(0, QString());
    }();
    ASSERT_NE(expected.number, 0);

    const QStringList withNeeded = columns() << QStringLiteral("needed");
    const auto failing = [&](int badRow) {
        db->begin();
        try {
            BulkInsert bulk(*db, QStringLiteral("t"), withNeeded, 16);
            for (int i = 0; i < 2000; ++i) {
                bulk.text(QStringLiteral("row"));
                bulk.utf8("1");
                bulk.number(i);
                bulk.integer(i);
                if (i == badRow)
                    bulk.null();
                else
                    bulk.integer(1);
                bulk.endRow();
            }
            bulk.finish();
            db->commit();
        } catch (const RvError& e) {
            db->rollback();
            return e;
        }
        return RvError(0, QString());
    };
    for (const int badRow : {0, 1500, 1999}) {
        const RvError e = failing(badRow);
        EXPECT_EQ(e.number, expected.number) << badRow;
        EXPECT_EQ(e.description, expected.description) << badRow;
        EXPECT_EQ(e.state, expected.state) << badRow;
        EXPECT_EQ(count(), 0) << badRow;
    }
    // The connection serves on.
    BulkInsert bulk = into(*db);
    plainRow(bulk, 1);
    bulk.finish();
    EXPECT_EQ(count(), 1);

    // A row of too few or too many values is the caller's mistake, refused before it is written.
    bulk.integer(1);
    EXPECT_THROW(bulk.endRow(), RvError);
    for (int i = 0; i < 4; ++i)
        bulk.integer(i);
    EXPECT_THROW(bulk.integer(5), RvError);
}

// Another statement on the connection in the middle of an insertion (on a server it must first
// end the copy) sees the rows written so far, and the insertion goes on after it.
TEST_P(BulkInsertTest, AStatementInTheMiddleSeesTheRowsWrittenAndTheRestFollow)
{
    rv::Transaction tx(*db);
    BulkInsert bulk = into(*db);
    // Rows held may wait for more: enough of them that some have gone.
    for (int i = 0; i < 5000; ++i)
        plainRow(bulk, i);
    const qint64 seen = count();
    EXPECT_GT(seen, 0);
    EXPECT_LE(seen, 5000);
    // Even in the middle of a row.
    bulk.text(QStringLiteral("row 5000"));
    bulk.utf8("12.50");
    EXPECT_GE(count(), seen);
    bulk.number(5000.25);
    bulk.integer(5000);
    bulk.endRow();
    for (int i = 5001; i < 5100; ++i)
        plainRow(bulk, i);
    bulk.finish();
    tx.commit();
    const auto rows = db->query(QStringLiteral("SELECT name, count FROM t ORDER BY rowid"));
    ASSERT_EQ(rows.size(), 5100);
    for (int i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i], QVariantList({QStringLiteral("row %1").arg(i), qint64(i)}));
}

// An insertion given up before finish() (an error elsewhere) leaves nothing once its transaction
// rolls back, and the connection serves on.
TEST_P(BulkInsertTest, AnInsertionLeftUnfinishedIsUndoneWithItsTransaction)
{
    {
        rv::Transaction tx(*db);
        BulkInsert bulk = into(*db);
        for (int i = 0; i < 5000; ++i)
            plainRow(bulk, i);
    }
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(db->inTransaction());
    BulkInsert again = into(*db);
    plainRow(again, 1);
    again.finish();
    EXPECT_EQ(count(), 1);
}

RV_ON_BOTH_ENGINES(BulkInsertTest);

} // namespace
