#include "info/brand.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

// Paints one logo into a transparent image.
QImage paintedLogo(const brand::Maker& maker, QSize image_size, const QRectF& area) {
    QImage image(image_size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    brand::paintLogo(painter, maker, area);
    return image;
}

int paintedPixels(const QImage& image, const QRect& region) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) ++count;
    return count;
}

TEST(BrandTest, EachLogoFillsItsSquareAndStaysInside) {
    // A tall area: the logo is the 40 x 40 square centred in it.
    const QSize image_size(100, 100);
    const QRectF area(10, 20, 40, 60);
    const QRect square(10, 30, 40, 40);
    for (const brand::Maker& maker : brand::makers()) {
        SCOPED_TRACE(maker.name);
        const QImage image = paintedLogo(maker, image_size, area);
        const int inside = paintedPixels(image, square);
        EXPECT_GT(inside, square.width() * square.height() / 5);
        EXPECT_EQ(paintedPixels(image, image.rect()), inside);
    }
}

}  // namespace
