#include <gtest/gtest.h>

#include <QFile>
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

// The theme icons installed for tray hosts are these outlines. Run with
// DZ_WRITE_SYMBOLIC_ICONS=1 to write them again after changing the art.
TEST(MenuBarIconArtTest, InstalledSymbolicIconsAreTheArt) {
    for (MenuBarIcon icon : menubaricon::allCases) {
        const QString name = MenuBarIconArt::symbolicName(icon);
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(name, QStringLiteral("dozuzavuvu-") + QString::fromUtf8(menubaricon::rawValue(icon)) +
                            QStringLiteral("-symbolic"));
        QFile file(QStringLiteral(DZ_SOURCE_DIR "/ui/data/status/") + name + QStringLiteral(".svg"));
        const QString svg = MenuBarIconArt::symbolicSVG(icon);
        if (qEnvironmentVariableIsSet("DZ_WRITE_SYMBOLIC_ICONS")) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(svg.toUtf8());
            continue;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString installed = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(installed.contains(QStringLiteral("fill-rule=\"evenodd\"")));
        // The monogram's letter comes from whichever font is installed; the
        // drawn outlines must match exactly.
        if (icon != MenuBarIcon::monogram)
            EXPECT_EQ(installed, svg);
        else
            EXPECT_GT(installed.count(QLatin1Char('M')), 1);  // the square and the letter
    }
}

}  // namespace
}  // namespace dz
