#include "ui/CSkinColorBtn.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <optional>

namespace tarvik::ui {
namespace {

class ScriptedChooser : public ColorChooser {
public:
    explicit ScriptedChooser(std::optional<int> answer) : answer_(answer) {}
    std::optional<int> chooseColor(int initial, QWidget*) override {
        asked.push_back(initial);
        return answer_;
    }
    std::vector<int> asked;

private:
    std::optional<int> answer_;
};

TEST(SkinColorBtn, AutomaticYieldsMinusOneButTellsItsUsersTheAutomaticColour) {
    CSkinColorBtn b;
    b.setAutomaticColor(0x0000FF);
    b.setColor(0x00FF00);
    QSignalSpy spy(&b, &CSkinColorBtn::colorChosen);
    b.openPopup();
    ASSERT_NE(b.popup(), nullptr);
    b.popup()->automaticEntry()->click();
    EXPECT_EQ(b.color(), -1);
    EXPECT_EQ(b.effectiveColor(), 0x0000FF);
    // Never -1, whose low bytes would be white on the wire.
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 0x0000FF);
    EXPECT_FALSE(b.popup()->isVisible());

    // "more" on an automatic button starts from the automatic colour.
    ScriptedChooser chooser(std::nullopt);
    b.setColorChooser(&chooser);
    b.openPopup();
    b.popup()->moreEntry()->click();
    EXPECT_EQ(chooser.asked, (std::vector<int>{0x0000FF}));
}

TEST(SkinColorBtn, PaletteHasTenColumnsAndEachEntryPicksItsColour) {
    CSkinColorBtn b;
    b.openPopup();
    const auto palette = CSkinColorBtn::palette();
    EXPECT_EQ(palette.size() % CSkinColorBtn::kPaletteColumns, 0u);
    for (int i : {0, 11, static_cast<int>(palette.size()) - 1}) {
        b.openPopup();
        b.popup()->paletteEntry(i)->click();
        EXPECT_EQ(b.color(), palette[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(b.popup()->paletteEntry(static_cast<int>(palette.size())), nullptr);
}

TEST(SkinColorBtn, MoreAsksTheChooserAndACancelChangesNothing) {
    CSkinColorBtn b;
    b.setColor(0x102030);
    QSignalSpy spy(&b, &CSkinColorBtn::colorChosen);
    ScriptedChooser cancel(std::nullopt);
    b.setColorChooser(&cancel);
    b.openPopup();
    b.popup()->moreEntry()->click();
    EXPECT_EQ(cancel.asked, (std::vector<int>{0x102030}));
    EXPECT_EQ(b.color(), 0x102030);
    EXPECT_EQ(spy.count(), 0);

    ScriptedChooser pick(0x654321);
    b.setColorChooser(&pick);
    b.openPopup();
    b.popup()->moreEntry()->click();
    EXPECT_EQ(b.color(), 0x654321);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 0x654321);
}

TEST(SkinColorBtn, ColourRefsKeepRedInTheLowByte) {
    EXPECT_EQ(toColorRef(QColor(1, 2, 3)), 0x030201);
    EXPECT_EQ(fromColorRef(0x030201), QColor(1, 2, 3));
    CSkinColorBtn b;
    b.setColor(0x7F123456); // bits above the colour are not kept
    EXPECT_EQ(b.color(), 0x123456);
}

TEST(SkinColorBtn, PaintsColourGreyHalfAndTriangle) {
    CSkinColorBtn b;
    b.resize(80, 26);
    b.setColor(toColorRef(QColor(0, 200, 0)));
    const QImage img = b.grab().toImage();
    // Face 3..76 x 3..22, middle 13; the colour half ends at x 40.
    EXPECT_EQ(img.pixel(20, 13), qRgb(0, 200, 0));
    EXPECT_EQ(img.pixel(50, 13), qRgb(148, 146, 139));
    EXPECT_EQ(img.pixel(77 - 8, 13), qRgb(0, 0, 0));
    b.setColor(CSkinColorBtn::kAutomatic);
    b.setAutomaticColor(toColorRef(QColor(0, 0, 255)));
    EXPECT_EQ(b.grab().toImage().pixel(20, 13), qRgb(0, 0, 255));
}

} // namespace
} // namespace tarvik::ui
