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

TEST_F(DataEventsTest, TheFormShowsANewSensorOnlyOnceItIsStored)
{
    FrmRockvista& form = *program->window();
    Database& db = *program->state().db;
    QStringList shownInTransaction;
    QObject::connect(form.txtSensor, &QLineEdit::textChanged, [&](const QString& text) {
        if (db.inTransaction())
            shownInTransaction << text;
    });
    addSensor("201175009");
    EXPECT_TRUE(form.txtSensor->text().endsWith(QStringLiteral("201175009"))) << form.txtSensor->text().toStdString();
    EXPECT_TRUE(shownInTransaction.isEmpty()) << shownInTransaction.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
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

namespace {

class ReadingsTabEvents : public test::RunningProgram<> {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (HasFatalFailure())
            return;
        form().SSTab1->setCurrentIndex(2);
        emit form().imgFirst->clicked(); // not the newest: a refresh must keep it
        dialogs.shown.clear();
        id = state().readings->table();
    }
    qint64 shownRowid() { return state().readings->bookmark(); }
    void setChannel1(const QString& value, qint64 rowid)
    {
        state().db->exec(QStringLiteral("UPDATE \"") + id + QStringLiteral("\" SET Channel1 = ? WHERE rowid = ?"),
                         {value, rowid});
    }
    QString id;
};

TEST_F(ReadingsTabEvents, AnotherWindowsCommitShowsTheTabAgainOnceAndARollbackNever)
{
    const QString position = form().txtRcount->text();
    ASSERT_TRUE(position.startsWith(QStringLiteral("1 of "))) << position.toStdString();
    const qint64 shown = shownRowid();
    const QString before = form().txtChannel[1]->text();
    QSignalSpy readings(&state().events, &DataEvents::readingsChanged);
    {
        Transaction tx(*state().db);
        setChannel1(QStringLiteral("77.25"), shown);
    }
    EXPECT_EQ(readings.count(), 0);
    EXPECT_EQ(form().txtChannel[1]->text(), before);

    {
        Transaction tx(*state().db);
        setChannel1(QStringLiteral("77.25"), shown);
        EXPECT_EQ(form().txtChannel[1]->text(), before); // not while the transaction is open
        tx.commit();
    }
    EXPECT_EQ(readings.count(), 1);
    EXPECT_EQ(form().txtChannel[1]->text(), QStringLiteral("77.25"));
    EXPECT_EQ(form().txtRcount->text(), position); // on the reading it showed
    EXPECT_EQ(shownRowid(), shown);

    // The shown reading gone: the newest one.
    const int count = state().readings->recordCount();
    state().db->exec(QStringLiteral("DELETE FROM \"") + id + QStringLiteral("\" WHERE rowid = ?"), {shown});
    EXPECT_EQ(readings.count(), 2);
    EXPECT_EQ(form().txtRcount->text(), QString::number(count - 1) + QStringLiteral(" of ") + QString::number(count - 1));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

TEST_F(ReadingsTabEvents, TheTabsOwnSavesAndDuplicateSearchesLeaveTheShownReadingAlone)
{
    const QString position = form().txtRcount->text();
    const qint64 shown = shownRowid();
    // Typed but not yet stored: a save of the tab's own keeps the typing as typed.
    form().txtChannel[1]->setText(QStringLiteral("12.5"));
    emit form().imgFirst->clicked();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0], QStringLiteral("Start of readings"));
    EXPECT_EQ(form().txtChannel[1]->text(), QStringLiteral("12.5"));

    // A new reading at the moment of the newest one is refused without moving off the shown one.
    state().readings->moveLast();
    const QString lastKey = state().readings->text(QStringLiteral("DateTimeKey"));
    state().readings->setBookmark(shown);
    clock.moment = QDateTime::fromString(lastKey.section(QLatin1Char(' '), 1), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    dialogs.shown.clear();
    emit form().imgAddReading->clicked();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0], QStringLiteral("There is already a reading with that date and time"));
    EXPECT_EQ(shownRowid(), shown);
    EXPECT_EQ(form().txtRcount->text(), position);
    EXPECT_TRUE(sink.reports.isEmpty()) << sink.reports.join(QStringLiteral(" | ")).toStdString();
}

} // namespace
