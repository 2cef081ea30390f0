// The runner's side of the windows: finding controls, acting on them as a user would,
// and reading back what the user sees.
#include "Expectations.h"
#include "Objects.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <gtest/gtest.h>
#include <memory>

using namespace script;

namespace {

void ensureApp()
{
    if (qApp)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_script";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

template <class W>
W* add(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    parent->layout()->addWidget(w);
    return w;
}

// A main window with two tabs and a modal window parented to it, as the program has.
struct Windows : ::testing::Test {
    std::unique_ptr<QWidget> main;
    QTabWidget* tabs = nullptr;
    QLineEdit *first = nullptr, *second = nullptr, *onTab1 = nullptr;
    QPushButton* button = nullptr;
    QDialog* dialog = nullptr;
    QLineEdit* dialogBox = nullptr;
    QPushButton* dialogButton = nullptr;
    Finder finder{[this] { return main.get(); }};

    void SetUp() override
    {
        ensureApp();
        main = std::make_unique<QWidget>();
        main->setObjectName("frmRockvista");
        new QVBoxLayout(main.get());
        tabs = add<QTabWidget>(main.get(), "SSTab1");
        auto* page0 = new QWidget;
        new QVBoxLayout(page0);
        auto* page1 = new QWidget;
        new QVBoxLayout(page1);
        tabs->addTab(page0, "0");
        tabs->addTab(page1, "1");
        first = add<QLineEdit>(page0, "txtFirst");
        second = add<QLineEdit>(page0, "txtSecond");
        button = add<QPushButton>(page0, "Command1");
        onTab1 = add<QLineEdit>(page1, "txtOther");
        dialog = new QDialog(main.get());
        dialog->setObjectName("frmBatchDel");
        new QVBoxLayout(dialog);
        dialogBox = add<QLineEdit>(dialog, "txtFirst");
        dialogButton = add<QPushButton>(dialog, "Command1");
        main->show();
        activate(main.get());
    }
    void openDialog()
    {
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        activate(dialog);
    }
};

} // namespace

TEST_F(Windows, BareNamesMeanTheWindowOnTopQualifiedNamesTheirWindow)
{
    // A closed window's controls are not the main window's, although it is their parent.
    EXPECT_EQ(finder.find("txtFirst"), first);
    EXPECT_EQ(finder.find("Command1"), button);
    EXPECT_EQ(finder.find("txtOther"), onTab1);
    EXPECT_EQ(finder.find("frmRockvista.txtFirst"), first);
    EXPECT_THROW(finder.find("frmBatchDel.txtFirst"), StepFailure);
    EXPECT_THROW(finder.find("txtNothing"), StepFailure);

    openDialog();
    EXPECT_EQ(finder.find("txtFirst"), dialogBox);
    EXPECT_EQ(finder.find("frmBatchDel"), dialog);
    EXPECT_EQ(finder.find("frmRockvista.txtFirst"), first);
    EXPECT_EQ(finder.find("txtSecond"), second); // only the main window has it
    EXPECT_EQ(finder.openWindows(), QList<QWidget*>({dialog, main.get()}));
    dialog->hide();
}

TEST_F(Windows, ActionsAUserCannotDoFailTheirLine)
{
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    button->setEnabled(false);
    EXPECT_THROW(click(button), StepFailure);
    button->setEnabled(true);
    openDialog();
    EXPECT_THROW(click(button), StepFailure);          // behind the modal window
    EXPECT_THROW(closeWindow(main.get()), StepFailure); // likewise
    EXPECT_EQ(clicks, 0);
    closeWindow(dialog);
    EXPECT_FALSE(dialog->isVisible());
    click(button);
    EXPECT_EQ(clicks, 1);
    first->setReadOnly(true);
    EXPECT_THROW(setValue(first, "x"), StepFailure);
    EXPECT_THROW(typeText(onTab1, "x"), StepFailure); // on a tab that is not selected
    EXPECT_THROW(selectTab(tabs, 2), StepFailure);
}

TEST_F(Windows, LeavingRunsTheLostFocusHandlerWhichMayKeepTheFocus)
{
    bool refuse = true;
    int lostFocus = 0;
    struct Validator : QObject {
        std::function<bool(QEvent*)> f;
        bool eventFilter(QObject*, QEvent* e) override { return f(e); }
    } validator;
    validator.f = [&](QEvent* e) {
        if (e->type() == QEvent::FocusOut) {
            ++lostFocus;
            if (refuse)
                first->setFocus();
        }
        return false;
    };
    first->installEventFilter(&validator);

    leave(first);
    EXPECT_EQ(lostFocus, 1);
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(focusName(), QStringLiteral("txtFirst"));

    // A click elsewhere that the validation refuses does not happen.
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    click(button);
    EXPECT_EQ(clicks, 0);

    refuse = false;
    leave(first);
    EXPECT_EQ(focusName(), QStringLiteral("txtSecond"));
    click(button);
    EXPECT_EQ(clicks, 1);
    first->removeEventFilter(&validator);
}

TEST_F(Windows, TypedKeysPassTheEventFiltersAndMayBeDiscarded)
{
    struct DigitsOnly : QObject {
        QString seen;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() != QEvent::KeyPress)
                return false;
            const QString text = static_cast<QKeyEvent*>(e)->text();
            seen += text;
            return !text.isEmpty() && !text[0].isDigit() && text[0] != QLatin1Char('\b');
        }
    } filter;
    second->setText("9");
    second->installEventFilter(&filter);
    typeText(second, "1a2µ");
    pressKey(second, "Backspace");
    EXPECT_EQ(filter.seen, QStringLiteral("1a2µ\b"));
    EXPECT_EQ(valueOf(second), QStringLiteral("91"));
    second->removeEventFilter(&filter);
}

