// The scenario runner's reading of scripts and its scripted seams.
#include "Output.h"
#include "Script.h"
#include "ScriptedSeams.h"

#include <gtest/gtest.h>

using namespace script;

namespace {

QVector<Step> parse(const QString& text) { return parseScript(text, QStringLiteral("/data"), QStringLiteral("/here")); }

// The line number and message of the first bad line, or -1 when the script reads fine.
int badLine(const QString& text, QString* message = nullptr)
{
    try {
        parse(text);
    } catch (const ParseError& e) {
        if (message)
            *message = e.message;
        return e.line;
    }
    return -1;
}

} // namespace

TEST(ScriptWords, QuotesEscapesAndComments)
{
    EXPECT_EQ(splitWords(QStringLiteral("  set  txtSensor \"a b\"\t")),
              QStringList({"set", "txtSensor", "a b"}));
    EXPECT_EQ(splitWords(QStringLiteral(R"(expect x "one\ntwo \"q\" c:\\d")")),
              QStringList({"expect", "x", "one\ntwo \"q\" c:\\d"}));
    // Unknown escapes stay as written, for regular expressions.
    EXPECT_EQ(splitWords(QStringLiteral(R"(expect-message-match "\d+\.\d")")),
              QStringList({"expect-message-match", R"(\d+\.\d)"}));
    EXPECT_EQ(splitWords(QStringLiteral(R"(answer "" # a trailing comment)")), QStringList({"answer", ""}));
    EXPECT_EQ(splitWords(QStringLiteral(R"(answer "# not a comment")")), QStringList({"answer", "# not a comment"}));
    EXPECT_TRUE(splitWords(QStringLiteral("   # only a comment")).isEmpty());
}

TEST(ScriptWords, BadQuotesAreRefused)
{
    EXPECT_THROW(splitWords(QStringLiteral(R"(set x "open)")), ParseError);
    EXPECT_THROW(splitWords(QStringLiteral(R"(set x "a"b)")), ParseError);
    EXPECT_THROW(splitWords(QStringLiteral(R"(set x a"b")")), ParseError);
    EXPECT_THROW(splitWords(QStringLiteral(R"(set x "ends in backslash\")")), ParseError);
}

TEST(ScriptWords, QuotedEventTextsReadBackUnchanged)
{
    for (const QString& text : {QStringLiteral("plain"), QStringLiteral("two\nlines"), QStringLiteral("say \"hi\""),
                                QStringLiteral("C:\\dir\\n"), QStringLiteral("tab\there"), QString()}) {
        const QString line = QStringLiteral("answer ") + quoted(text);
        EXPECT_FALSE(line.contains(QLatin1Char('\n')));
        EXPECT_EQ(splitWords(line), QStringList({"answer", text})) << qPrintable(line);
    }
}

TEST(ScriptParse, StepsKeepTheirLineNumbersAndSubstitute)
{
    const QVector<Step> steps = parse(QStringLiteral("#setup: --demo\r\n\r\nstart\r\n"
                                                     "write-file \"$DATA/in/a.txt\" \"$HERE\"\n"
                                                     "  # indented comment\n"
                                                     "expect-file $DATA/x exists\n"));
    ASSERT_EQ(steps.size(), 3);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].command, QStringLiteral("start"));
    EXPECT_TRUE(steps[0].args.isEmpty());
    EXPECT_EQ(steps[1].line, 4);
    EXPECT_EQ(steps[1].args, QStringList({"/data/in/a.txt", "/here"}));
    EXPECT_EQ(steps[2].line, 6);
    EXPECT_EQ(steps[2].args, QStringList({"/data/x", "exists"}));
}

TEST(ScriptParse, EveryStepOfTheLanguageReads)
{
    const QString all = QStringLiteral(
        "clock \"2024/02/29 23:59:59\"\ntick -5\nstart\nclose\nclose frmBatchDel\nsleep 0.5\n"
        "answer Yes\nanswer \"text\"\nclick imgAddSensor\nset txtSensor \"1\"\ntype txtSensor \"12\"\n"
        "key MSFlexGrid1 Enter\nleave txtSensor\nchoose cboSensors \"a\"\ntab 7\ncell MSFlexGrid1 0 1\n"
        "click-cell MSFlexGrid1 2 3\nexpect txtSensor \"x\"\nexpect-items cboNuboInt \"1\\n8\\n24\"\n"
        "expect-cell MSFlexGrid1 1 2 \"[x]\"\nexpect-visible imgDelete false\nexpect-enabled imgDelete true\n"
        "expect-focus txtSensor\nexpect-message \"m\"\nexpect-message \"m\" caption \"c\" icon Critical\n"
        "expect-message-match \"a.*\" icon Question caption \"c\"\nexpect-no-message\nexpect-open \"p\"\n"
        "expect-open-match \"p.*\"\nexpect-chart ChartSLong \"title=\"\nexpect-chart-match ChartSLong \".*\"\n"
        "sql \"select 1\"\nexpect-sql \"select 1\" \"1\"\nwrite-file \"a\" \"b\"\nexpect-file \"a\" missing\n"
        "expect-file-contains \"a\" \"b\"\nscreenshot frmRockvista \"a.png\"\n");
    QString message;
    EXPECT_EQ(badLine(all, &message), -1) << qPrintable(message);
    EXPECT_EQ(parse(all).size(), all.count(QLatin1Char('\n')));
}

TEST(ScriptParse, BadLinesAreReportedWithTheirNumber)
{
    const struct {
        const char* line;
        const char* messagePart;
    } cases[] = {
        {"frobnicate x", "unknown step"},
        {"click", "takes 1"},
        {"click a b", "takes 1"},
        {"start now", "takes 0"},
        {"clock \"2024/02/30 10:00:00\"", "clock"},
        {"clock \"2024-01-01 10:00:00\"", "clock"},
        {"tick 1.5", "whole number"},
        {"sleep -1", "sleep"},
        {"key txtSensor Space", "Enter|Backspace"},
        {"tab -1", "from 0"},
        {"cell MSFlexGrid1 x 1", "ROW"},
        {"expect-visible x yes", "true|false"},
        {"expect-file a there", "exists|missing"},
        {"expect-message \"m\" caption", "pairs"},
        {"expect-message \"m\" icon Stop", "icon"},
        {"expect-message \"m\" colour red", "caption|icon"},
        {"expect-message-match \"(\"", "regular expression"},
        {"expect-chart-match ChartSLong \"[\"", "regular expression"},
        {"set x \"unterminated", "unterminated"},
    };
    for (const auto& c : cases) {
        QString message;
        EXPECT_EQ(badLine(QStringLiteral("# first\nstart\n") + QLatin1String(c.line) + QStringLiteral("\nclose\n"),
                          &message),
                  3)
            << c.line;
        EXPECT_TRUE(message.contains(QLatin1String(c.messagePart))) << c.line << ": " << qPrintable(message);
    }
}

TEST(ScriptOutput, NumbersInShortestForm)
{
    EXPECT_EQ(shortNumber(12.5), QStringLiteral("12.5"));
    EXPECT_EQ(shortNumber(3), QStringLiteral("3"));
    EXPECT_EQ(shortNumber(-3.25), QStringLiteral("-3.25"));
    EXPECT_EQ(shortNumber(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(shortNumber(1000000), QStringLiteral("1000000"));
    EXPECT_EQ(shortNumber(-0.0), QStringLiteral("0"));
}

namespace {

struct Seams : ::testing::Test {
    Transcript transcript;
    ScriptedDialogs scripted{transcript};
    rv::Dialogs& dialogs = scripted; // as the program sees them
    ScriptedDesktop desktop{transcript};
    QStringList failures;
    void SetUp() override
    {
        transcript.fail = [this](int line, const QString& m) { failures << QString::number(line) + ": " + m; };
    }
};

} // namespace

TEST_F(Seams, QuestionsTakeQueuedAnswersElseTheirDefault)
{
    transcript.answers.push_back({QStringLiteral("No"), 4});
    testing::internal::CaptureStdout();
    EXPECT_EQ(dialogs.question("Delete?", {}, rv::Icon::Question, rv::Buttons::YesNo, rv::Answer::Yes), rv::Answer::No);
    EXPECT_EQ(dialogs.question("Again?", "Cap", rv::Icon::Exclamation, rv::Buttons::YesNo, rv::Answer::Yes),
              rv::Answer::Yes);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "QUESTION caption=\"Rockvista g-STAY\" icon=Question text=\"Delete?\" -> No\n"
                   "QUESTION caption=\"Cap\" icon=Exclamation text=\"Again?\" -> Yes\n");
    ASSERT_EQ(transcript.dialogs.size(), 2u);
    EXPECT_EQ(transcript.dialogs[0].caption, rv::kAppTitle);
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(Seams, AnAnswerThatDoesNotFitFailsItsLineAndUsesTheDefault)
{
    transcript.answers.push_back({QStringLiteral("Yes"), 7});
    testing::internal::CaptureStdout();
    EXPECT_EQ(dialogs.question("Go on?", {}, rv::Icon::None, rv::Buttons::OKCancel, rv::Answer::Cancel),
              rv::Answer::Cancel);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith("7: ")) << qPrintable(failures[0]);
    EXPECT_TRUE(transcript.answers.empty());
}

TEST_F(Seams, PromptsAndFileDialogsWithoutAnAnswerAreCancelled)
{
    testing::internal::CaptureStdout();
    dialogs.message("Line one\nline \"two\"", "Title", rv::Icon::Critical);
    EXPECT_EQ(dialogs.input("Sensor number:", {}, "123"), QString());
    transcript.answers.push_back({QStringLiteral("/tmp/a b.txt"), 9});
    EXPECT_EQ(dialogs.openFile("Readouts (*.txt)"), QStringLiteral("/tmp/a b.txt"));
    desktop.openSpreadsheet("/tmp/x.xlsx");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "MESSAGE caption=\"Title\" icon=Critical text=\"Line one\\nline \\\"two\\\"\"\n"
                   "INPUT title=\"Rockvista g-STAY\" prompt=\"Sensor number:\" -> \"\"\n"
                   "FILE filter=\"Readouts (*.txt)\" -> \"/tmp/a b.txt\"\n"
                   "SPREADSHEET \"/tmp/x.xlsx\"\n");
    ASSERT_EQ(transcript.dialogs.size(), 3u);
    EXPECT_EQ(transcript.dialogs[1].text, QStringLiteral("Sensor number:"));
    EXPECT_EQ(transcript.dialogs[2].text, QStringLiteral("Readouts (*.txt)"));
    EXPECT_EQ(transcript.opened, std::deque<QString>({"/tmp/x.xlsx"}));
}

TEST(ScriptClock, StandsStillOnceSetAndMovesByTicks)
{
    ScriptedClock clock;
    EXPECT_LE(qAbs(clock.now().secsTo(QDateTime::currentDateTime())), 2);
    const QDateTime t(QDate(2024, 2, 28), QTime(23, 59, 30));
    clock.set(t);
    EXPECT_EQ(clock.now(), t);
    clock.tick(45);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2024, 2, 29), QTime(0, 0, 15)));
    EXPECT_EQ(clock.today(), QDate(2024, 2, 29));
}
