// A commit that fails is reported, and the register shows what the table holds.
#include "RunningProgram.h"

using namespace rv;

namespace {

class CommitFailure : public test::RunningProgram<> {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (HasFatalFailure())
            return;
        // A write that leaves a row pointing nowhere: the deferred check fails the commit.
        Database& db = *state().db;
        db.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        db.exec(QStringLiteral("CREATE TABLE Parent (id TEXT PRIMARY KEY)"));
        db.exec(QStringLiteral("CREATE TABLE Orphan (ref TEXT REFERENCES Parent(id) DEFERRABLE INITIALLY DEFERRED)"));
    }
    void failCommitsAfter(const char* event)
    {
        state().db->exec(QStringLiteral("CREATE TRIGGER spoil AFTER ") + QLatin1String(event)
                         + QStringLiteral(" BEGIN INSERT INTO Orphan VALUES ('none'); END"));
    }
    int tableCount() { return state().db->query(QStringLiteral("SELECT count(*) FROM Sensors"))[0][0].toInt(); }
    void expectRegisterAsTable(int expected)
    {
        EXPECT_EQ(tableCount(), expected);
        EXPECT_EQ(state().sensors->recordCount(), expected);
        EXPECT_EQ(program->window()->cboSensors->count(), expected);
        EXPECT_EQ(program->window()->txtSCount->text(), QString::number(expected));
        EXPECT_FALSE(state().db->inTransaction());
    }
};

TEST_F(CommitFailure, AddingASensorIsReportedAndLeavesNoRow)
{
    failCommitsAfter("INSERT ON NetworkConfig");
    dialogs.inputs.push_back(QStringLiteral("201175009"));
    dialogs.answers.push_back(Answer::Yes);
    emit program->window()->imgAddSensor->clicked();
    ASSERT_EQ(sink.reports.size(), 1);
    EXPECT_EQ(sink.reports[0], QStringLiteral("Err #787: FOREIGN KEY constraint failed G_AddTypedSensor"));
    expectRegisterAsTable(4);
    EXPECT_FALSE(state().db->tableExists(QStringLiteral("201175009")));
}

TEST_F(CommitFailure, DeletingASensorIsReportedAndKeepsItInTheRegister)
{
    failCommitsAfter("DELETE ON Sensors");
    const QString shown = state().sensors->text(QStringLiteral("InstrumentID"));
    dialogs.answers.push_back(Answer::Yes);
    emit program->window()->imgDelete->clicked();
    ASSERT_EQ(sink.reports.size(), 1);
    EXPECT_EQ(sink.reports[0], QStringLiteral("Err #787: FOREIGN KEY constraint failed imgDelete_Click"));
    expectRegisterAsTable(4);
    EXPECT_TRUE(state().db->tableExists(shown));
    EXPECT_EQ(program->window()->cboSensors->currentText(), state().sensors->text(QStringLiteral("InstrumentID")));
}

} // namespace
