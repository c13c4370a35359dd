#include "ui/MaskRuns.h"
#include "ui/CBaseDialog.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::ui {
namespace {

constexpr uint32_t W = 0xFFFFFFFFu; // pure white: outside
constexpr uint32_t B = 0xFF000000u; // black: inside
constexpr uint32_t N = 0xFFFEFFFFu; // nearly white: inside

std::vector<MaskRun> runsOf(const std::vector<uint32_t>& px, int w, int h, size_t stride = 0) {
    return maskRuns(px.data(), w, h, stride == 0 ? static_cast<size_t>(w) : stride);
}

TEST(MaskRuns, AllWhiteHasNoRunsAndNoWhiteIsOneRunPerRow) {
    EXPECT_TRUE(runsOf(std::vector<uint32_t>(12, W), 4, 3).empty());
    EXPECT_EQ(runsOf(std::vector<uint32_t>(12, B), 4, 3),
              (std::vector<MaskRun>{{0, 0, 4}, {0, 1, 4}, {0, 2, 4}}));
}

TEST(MaskRuns, RingSplitsTheMiddleRow) {
    const std::vector<uint32_t> ring = {
        B, B, B, //
        B, W, B, //
        B, B, B, //
    };
    EXPECT_EQ(runsOf(ring, 3, 3), (std::vector<MaskRun>{{0, 0, 3}, {0, 1, 1}, {2, 1, 1}, {0, 2, 3}}));
}

TEST(MaskRuns, OnlyPureWhiteIsOutsideAndAlphaIsIgnored) {
    const std::vector<uint32_t> row = {N, 0x00FFFFFFu, W, 0x00000000u};
    EXPECT_EQ(runsOf(row, 4, 1), (std::vector<MaskRun>{{0, 0, 1}, {3, 0, 1}}));
}

TEST(MaskRuns, PaddingBeyondTheWidthIsNotRead) {
    // Two rows of width 2 with a stride of 3: the padding pixel is black but outside the picture.
    const std::vector<uint32_t> px = {W, W, B, B, W, B};
    EXPECT_EQ(runsOf(px, 2, 2, 3), (std::vector<MaskRun>{{0, 1, 1}}));
    EXPECT_TRUE(maskRuns(nullptr, 2, 2, 2).empty());
}

QImage maskImage(int w, int h, const QColor& fill) {
    QImage m(w, h, QImage::Format_RGB32);
    m.fill(fill);
    return m;
}

TEST(MaskRegion, AllWhiteIsEmptyAndNoWhiteIsTheFullRectangle) {
    EXPECT_TRUE(CBaseDialog::regionFromMask(maskImage(40, 30, Qt::white)).isEmpty());
    const QRegion full = CBaseDialog::regionFromMask(maskImage(40, 30, Qt::black));
    EXPECT_TRUE((full ^ QRegion(0, 0, 40, 30)).isEmpty());
    EXPECT_TRUE(CBaseDialog::regionFromMask(QImage()).isEmpty());
}

TEST(MaskRegion, RingLeavesItsHoleOutside) {
    QImage m = maskImage(20, 20, Qt::black);
    QPainter(&m).fillRect(QRect(5, 5, 10, 10), Qt::white);
    const QRegion ring = CBaseDialog::regionFromMask(m);
    EXPECT_TRUE((ring ^ (QRegion(0, 0, 20, 20) - QRegion(5, 5, 10, 10))).isEmpty());
    EXPECT_TRUE(ring.contains(QPoint(4, 10)));
    EXPECT_FALSE(ring.contains(QPoint(5, 10)));
    EXPECT_FALSE(ring.contains(QPoint(14, 14)));
    EXPECT_TRUE(ring.contains(QPoint(15, 14)));
}

TEST(MaskRegion, ManyRunsAreCombinedAcrossBatches) {
    // Vertical stripes: 50 runs per row, 100 rows = 5000 runs, more than two batches.
    QImage m = maskImage(100, 100, Qt::white);
    QRegion expected;
    {
        QPainter p(&m);
        for (int x = 0; x < 100; x += 2) {
            p.fillRect(QRect(x, 0, 1, 100), Qt::black);
            expected += QRect(x, 0, 1, 100);
        }
    }
    const QRegion stripes = CBaseDialog::regionFromMask(m);
    EXPECT_TRUE((stripes ^ expected).isEmpty());
    // Alike rows make one rectangle per stripe, not one per stripe and row: every control's paint is
    // clipped against this region.
    EXPECT_EQ(stripes.rectCount(), 50);
}

TEST(MaskRegion, RowsAlikeMakeOneRectangleAndRoundedCornersAFew) {
    EXPECT_EQ(CBaseDialog::regionFromMask(maskImage(40, 30, Qt::black)).rectCount(), 1);
    QImage ring = maskImage(20, 20, Qt::black);
    QPainter(&ring).fillRect(QRect(5, 5, 10, 10), Qt::white);
    EXPECT_EQ(CBaseDialog::regionFromMask(ring).rectCount(), 4); // top, left, right, bottom

    // A window with rounded corners and a gap row: every pixel where it was, few rectangles.
    QImage rounded = maskImage(300, 200, Qt::white);
    {
        QPainter p(&rounded);
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRect(0, 0, 300, 90), 12, 12);
        p.drawRoundedRect(QRect(0, 91, 300, 109), 12, 12);
    }
    QRegion pixels;
    for (int y = 0; y < rounded.height(); ++y) {
        for (int x = 0; x < rounded.width(); ++x) {
            if ((rounded.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                pixels += QRect(x, y, 1, 1);
            }
        }
    }
    const QRegion region = CBaseDialog::regionFromMask(rounded);
    EXPECT_TRUE((region ^ pixels).isEmpty());
    EXPECT_LE(region.rectCount(), 4 * 12 + 2);
}

} // namespace
} // namespace tarvik::ui
