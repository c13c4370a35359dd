#include "ui/SkinLayout.h"
#include "platform/IniFile.h"
#include "ui/CPngButton.h"

#include <QImage>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

const IniFile kLayout = IniFile::parse("[BUTTONINFO]\n"
                                       "LIST=10,20,30,40\n"
                                       "LIST_JUNK=10,20,30,40,junk\n"
                                       "CONTROL_BLFXStatic=328,587,140,24\n"
                                       "CONTROL_BLFXLStaPic=328,615,60,32\n"
                                       "CONTROL_BLFXRStaPic=394,615,60,32\n"
                                       "CONTROL_BLFXStatic2=628,513,200,50\n"
                                       "CONTROL_BLFXLStaPic2=628,541,10,10\n"
                                       "CONTROL_BLFXRStaPic2=694,541,90,90\n"
                                       "PART=50,60,20,10\n"
                                       "PICTURE=101,51,1,1\n");

TEST(SkinLayout, PlaceControlTakesTheWholeRectangle) {
    QLabel a, b, missing;
    placeControl(a, kLayout, u"LIST");
    placeControl(b, kLayout, u"LIST_JUNK");
    placeControl(missing, kLayout, u"NOPE");
    EXPECT_EQ(a.geometry(), QRect(10, 20, 30, 40));
    EXPECT_EQ(b.geometry(), QRect(10, 20, 30, 40));
    EXPECT_EQ(missing.geometry(), QRect(1, 1, 1, 1));
}

TEST(SkinLayout, DirectionControlsKeepTheirSizeWhenMovedToAnotherMode) {
    // Mode 18 places the three direction controls by the plain keys; mode 1 moves them to the "2" keys.
    QLabel caption, left, right;
    placeControl(caption, kLayout, u"CONTROL_BLFXStatic");
    placeControl(left, kLayout, u"CONTROL_BLFXLStaPic");
    placeControl(right, kLayout, u"CONTROL_BLFXRStaPic");
    moveControl(caption, kLayout, u"CONTROL_BLFXStatic2");
    moveControl(left, kLayout, u"CONTROL_BLFXLStaPic2");
    moveControl(right, kLayout, u"CONTROL_BLFXRStaPic2");
    EXPECT_EQ(caption.geometry(), QRect(628, 513, 140, 24));
    EXPECT_EQ(left.geometry(), QRect(628, 541, 60, 32));
    EXPECT_EQ(right.geometry(), QRect(694, 541, 60, 32));
}

TEST(SkinLayout, PlaceControlWithPictureShowsTheOtherKeysPartInEveryState) {
    QImage img(300, 150, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb(x & 0xFF, y, 9));
        }
    }
    const QPixmap pic = QPixmap::fromImage(img);
    CPngButton b;
    b.setPictures(1, 1, &pic, &pic, &pic, &pic, &pic);
    placeControlWithPicture(b, kLayout, u"PART", u"PICTURE");
    EXPECT_EQ(b.geometry(), QRect(50, 60, 20, 10));
    EXPECT_EQ(b.pictureOffset(), QPoint(101, 51));
    EXPECT_EQ(b.grab().toImage().pixel(0, 0), qRgb(100, 50, 9));
    b.setEnabled(false);
    EXPECT_EQ(b.grab().toImage().pixel(0, 0), qRgb(100, 50, 9));
}

class RequiredPictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"a.png", "b.jpg"}) {
            QImage img(8, 8, QImage::Format_RGB32);
            img.fill(Qt::red);
            ASSERT_TRUE(img.save(dir.filePath(QString::fromLatin1(name))));
        }
    }
    std::filesystem::path folder() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

TEST_F(RequiredPictures, AllPresentLoadsThemInOrder) {
    std::vector<std::filesystem::path> reported;
    std::vector<QPixmap> out;
    EXPECT_TRUE(loadRequiredPictures(folder(), {"b.jpg", "a.png"}, out,
                                     [&](const std::filesystem::path& p) { reported.push_back(p); }));
    EXPECT_TRUE(reported.empty());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_FALSE(out[0].isNull());
    EXPECT_FALSE(out[1].isNull());
}

TEST_F(RequiredPictures, AMissingPictureGoesToTheHandler) {
    std::vector<std::filesystem::path> reported;
    std::vector<QPixmap> out;
    EXPECT_FALSE(loadRequiredPictures(folder(), {"a.png", "gone.jpg", "b.jpg"}, out,
                                      [&](const std::filesystem::path& p) { reported.push_back(p); }));
    EXPECT_EQ(reported, (std::vector<std::filesystem::path>{folder() / "gone.jpg"}));

    std::vector<std::filesystem::path> missing;
    const std::vector<QPixmap> loaded = loadPictures(folder(), {"a.png", "gone.jpg"}, &missing);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_TRUE(loaded[1].isNull());
    EXPECT_EQ(missing.size(), 1u);
}

TEST_F(RequiredPictures, TheProgramsHandlerEndsTheProcessWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<QPixmap> out;
    EXPECT_EXIT(loadRequiredPictures(folder(), {"gone.jpg"}, out), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tarvik::ui
