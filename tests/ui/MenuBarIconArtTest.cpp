#include <gtest/gtest.h>

#include <QImage>

#include "ui/MenuBarIconArt.h"

namespace dz {
namespace {

int opaquePixels(const QImage& image, int minimumAlpha) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) >= minimumAlpha;
    return n;
}

TEST(MenuBarIconArtTest, EveryIconFillsPartOfTheCanvasAndStaysInside) {
    const QRectF canvas(0, 0, MenuBarIconArt::canvas, MenuBarIconArt::canvas);
    for (MenuBarIcon icon : menubaricon::allCases) {
        SCOPED_TRACE(std::string(menubaricon::rawValue(icon)));
        const QPainterPath path = MenuBarIconArt::path(icon);
        EXPECT_TRUE(canvas.contains(path.boundingRect())) << path.boundingRect().width();
        const QImage image = MenuBarIconArt::pixmap(icon, Qt::black, false, 36).toImage();
        const int covered = opaquePixels(image, 128);
        // Neither a blank nor a solid square: a recognisable shape.
        EXPECT_GT(covered, 36 * 36 / 8);
        EXPECT_LT(covered, 36 * 36 * 3 / 4);
        // Dimmed is the same shape, fainter.
        const QImage dimmed = MenuBarIconArt::pixmap(icon, Qt::black, true, 36).toImage();
        EXPECT_EQ(opaquePixels(dimmed, 128), 0);
        EXPECT_GT(opaquePixels(dimmed, 60), covered / 2);
    }
}

TEST(MenuBarIconArtTest, AnvilFollowsItsPathAndMonogramKnocksOutItsLetter) {
    const QPainterPath anvil = MenuBarIconArt::path(MenuBarIcon::anvil);
    // The face is at the top (y 2.5 to 5.6 from the top), the foot at the bottom.
    EXPECT_TRUE(anvil.contains(QPointF(10, 3.5)));
    EXPECT_TRUE(anvil.contains(QPointF(9.5, 14.5)));
    EXPECT_FALSE(anvil.contains(QPointF(2, 14.5)));
    EXPECT_NEAR(anvil.boundingRect().left(), 0.2, 0.01);
    EXPECT_NEAR(anvil.boundingRect().right(), 17.6, 0.01);

    const QImage monogram = MenuBarIconArt::pixmap(MenuBarIcon::monogram, Qt::black, false, 72).toImage();
    EXPECT_GT(qAlpha(monogram.pixel(14, 14)), 200);  // inside the square's corner
    EXPECT_GT(qAlpha(monogram.pixel(36, 6)), 200);   // above the letter
    int knockedOut = 0;                              // the letter's strokes are transparent
    for (int x = 16; x < 56; ++x) knockedOut += qAlpha(monogram.pixel(x, 36)) < 50;
    EXPECT_GT(knockedOut, 4);
}

}  // namespace
}  // namespace dz
