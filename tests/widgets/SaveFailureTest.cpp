// A save the database refuses (an unwritable connection, another program's lock) is told to the
// user; the action waits, the typing stays and the record sets hold what the tables hold.
#include "RunningProgram.h"

#include <QKeyEvent>

using namespace rv;

namespace {

class SaveFailure : public test::RunningProgram<> {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (HasFatalFailure())
            return;
        dialogs.shown.clear();
    }
    QString sensor() { return state().sensors->text(QStringLiteral("InstrumentID")); }
    QString stored(const QString& sql) { return folder.open()->query(sql)[0][0].toString(); }
};

TEST_F(SaveFailure, AnUnwritableConnectionKeepsTheSensorAndTheReadingWithTheirTyping)
{
    const QString id = sensor();
    const QString level = stored(QStringLiteral("SELECT Level FROM Sensors WHERE InstrumentID = '") + id + "'");
    state().db->exec(QStringLiteral("PRAGMA query_only = 1"));
    form().txtLevel->setText(QStringLiteral("999"));
    form().SSTab1->setCurrentIndex(2);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0], QStringLiteral("Sensor ") + id + " was not saved: attempt to write a readonly database");
    EXPECT_EQ(form().SSTab1->currentIndex(), 0);
    EXPECT_EQ(form().txtLevel->text(), QStringLiteral("999"));
    EXPECT_EQ(state().sensors->text(QStringLiteral("Level")), level);
    EXPECT_EQ(sink.reports.size(), 1);
    // The destroyed switch saves once per key: told once.
    dialogs.shown.clear();
    QKeyEvent y(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
    QApplication::sendEvent(form().cboDestroyed, &y);
    EXPECT_EQ(dialogs.shown.size(), 1);

    state().db->exec(QStringLiteral("PRAGMA query_only = 0"));
    form().SSTab1->setCurrentIndex(2);
    EXPECT_EQ(form().SSTab1->currentIndex(), 2);
    EXPECT_EQ(stored(QStringLiteral("SELECT Level FROM Sensors WHERE InstrumentID = '") + id + "'"), QStringLiteral("999"));

    // The shown reading: the move does not happen.
    dialogs.shown.clear();
    const QString position = form().txtRcount->text();
    const QString key = form().txtReadingID->text();
    state().db->exec(QStringLiteral("PRAGMA query_only = 1"));
    form().txtChannel[1]->setText(QStringLiteral("4321"));
    emit form().imgFirst->clicked();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0], QStringLiteral("Reading ") + key + " was not saved: attempt to write a readonly database");
    EXPECT_EQ(form().txtRcount->text(), position);
    EXPECT_EQ(form().txtChannel[1]->text(), QStringLiteral("4321"));
    EXPECT_NE(state().readings->text(QStringLiteral("Channel1")), QStringLiteral("4321"));

    // A termination signal asks and tells nothing: the refusals are logged and the program ends.
    dialogs.shown.clear();
    sink.reports.clear();
    form().txtLevel->setText(QStringLiteral("555"));
    program->beginTermination();
    program->terminate();
    EXPECT_FALSE(program->running());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(sink.reports.size(), 2); // the sensor and the reading
}

TEST_F(SaveFailure, AnotherProgramsLockPastTheBusyTimeoutIsToldAndTheTabStays)
{
    const QString id = sensor();
    auto other = folder.open();
    other->exec(QStringLiteral("BEGIN EXCLUSIVE"));
    form().txtLevel->setText(QStringLiteral("777"));
    form().SSTab1->setCurrentIndex(1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0], QStringLiteral("Sensor ") + id + " was not saved: database is locked");
    EXPECT_EQ(form().SSTab1->currentIndex(), 0);
    EXPECT_EQ(form().txtLevel->text(), QStringLiteral("777"));

    other->exec(QStringLiteral("ROLLBACK"));
    form().SSTab1->setCurrentIndex(1);
    EXPECT_EQ(form().SSTab1->currentIndex(), 1);
    EXPECT_EQ(stored(QStringLiteral("SELECT Level FROM Sensors WHERE InstrumentID = '") + id + "'"), QStringLiteral("777"));
}

TEST_F(SaveFailure, ASensorTheDatabaseRefusesIsToldAsNotAdded)
{
    const int before = state().sensors->recordCount();
    state().db->exec(QStringLiteral("CREATE TRIGGER full AFTER INSERT ON NetworkConfig "
                                    "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
    dialogs.inputs.push_back(QStringLiteral("201175009"));
    dialogs.answers.push_back(Answer::Yes);
    emit form().imgAddSensor->clicked();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("Sensor 201175009 was not added: database or disk is full"));
    EXPECT_EQ(state().sensors->recordCount(), before);
    EXPECT_EQ(form().cboSensors->count(), before);
}

} // namespace
