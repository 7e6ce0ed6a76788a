// The about box: its design, the makers' logos as links, and "Close".

#include "about.h"
#include "app_test_env.h"
#include "scripted_dialogs.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quadrel;

namespace {

// Whether a picture holds anything but white.
bool HasInk(const QPixmap& pm) {
    const QImage img = pm.toImage();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

TEST(AboutBox, AsDesigned) {
    TForm2 box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_FALSE(box.isVisible()); // created hidden
    EXPECT_EQ(box.size(), QSize(264, 271));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()); // not resizable
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(box.Label1->text(), "Quadrel 1.03");
    EXPECT_TRUE(box.Label2->text().contains("Norvane"));
    EXPECT_TRUE(box.Label2->text().contains("Pathwell"));
    const struct {
        QWidget* Widget;
        QRect Geometry;
    } parts[] = {
        {box.Image1, QRect(8, 56, 241, 56)},
        {box.Image2, QRect(8, 118, 241, 102)},
        {box.CloseButton, QRect(95, 240, 75, 25)},
    };
    for (const auto& p : parts)
        EXPECT_EQ(p.Widget->geometry(), p.Geometry) << p.Widget->objectName().toStdString();
    EXPECT_EQ(box.Label1->pos(), QPoint(8, 8));
    EXPECT_EQ(box.Label2->pos(), QPoint(8, 24));
    EXPECT_EQ(box.CloseButton->text(), "Close");
    EXPECT_TRUE(box.CloseButton->isDefault());
}

TEST(AboutBox, LogosAreLinksToTheMakers) {
    TForm2 box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const struct {
        TLinkPicture* Logo;
        const char* Hint;
        const char* Url;
    } logos[] = {
        {box.Image1, "Visit Norvane website", TForm2::NorvaneUrl},
        {box.Image2, "Visit Pathwell website", TForm2::PathwellUrl},
    };
    apptest::OpenedUrls opened;
    for (const auto& l : logos) {
        EXPECT_EQ(l.Logo->toolTip(), l.Hint);
        EXPECT_EQ(l.Logo->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(HasInk(l.Logo->pixmap()));
        QTest::mouseClick(l.Logo, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        ASSERT_FALSE(opened.Urls.empty());
        EXPECT_EQ(opened.Urls.back().toString().toStdString(), l.Url);
    }
    // Only a left click opens a site.
    QTest::mouseClick(box.Image1, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(opened.Urls.size(), 2u);
}

TEST(AboutBox, CloseEndsTheModalBox) {
    TForm2 box;
    QTimer::singleShot(0, &box, [&] {
        EXPECT_TRUE(box.isVisible());
        box.CloseButton->click();
    });
    box.exec();
    EXPECT_FALSE(box.isVisible());
}

} // namespace
