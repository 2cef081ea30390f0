// Click targets, drawn pictures and the file-dialog filter.
#include "TestApp.h"
#include "ui/RealSeams.h"
#include "ui/Widgets.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;
using pictures::Kind;

namespace {

class Widgets : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(); }
};

template <class W>
void expectClicksOnLeftReleaseInside(W& widget)
{
    widget.resize(60, 30);
    widget.show();
    QSignalSpy spy(&widget, &W::clicked);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(spy.count(), 1);
    QTest::mouseClick(&widget, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(spy.count(), 1);
    // Pressed inside, released outside: the user changed their mind.
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(widget.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(Widgets, ClickLabelAndImageButtonClickOnLeftReleaseInside)
{
    ClickLabel label(QStringLiteral("Next"));
    EXPECT_EQ(label.text(), "Next");
    expectClicksOnLeftReleaseInside(label);
    ImageButton button(pictures::make(Kind::Next));
    EXPECT_FALSE(button.pixmap().isNull());
    expectClicksOnLeftReleaseInside(button);
}

int opaquePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

TEST_F(Widgets, EveryPictureIsDrawnAtTheSizeAsked)
{
    QList<QImage> seen;
    for (int k = 0; k <= int(Kind::Spreadsheet); ++k) {
        for (int size : {16, 32, 64}) {
            const QPixmap p = pictures::make(Kind(k), size);
            EXPECT_EQ(p.size(), QSize(size, size)) << k;
            // Something is drawn, and the corners stay clear.
            const QImage image = p.toImage();
            EXPECT_GT(opaquePixels(image), size * size / 10) << k;
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << k;
        }
        const QImage image = pictures::make(Kind(k)).toImage();
        EXPECT_FALSE(seen.contains(image)) << "picture " << k << " looks like another one";
        seen << image;
    }
}

TEST_F(Widgets, FileDialogFilterTakesTheClassicForm)
{
    EXPECT_EQ(fileDialogFilter("Text (*.txt) | *.txt"), "Text (*.txt)");
    EXPECT_EQ(fileDialogFilter("Text|*.txt"), "Text (*.txt)");
    EXPECT_EQ(fileDialogFilter("Text|*.txt|All files|*.*"), "Text (*.txt);;All files (*.*)");
    EXPECT_EQ(fileDialogFilter("Pictures|*.jpg;*.png"), "Pictures (*.jpg *.png)");
    EXPECT_EQ(fileDialogFilter("Text (*.txt)"), "Text (*.txt)");
    EXPECT_EQ(fileDialogFilter(""), "");
}

} // namespace
