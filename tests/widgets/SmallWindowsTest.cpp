// The small windows: names, captions and their own buttons.
#include "TestApp.h"
#include "ui/FrmBatchDel.h"
#include "ui/FrmDatasheet.h"
#include "ui/FrmNuboData.h"
#include "ui/FrmReport.h"
#include "ui/FrmSplash.h"

#include <QDate>
#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class SmallWindows : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(); }
};

template <class T>
void expectNamed(QWidget* window, T* member, const char* name)
{
    ASSERT_NE(member, nullptr) << name;
    EXPECT_EQ(member->objectName(), QString::fromLatin1(name));
    EXPECT_EQ(window->findChildren<T*>(QString::fromLatin1(name)).size(), 1) << name;
}

void expectUniqueNames(const QWidget* window)
{
    EXPECT_TRUE(test::duplicateNames(window).isEmpty()) << test::duplicateNames(window).join(", ").toStdString();
}

// Runs the window modally and presses the button once the loop runs; returns exec()'s result.
int pressDuring(QDialog& dialog, QPushButton* button)
{
    QTimer::singleShot(0, button, &QPushButton::click);
    return dialog.exec();
}

TEST_F(SmallWindows, SplashShowsTheVersionAndOkHidesIt)
{
    FrmSplash s;
    EXPECT_EQ(s.objectName(), "frmSplash");
    EXPECT_TRUE(s.isHidden());
    expectNamed(&s, s.lblVersion, "lblVersion");
    expectNamed(&s, s.Command1, "Command1");
    EXPECT_EQ(s.lblVersion->text(), "Version 4.2.5");
    EXPECT_EQ(s.Command1->text(), "OK");
    EXPECT_EQ(s.lblProduct->text(), "Rockvista g-STAY");
    EXPECT_TRUE(s.lblCompany->text().contains("Kelderan"));
    EXPECT_FALSE(s.imgLogo->pixmap().isNull());
    expectUniqueNames(&s);
    pressDuring(s, s.Command1);
    EXPECT_TRUE(s.isHidden());
}

TEST_F(SmallWindows, BatchDeletionCaptionsAndChoices)
{
    FrmBatchDel b;
    EXPECT_EQ(b.objectName(), "frmBatchDel");
    EXPECT_EQ(b.windowTitle(), "SensorData Deletion");
    expectNamed(&b, b.DelStart, "DelStart");
    expectNamed(&b, b.DelEnd, "DelEnd");
    EXPECT_EQ(b.DelStart->selectedDate(), QDate::currentDate());
    EXPECT_EQ(b.DelEnd->selectedDate(), QDate::currentDate());
    const std::pair<QPushButton*, const char*> buttons[] = {{b.OKButton, "BATCH DELETE"},
                                                            {b.cmdSingleDel, "DELETE"},
                                                            {b.Command1, "DELETE ALL"},
                                                            {b.CancelButton, "CANCEL"}};
    for (const auto& [button, text] : buttons)
        EXPECT_EQ(button->text(), text);
    const std::pair<QLabel*, const char*> labels[] = {
        {b.Label9, "BATCH DELETE a group of readings by date:"},
        {b.Label2, "Select start date"},
        {b.Label3, "Select end date"},
        {b.Label1, "All sensor data found on or between the dates selected above will be permanently deleted from "
                   "the database. Click the DELETE button below to continue or Cancel to return to the main form."},
        {b.Label6, "OR:"},
        {b.Label8, "OR:"},
        {b.Label5, "Click DELETE button to confirm deletetion of current reading ->"},
        {b.Label7, "Click DELETE ALL button to confirm deletetion of ALL readings ->"},
        {b.Label4, "WARNING: These operations cannot be undone"}};
    for (const auto& [label, text] : labels)
        EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(b.findChildren<QLabel*>(QStringLiteral("Label%1").arg(i)).size(), 1) << i;
    expectUniqueNames(&b);

    EXPECT_EQ(pressDuring(b, b.cmdSingleDel), FrmBatchDel::Single);
    EXPECT_EQ(pressDuring(b, b.OKButton), FrmBatchDel::Range);
    EXPECT_EQ(pressDuring(b, b.Command1), FrmBatchDel::All);
    EXPECT_EQ(pressDuring(b, b.CancelButton), FrmBatchDel::Cancelled);
    EXPECT_TRUE(b.isHidden());
}

