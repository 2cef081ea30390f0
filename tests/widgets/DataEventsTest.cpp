// Data events: one per committed operation, none when it is rolled back.
#include "RunningProgram.h"

#include <QSignalSpy>

using namespace rv;

namespace {

class DataEventsTest : public test::RunningProgram<> {
protected:
    void addSensor(const char* number)
    {
        dialogs.inputs.push_back(QString::fromLatin1(number));
        dialogs.answers.push_back(Answer::Yes);
        emit program->window()->imgAddSensor->clicked();
    }
};

TEST_F(DataEventsTest, AddingAndDeletingASensorAnnounceOnceEach)
{
    DataEvents& events = program->state().events;
    QSignalSpy sensors(&events, &DataEvents::sensorsChanged);
    QSignalSpy readings(&events, &DataEvents::readingsChanged);

    addSensor("201175009");
    EXPECT_EQ(sensors.count(), 1);
    ASSERT_EQ(readings.count(), 1);
    EXPECT_EQ(readings.at(0).at(0).toString(), QStringLiteral("201175009"));

    dialogs.answers.push_back(Answer::Yes);
    emit program->window()->imgDelete->clicked(); // the first sensor
    EXPECT_EQ(sensors.count(), 2);
    EXPECT_EQ(readings.count(), 2);

    // Refused by the user: nothing written, nothing announced.
    dialogs.inputs.push_back(QStringLiteral("201175010"));
    dialogs.answers.push_back(Answer::No);
    emit program->window()->imgAddSensor->clicked();
    EXPECT_EQ(sensors.count(), 2);
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

TEST_F(DataEventsTest, ARolledBackAdditionAnnouncesNothing)
{
    Database& db = *program->state().db;
    db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON NetworkConfig BEGIN SELECT RAISE(ABORT, 'no'); END"));
    DataEvents& events = program->state().events;
    QSignalSpy sensors(&events, &DataEvents::sensorsChanged);
    QSignalSpy readings(&events, &DataEvents::readingsChanged);
    addSensor("201175009");
    EXPECT_EQ(sink.reports.size(), 1);
    EXPECT_EQ(sensors.count(), 0);
    EXPECT_EQ(readings.count(), 0);
    EXPECT_FALSE(db.tableExists(QStringLiteral("201175009")));
}

TEST_F(DataEventsTest, NoQuestionIsAskedWhileATransactionHoldsTheWriteLock)
{
    // A reading table left without a register row brings the overwrite question.
    program->state().db->exec(QStringLiteral("CREATE TABLE \"201175009\" (DateTimeKey TEXT)"));
    QStringList askedInTransaction;
    dialogs.onQuestion = [&](const QString& text) {
        if (program->state().db->inTransaction())
            askedInTransaction << text;
    };
    dialogs.inputs.push_back(QStringLiteral("201175009"));
    dialogs.answers = {Answer::Yes, Answer::Yes};
    emit program->window()->imgAddSensor->clicked();
    EXPECT_TRUE(dialogs.shown.contains(QStringLiteral("Table 201175009 already exists\nDo you want to overwrite this table?")));
    EXPECT_TRUE(askedInTransaction.isEmpty()) << askedInTransaction.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(program->state().db->columns(QStringLiteral("201175009")).size(), 33); // overwritten from the template
}

TEST_F(DataEventsTest, TheSensorBoxListsASensorAddedThroughTheRegisterOnceItCommits)
{
    AppState& state = program->state();
    FrmRockvista& form = *program->window();
    RecordSet& reg = *state.sensors;
    const int before = form.cboSensors->count();
    ASSERT_EQ(before, reg.recordCount());
    const auto addRow = [&] {
        reg.addNew();
        reg.setValue(QStringLiteral("InstrumentID"), QStringLiteral("201175009"));
        reg.update();
        EXPECT_EQ(form.cboSensors->count(), before); // not while the transaction is open
    };
    {
        Transaction tx(*state.db);
        addRow(); // rolled back
    }
    EXPECT_EQ(form.cboSensors->count(), before);
    reg.requery();

    {
        Transaction tx(*state.db);
        addRow();
        tx.commit();
    }
    ASSERT_EQ(form.cboSensors->count(), before + 1);
    EXPECT_EQ(form.cboSensors->itemText(before), QStringLiteral("201175009"));
    EXPECT_EQ(form.cboSensors->currentText(), QStringLiteral("201175009"));
    EXPECT_EQ(form.txtSCount->text(), QString::number(before + 1));

    // A save that adds no row leaves the list and the typed text alone.
    form.cboSensors->setEditText(QStringLiteral("2011"));
    reg.setValue(QStringLiteral("Location"), QStringLiteral("Drift 4"));
    reg.update();
    EXPECT_EQ(form.cboSensors->currentText(), QStringLiteral("2011"));
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

} // namespace
