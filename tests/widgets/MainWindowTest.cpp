// The main window's controls: names, kinds, captions and starting states.
#include "TestApp.h"
#include "ui/FrmRockvista.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <gtest/gtest.h>
#include <memory>

using namespace rv;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApp();
        w = std::make_unique<FrmRockvista>();
    }

    template <class T>
    void expectOne(T* member, const QString& name)
    {
        SCOPED_TRACE(name.toStdString());
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(member->objectName(), name);
        const auto found = w->findChildren<T*>(name);
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found.first(), member);
    }

    QString caption(const char* name) const
    {
        auto* label = w->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<missing>");
    }

    std::unique_ptr<FrmRockvista> w;
};

TEST_F(MainWindow, WindowTitleNameAndTabs)
{
    EXPECT_EQ(w->objectName(), "frmRockvista");
    EXPECT_EQ(w->windowTitle(), "Rockvista g-STAY");
    expectOne(w->SSTab1, "SSTab1");
    const QStringList tabs = {"1. Identification", "2. Installation", "3. Readings", "4. Strain v t (Long)",
                              "5. Load v t (Long)", "6. Strain v t (Short)", "7. Load v t (Short)", "8. Utilities"};
    ASSERT_EQ(w->SSTab1->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(w->SSTab1->tabText(i), tabs[i]);
    EXPECT_EQ(w->SSTab1->currentIndex(), 0);
}

TEST_F(MainWindow, EveryMemberIsCreatedAndNamedAfterItself)
{
#define ONE(m) expectOne(w->m, QStringLiteral(#m))
    ONE(cboSensors); ONE(imgAddSensor); ONE(Label57); ONE(imgDelete); ONE(Label55); ONE(imgPrevious);
    ONE(Label56); ONE(imgNext); ONE(Label59); ONE(txtSnav); ONE(txtSensor); ONE(txtMineID); ONE(txtDateID);
    ONE(txtTypeID); ONE(txtSensorNo); ONE(txtFamily); ONE(txtLengthLongG); ONE(txtLengthShortG);
    ONE(txtBoltkfactor); ONE(txtElasticLimit); ONE(txtPerfectPlasticLimit); ONE(txtUltimateStrength);
    ONE(txtElongation); ONE(txtNumGauges); ONE(imgheart); ONE(imgalive); ONE(imgdead);
    ONE(txtSensor2); ONE(txtLevel); ONE(txtLocation); ONE(txtBorehole); ONE(txtInstallDate); ONE(txtInstallBy);
    ONE(txtPurpose); ONE(txtNotes); ONE(lblNotes); ONE(cboDestroyed); ONE(txtDestructionDate); ONE(lbloption);
    ONE(txtSensor3); ONE(txtReadingID); ONE(dtpRdate); ONE(dtpRtime); ONE(txtChannelT); ONE(Label47);
    ONE(lblTemp); ONE(chkTemporal); ONE(txtRcount); ONE(lblError); ONE(imgFirst); ONE(Label61);
    ONE(imgPrevData); ONE(Label62); ONE(imgNextData); ONE(Label60); ONE(imgLast); ONE(Label64);
    ONE(imgAddReading); ONE(Label63); ONE(imgDeleteReading); ONE(Label65); ONE(imgDatasheet); ONE(Label45);
    ONE(imgAddNuboData); ONE(cboNuboInt);
    ONE(ChartSLong); ONE(ChartLLong); ONE(ChartSShort); ONE(ChartLShort); ONE(cmdTemp); ONE(Command1);
    ONE(Command2); ONE(Command3); ONE(cmdTHelp);
    ONE(txtSCount); ONE(txtFilterType); ONE(txtFilterLevel); ONE(txtFilterLocation); ONE(txtStartDate);
    ONE(txtEndDate); ONE(chkDontShowDestroyed); ONE(imgFilter); ONE(lblFilterState); ONE(lblFilter);
    ONE(imgApplyFilter); ONE(imgRemoveFilter); ONE(imgBackup); ONE(Label42); ONE(imgRestore); ONE(Label27);
    ONE(lstFiles); ONE(imgReport); ONE(Label46); ONE(imgHelp); ONE(Label66); ONE(imgInternet); ONE(Label40);
    ONE(imgAbout); ONE(Label29);
#undef ONE
    for (int i = 1; i <= 3; ++i) {
        expectOne(w->txtNode[i], QStringLiteral("txtNode_%1").arg(i));
        expectOne(w->txtNodeI[i], QStringLiteral("txtNodeI_%1").arg(i));
    }
    for (int i = 1; i <= 6; ++i) {
        expectOne(w->txtChannel[i], QStringLiteral("txtChannel_%1").arg(i));
        expectOne(w->lbln[i], QStringLiteral("lbln_%1").arg(i));
        expectOne(w->lblmm[i], QStringLiteral("lblmm_%1").arg(i));
    }
    EXPECT_EQ(w->txtNode[0], nullptr);
    EXPECT_EQ(w->txtChannel[0], nullptr);
    EXPECT_TRUE(test::duplicateNames(w.get()).isEmpty()) << test::duplicateNames(w.get()).join(", ").toStdString();
}

TEST_F(MainWindow, StartingStates)
{
    EXPECT_TRUE(w->lblError->isHidden());
    EXPECT_TRUE(w->lblFilter->isHidden());
    for (QLabel* holder : {w->imgalive, w->imgdead, w->imgApplyFilter, w->imgRemoveFilter}) {
        EXPECT_TRUE(holder->isHidden()) << holder->objectName().toStdString();
        EXPECT_FALSE(holder->pixmap().isNull()) << holder->objectName().toStdString();
    }
    EXPECT_EQ(w->imgheart->pixmap().toImage(), w->imgalive->pixmap().toImage());
    EXPECT_NE(w->imgalive->pixmap().toImage(), w->imgdead->pixmap().toImage());
    EXPECT_EQ(w->imgFilter->pixmap().toImage(), w->imgApplyFilter->pixmap().toImage());

    for (QLineEdit* box : {w->txtSensor, w->txtSensor2, w->txtSensor3, w->txtMineID, w->txtSnav, w->txtSCount,
                           w->txtRcount, w->txtReadingID, w->txtNodeI[1], w->txtNodeI[2], w->txtNodeI[3]})
        EXPECT_TRUE(box->isReadOnly()) << box->objectName().toStdString();
    for (QLineEdit* box : {w->txtDateID, w->txtTypeID, w->txtSensorNo, w->txtLevel, w->txtChannel[1],
                           w->txtChannelT, w->txtNode[1], w->txtStartDate})
        EXPECT_FALSE(box->isReadOnly()) << box->objectName().toStdString();

    EXPECT_TRUE(w->cboSensors->isEditable());
    EXPECT_FALSE(w->cboDestroyed->isEditable());
    ASSERT_EQ(w->cboDestroyed->count(), 2);
    EXPECT_EQ(w->cboDestroyed->itemText(0), "Yes");
    EXPECT_EQ(w->cboDestroyed->itemText(1), "No");

    ASSERT_EQ(w->cboNuboInt->count(), 3);
    EXPECT_EQ(w->cboNuboInt->itemText(0), "1");
    EXPECT_EQ(w->cboNuboInt->itemText(1), "8");
    EXPECT_EQ(w->cboNuboInt->itemText(2), "24");
    EXPECT_EQ(w->cboNuboInt->currentText(), "24");

    EXPECT_TRUE(w->txtFilterType->isEditable());
    ASSERT_EQ(w->txtFilterType->count(), 1);
    EXPECT_EQ(w->txtFilterType->itemText(0), "75: g6STAY");
    EXPECT_EQ(w->txtFilterType->currentText(), "");

    EXPECT_EQ(w->dtpRdate->displayFormat(), "yyyy/MM/dd");
    EXPECT_EQ(w->dtpRtime->displayFormat(), "HH:mm:ss");
    EXPECT_EQ(w->dtpRtime->time(), QTime(12, 0));

    for (QChartView* v : {w->ChartSLong, w->ChartLLong, w->ChartSShort, w->ChartLShort}) {
        ASSERT_NE(v->chart(), nullptr);
        EXPECT_EQ(v->chart()->backgroundBrush().color(), QColor(Qt::white));
        EXPECT_TRUE(v->chart()->series().isEmpty());
    }
}

TEST_F(MainWindow, ClosingRunsTheUnloadHookFirst)
{
    int unloads = 0;
    bool allow = false;
    w->onUnload = [&] {
        ++unloads;
        return allow;
    };
    w->show();
    EXPECT_FALSE(w->close()); // refused: the window stays open
    EXPECT_TRUE(w->isVisible());
    allow = true;
    EXPECT_TRUE(w->close());
    EXPECT_EQ(unloads, 2);

    // Without a hook the window simply closes.
    FrmRockvista plain;
    plain.show();
    EXPECT_TRUE(plain.close());
}

TEST_F(MainWindow, FitsA1280By800ScreenWithoutClipping)
{
    w->resize(1280, 800);
    w->show();
    QApplication::processEvents();
    EXPECT_LE(w->minimumSizeHint().width(), 1280);
    EXPECT_LE(w->minimumSizeHint().height(), 800);
    for (int tab = 0; tab < w->SSTab1->count(); ++tab) {
        w->SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        for (QLabel* l : w->SSTab1->widget(tab)->findChildren<QLabel*>()) {
            if (!l->isVisible() || l->text().isEmpty() || l->wordWrap())
                continue;
            EXPECT_GE(l->width(), l->sizeHint().width()) << "tab " << tab << ": " << l->text().toStdString();
        }
    }
}

TEST_F(MainWindow, ThePositionAmongTenMillionReadingsShowsWhole)
{
    w->resize(1280, 800);
    w->show();
    w->SSTab1->setCurrentIndex(2);
    QApplication::processEvents();
    QLineEdit* count = w->txtRcount;
    count->setText(QStringLiteral("9999999 of 10000000"));
    const QRect room = count->contentsRect().marginsRemoved(count->textMargins());
    EXPECT_GE(room.width() - 4, count->fontMetrics().horizontalAdvance(count->text()));
}

} // namespace