// Each calendar shows a month's last week whole, also for a month that needs six rows, in a
// window made as short as it goes (as a small screen starts it) and after the range text
// grew to two lines.
TEST_F(SmallWindows, BatchDeletionCalendarsShowEveryWeek)
{
    FrmBatchDel b;
    b.lblRange->setText("Deletes 1 reading");
    b.show();
    b.resize(b.width(), 200);
    QApplication::processEvents();
    b.lblRange->setText("Deletes 12345 readings from 2026/08/05 to 2026/08/05, and some words more to wrap");
    QApplication::processEvents();
    for (Calendar* c : {b.DelStart, b.DelEnd}) {
        c->setSelectedDate(QDate(2026, 8, 5)); // begins on a Saturday
        QApplication::processEvents();
        auto* days = c->findChild<QTableView*>();
        ASSERT_NE(days, nullptr);
        const QRect last = days->visualRect(days->model()->index(days->model()->rowCount() - 1, 0));
        EXPECT_FALSE(last.isEmpty()) << c->objectName().toStdString();
        EXPECT_LE(last.bottom(), days->viewport()->height() - 1) << c->objectName().toStdString();
        EXPECT_LT(c->geometry().bottom(), b.Label1->geometry().top()) << c->objectName().toStdString();
    }
    EXPECT_LE(b.CancelButton->geometry().bottom(), b.height());
}

TEST_F(SmallWindows, Datasheet)
{
    FrmDatasheet d;
    EXPECT_EQ(d.objectName(), "frmDatasheet");
    EXPECT_EQ(d.windowTitle(), "Rockvista DataSheet");
    expectNamed(&d, d.lblHeader, "lblHeader");
    expectNamed(&d, d.MSFlexGrid1, "MSFlexGrid1");
    expectNamed(&d, d.Image1, "Image1");
    expectNamed(&d, d.img_x_on, "img_x_on");
    expectNamed(&d, d.img_x_off, "img_x_off");
    EXPECT_EQ(d.MSFlexGrid1->model(), nullptr);
    EXPECT_EQ(d.Image1->toolTip(), "Export to spreadsheet");
    EXPECT_TRUE(d.img_x_on->isHidden());
    EXPECT_TRUE(d.img_x_off->isHidden());
    EXPECT_NE(d.img_x_on->pixmap().toImage(), d.img_x_off->pixmap().toImage());
    EXPECT_GE(d.width(), 1000);
    expectUniqueNames(&d);
}

TEST_F(SmallWindows, ReadoutImport)
{
    FrmNuboData n;
    EXPECT_EQ(n.objectName(), "frmNuboData");
    EXPECT_EQ(n.windowTitle(), "Import DataFiles");
    expectNamed(&n, n.lblHeader, "lblHeader");
    expectNamed(&n, n.MSFlexGrid1, "MSFlexGrid1");
    expectNamed(&n, n.cmdAppend, "cmdAppend");
    expectNamed(&n, n.img_x_on, "img_x_on");
    expectNamed(&n, n.img_x_off, "img_x_off");
    EXPECT_EQ(n.cmdAppend->text(), "append");
    EXPECT_EQ(n.fraDateFormat->title(), "Datafile Date Format:");
    const char* formats[] = {"YYYY/MM/DD", "DD/MM/YYYY", "MM/DD/YYYY"};
    for (int i = 0; i < 3; ++i) {
        expectNamed(&n, n.optDateFormat[i], QStringLiteral("optDateFormat_%1").arg(i).toLatin1().constData());
        EXPECT_EQ(n.optDateFormat[i]->text(), formats[i]);
    }
    EXPECT_TRUE(n.optDateFormat[0]->isChecked());
    // The three are one choice.
    n.optDateFormat[2]->click();
    EXPECT_FALSE(n.optDateFormat[0]->isChecked());
    EXPECT_TRUE(n.optDateFormat[2]->isChecked());
    EXPECT_TRUE(n.img_x_on->isHidden());
    expectUniqueNames(&n);
}

TEST_F(SmallWindows, ReportOptionsKeepTheirTicksAcrossShowings)
{
    FrmReport r;
    EXPECT_EQ(r.objectName(), "frmReport");
    EXPECT_EQ(r.windowTitle(), "Rockvista Reporting");
    EXPECT_EQ(r.fraPlots->title(), "Plots:");
    EXPECT_EQ(r.lblSelect->text(), "Select the contents to include in the report:");
    const std::pair<QCheckBox*, const char*> boxes[] = {
        {r.chkTemp, "Load v Time"}, {r.chkRate, "Disp v Time"}, {r.chkSpatial, "Load v Length"}, {r.chkDvL, "Disp v Length"}};
    for (const auto& [box, text] : boxes)
        EXPECT_EQ(box->text(), text);
    for (const char* name : {"chkTemp", "chkRate", "chkSpatial", "chkDvL", "cmdOK", "cmdCancel"})
        EXPECT_EQ(r.findChildren<QWidget*>(QString::fromLatin1(name)).size(), 1) << name;
    EXPECT_EQ(r.cmdOK->text(), "OK");
    EXPECT_EQ(r.cmdCancel->text(), "Cancel");
    expectUniqueNames(&r);

    r.chkRate->setChecked(true);
    EXPECT_EQ(pressDuring(r, r.cmdOK), QDialog::Accepted);
    EXPECT_TRUE(r.isHidden());
    EXPECT_EQ(pressDuring(r, r.cmdCancel), QDialog::Rejected);
    EXPECT_TRUE(r.chkRate->isChecked());
}

} // namespace
