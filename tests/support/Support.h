#pragma once
// What every test folder needs: a data folder with the supplied database, seams that answer
// and record instead of showing windows, and error sinks that collect or fail.
#include "core/Seams.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "db/Schema.h"

#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace rv::test {

// A temporary data folder holding the supplied database (mine "MINE"), with the sample
// sensors when asked. Removed with the object.
class DataFolder {
public:
    explicit DataFolder(bool demo = false)
    {
        EXPECT_TRUE(m_dir.isValid());
        auto db = Database::create(dbPath());
        createSuppliedDatabase(*db, QStringLiteral("MINE"));
        if (demo)
            addDemoData(*db);
    }
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QString dbPath() const { return m_dir.filePath(kDatabaseFileName); }
    std::unique_ptr<Database> open() const { return Database::open(dbPath()); }

private:
    QTemporaryDir m_dir;
};

// The number of the RvError the call throws; 0 when it throws none.
template <class F>
int errorOf(F&& call)
{
    try {
        call();
    } catch (const RvError& e) {
        return e.number;
    }
    return 0;
}

// Records every message and question; answers questions and prompts from queues, and with the
// default button (an empty text) once a queue is empty.
class AnsweringDialogs : public Dialogs {
public:
    QStringList shown;
    std::deque<Answer> answers;
    std::deque<QString> inputs;
    std::function<void(const QString&)> onQuestion; // sees each question as it is asked
    std::function<void(const QString&)> onMessage;  // sees each message as it is shown
    QString input(const QString& prompt, const QString&, const QString&) override
    {
        shown << prompt;
        if (inputs.empty())
            return {};
        QString t = inputs.front();
        inputs.pop_front();
        return t;
    }
    QString openFile(const QString&, const QString&) override { return {}; }

protected:
    void showMessage(const QString& text, const QString&, Icon) override
    {
        shown << text;
        if (onMessage)
            onMessage(text);
    }
    Answer askQuestion(const QString& text, const QString&, Icon, Buttons, Answer defaultButton) override
    {
        shown << text;
        if (onQuestion)
            onQuestion(text);
        if (answers.empty())
            return defaultButton;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class NoDesktop : public Desktop {
public:
    bool open(const QString&) override { return false; }
    bool openSpreadsheet(const QString&) override { return false; }
    bool openDocument(const QString&) override { return false; }
};

class FixedClock : public Clock {
public:
    QDateTime moment{QDate(2026, 3, 5), QTime(14, 7, 9)};
    QDateTime now() const override { return moment; }
};

// Keeps every report, for tests that expect errors.
class CollectingSink : public ErrorSink {
public:
    QStringList reports;
    void report(const QString& text) override { reports << text; }
};

// Fails the running test on any report.
class FailingSink : public ErrorSink {
public:
    void report(const QString& text) override { ADD_FAILURE() << "unexpected error report: " << text.toStdString(); }
};

} // namespace rv::test