TEST_F(Windows, ChoosingAndSettingRunTheChangeHandlers)
{
    auto* combo = add<QComboBox>(tabs->widget(0), "cboSensors");
    combo->addItems({"a", "b", "c"});
    int activated = -1;
    QObject::connect(combo, &QComboBox::activated, [&](int i) { activated = i; });
    choose(combo, "c");
    EXPECT_EQ(activated, 2);
    EXPECT_EQ(valueOf(combo), QStringLiteral("c"));
    EXPECT_EQ(itemsOf(combo), QStringLiteral("a\nb\nc"));
    EXPECT_THROW(choose(combo, "d"), StepFailure);
    EXPECT_THROW(setValue(combo, "x"), StepFailure); // not editable

    auto* list = add<QListWidget>(tabs->widget(0), "lstFiles");
    list->addItems({"one.mdb", "two.mdb"});
    QString clicked;
    QObject::connect(list, &QListWidget::itemClicked, [&](QListWidgetItem* item) { clicked = item->text(); });
    choose(list, "two.mdb");
    EXPECT_EQ(clicked, QStringLiteral("two.mdb"));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(valueOf(list), QStringLiteral("one.mdb\ntwo.mdb"));

    auto* box = add<QCheckBox>(tabs->widget(0), "chkTemporal");
    int toggles = 0;
    QObject::connect(box, &QCheckBox::toggled, [&] { ++toggles; });
    setValue(box, "1");
    setValue(box, "1");
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(valueOf(box), QStringLiteral("1"));

    // A picker whose handler puts the date back is not a failure of the step.
    auto* date = add<QDateEdit>(tabs->widget(0), "dtpRdate");
    date->setDate(QDate(2024, 6, 1));
    QObject::connect(date, &QDateEdit::dateChanged, [&](QDate d) {
        if (d.day() == 13)
            date->setDate(QDate(2024, 6, 1));
    });
    setValue(date, "2024/06/13");
    EXPECT_EQ(valueOf(date), QStringLiteral("2024/06/01"));
    setValue(date, "2024/06/14");
    EXPECT_EQ(valueOf(date), QStringLiteral("2024/06/14"));
    EXPECT_THROW(setValue(date, "2024/02/30"), StepFailure);
    date->setMinimumDate(QDate(2000, 1, 1));
    EXPECT_THROW(setValue(date, "1999/12/31"), StepFailure);
}

TEST_F(Windows, ShownMeansTheProgramsOwnFlagWhicheverTabIsSelected)
{
    EXPECT_TRUE(shownByProgram(onTab1));
    auto* frame = add<QWidget>(tabs->widget(1), "fraInner");
    new QVBoxLayout(frame);
    auto* inner = add<QLineEdit>(frame, "txtInner");
    frame->hide();
    EXPECT_FALSE(shownByProgram(inner));
    first->hide();
    EXPECT_FALSE(shownByProgram(first));
    EXPECT_FALSE(shownByProgram(dialog));
}

TEST(Reading, GridCellsAndFlagCells)
{
    ensureApp();
    QStandardItemModel model(2, 3);
    model.setData(model.index(0, 0), "12.5");
    model.setData(model.index(0, 1), "[x]");
    model.setData(model.index(0, 2), QStringLiteral("[ ]"), Qt::UserRole + 1); // flag text beside a picture
    model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole);
    QTableView grid;
    grid.setObjectName("MSFlexGrid1");
    grid.setModel(&model);
    EXPECT_EQ(cellText(&grid, 0, 0), QStringLiteral("12.5"));
    EXPECT_EQ(cellText(&grid, 0, 1), QStringLiteral("[x]"));
    EXPECT_EQ(cellText(&grid, 0, 2), QStringLiteral("[ ]"));
    EXPECT_EQ(cellText(&grid, 1, 0), QStringLiteral("[x]"));
    EXPECT_EQ(cellText(&grid, 1, 1), QString());
    EXPECT_THROW(cellText(&grid, 2, 0), StepFailure);
    setCurrentCell(&grid, 1, 2);
    EXPECT_EQ(grid.currentIndex(), model.index(1, 2));
}

TEST(Reading, ChartSummary)
{
    ensureApp();
    auto* chart = new QChart;
    chart->setTitle("Strain v Time");
    auto* y = new QValueAxis;
    y->setRange(-1.5, 3.5);
    y->setTickCount(6);
    auto* x = new QDateTimeAxis;
    x->setFormat("yyyy/MM/dd");
    x->setTitleText("Date");
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(x, Qt::AlignBottom);
    for (const char* name : {"#1", "#2", "#3"}) {
        auto* s = new QLineSeries;
        s->setName(name);
        s->append(1, 1);
        s->append(2, 2);
        chart->addSeries(s);
    }
    static_cast<QLineSeries*>(chart->series().at(0))->append(3, 3);
    chart->series().at(1)->setVisible(false);
    QChartView view(chart);
    EXPECT_EQ(chartSummary(&view), QStringLiteral("title=Strain v Time;ymin=-1.5;ymax=3.5;ystep=1;xformat=yyyy/MM/dd;"
                                                  "xtitle=Date;series=#1,#3;points=3"));
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickInterval(0.1);
    EXPECT_TRUE(chartSummary(&view).contains(QLatin1String(";ystep=0.1;")));
}
