#include "platform/IniFile.h"
#include "ui/CPngButton.h"
#include "ui/SkinLayout.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tarvik::ui {
namespace {

using Picture = CPngButton::Picture;

QPixmap solid(const QColor& c, QSize size = QSize(300, 150)) {
    QPixmap p(size);
    p.fill(c);
    return p;
}

// Pixel (x, y) is (x, y, 77): a button's grab tells which part of the picture it shows.
QPixmap coordinates() {
    QImage img(300, 150, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb(x & 0xFF, y, 77));
        }
    }
    return QPixmap::fromImage(img);
}

QRgb pixelOf(QWidget& w, int x, int y) {
    return w.grab().toImage().pixel(x, y);
}

struct Pictures {
    QPixmap normal = solid(QColor(10, 10, 10));
    QPixmap hover = solid(QColor(20, 200, 20));
    QPixmap pressed = solid(QColor(200, 20, 20));
    QPixmap disabled = solid(QColor(90, 90, 90));
    QPixmap selected = solid(QColor(20, 20, 200));
    QPixmap off = solid(QColor(0, 100, 100));
    QPixmap on = solid(QColor(250, 250, 0));
};

struct OrderCase {
    bool enabled, twoState, twoValue, down, hover, selected;
    Picture expected;
};

class PictureOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(PictureOrder, FollowsDisabledTwoStatePressedHoverSelectedNormal) {
    const OrderCase& c = GetParam();
    Pictures pics;
    CPngButton b;
    b.resize(40, 20);
    b.setPictures(11, 21, &pics.normal, &pics.hover, &pics.pressed, &pics.disabled, &pics.selected);
    b.setTwoStatePictures(&pics.off, &pics.on);
    b.setEnabled(c.enabled);
    b.setTwoStateMode(c.twoState);
    b.setTwoStateValue(c.twoValue);
    b.setDown(c.down);
    b.setHover(c.hover);
    b.setSelected(c.selected);
    EXPECT_EQ(b.currentPicture(), c.expected);

    const QPixmap* shown = nullptr;
    switch (c.expected) {
    case Picture::Normal:
        shown = &pics.normal;
        break;
    case Picture::Hover:
        shown = &pics.hover;
        break;
    case Picture::Pressed:
        shown = &pics.pressed;
        break;
    case Picture::Disabled:
        shown = &pics.disabled;
        break;
    case Picture::Selected:
        shown = &pics.selected;
        break;
    case Picture::TwoStateOff:
        shown = &pics.off;
        break;
    case Picture::TwoStateOn:
        shown = &pics.on;
        break;
    case Picture::None:
        break;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(pixelOf(b, 20, 10), shown->toImage().pixel(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    States, PictureOrder,
    ::testing::Values(
        // A disabled button shows its disabled picture even while hovered, pressed or two-state.
        OrderCase{false, false, false, false, true, false, Picture::Disabled},
        OrderCase{false, true, true, true, true, true, Picture::Disabled},
        OrderCase{true, true, true, true, true, true, Picture::TwoStateOn},
        OrderCase{true, true, false, true, true, true, Picture::TwoStateOff},
        OrderCase{true, false, false, true, true, true, Picture::Pressed},
        OrderCase{true, false, false, false, true, true, Picture::Hover},
        OrderCase{true, false, false, false, false, true, Picture::Selected},
        OrderCase{true, false, false, false, false, false, Picture::Normal}));

TEST(PngButton, ButtonAt101_51DrawsFromPicturePixel100_50) {
    const QPixmap pic = coordinates();
    const IniFile ini = IniFile::parse("[BUTTONINFO]\nKEY_01E=101,51,40,20\n");
    CPngButton b;
    placeImageButton(b, ini, u"KEY_01E", StatePictures{&pic, &pic, &pic, &pic, &pic});
    EXPECT_EQ(b.geometry(), QRect(101, 51, 40, 20));
    EXPECT_TRUE(b.isEnabled());
    const QImage shown = b.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(100, 50, 77));
    EXPECT_EQ(shown.pixel(39, 19), qRgb(139, 69, 77));
}

TEST(PngButton, PlacedAtOneOneIsDisabledWhateverItsSize) {
    Pictures pics;
    const IniFile ini = IniFile::parse("[BUTTONINFO]\nA=1,1,50,20\nB=2,1,50,20\n");
    const StatePictures set{&pics.normal, &pics.hover, &pics.pressed, &pics.disabled, &pics.selected};
    CPngButton a, b, missing;
    placeImageButton(a, ini, u"A", set);
    placeImageButton(b, ini, u"B", set);
    placeImageButton(missing, ini, u"NOT_THERE", set);
    EXPECT_FALSE(a.isEnabled());
    EXPECT_EQ(a.size(), QSize(50, 20));
    EXPECT_TRUE(b.isEnabled());
    EXPECT_FALSE(missing.isEnabled());
    EXPECT_EQ(missing.geometry(), QRect(1, 1, 1, 1));
}

TEST(PngButton, HoverFollowsTheMouseAndCarriesTheAfterPaintFlag) {
    Pictures pics;
    CPngButton b;
    b.resize(30, 30);
    b.setPictures(1, 1, &pics.normal, &pics.hover, &pics.pressed, &pics.disabled, &pics.selected);
    std::vector<bool> normalShown;
    b.setAfterPaint([&](CPngButton&, QPainter&, bool normal) { normalShown.push_back(normal); });

    EXPECT_EQ(pixelOf(b, 5, 5), pics.normal.toImage().pixel(0, 0));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&b, &move);
    EXPECT_TRUE(b.isHover());
    EXPECT_EQ(pixelOf(b, 5, 5), pics.hover.toImage().pixel(0, 0));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&b, &leave);
    EXPECT_FALSE(b.isHover());
    EXPECT_EQ(pixelOf(b, 5, 5), pics.normal.toImage().pixel(0, 0));
    EXPECT_EQ(normalShown, (std::vector<bool>{true, false, true}));
}

TEST(PngButton, TintFrameAndCaptionPaintOverThePicture) {
    const QPixmap black = solid(Qt::black);
    CPngButton b;
    b.resize(60, 30);
    b.setPictures(1, 1, &black, &black, &black, &black, &black);

    b.setTint(QColor(255, 0, 0), 50);
    const QColor tinted(pixelOf(b, 30, 15));
    EXPECT_NEAR(tinted.red(), 50, 2);
    EXPECT_EQ(tinted.green(), 0);
    b.clearTint();
    EXPECT_EQ(pixelOf(b, 30, 15), qRgb(0, 0, 0));

    b.setText(QStringLiteral("WWW"));
    auto brightPixels = [&] {
        const QImage img = b.grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                n += qGray(img.pixel(x, y)) > 128;
            }
        }
        return n;
    };
    EXPECT_EQ(brightPixels(), 0);
    b.setCaptionStyle(true, 12, QStringLiteral("DejaVu Sans"), Qt::white);
    EXPECT_GT(brightPixels(), 20);
    b.setCaptionRotation(900);
    EXPECT_GT(brightPixels(), 20);
    b.setCaptionStyle(false);

    b.setFrameMode(true, QColor(0, 255, 0));
    const QImage framed = b.grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(59, 29), QPoint(58, 15), QPoint(30, 28)}) {
        EXPECT_EQ(framed.pixel(p), qRgb(0, 255, 0)) << p.x() << "," << p.y();
    }
}

int brightPixelCount(QWidget& w) {
    const QImage img = w.grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += qGray(img.pixel(x, y)) > 160;
        }
    }
    return n;
}

TEST(PngButton, KeepsItsPicturesWhenTheDialogReplacesItsSet) {
    auto set = std::make_unique<std::vector<QPixmap>>(5, solid(QColor(10, 120, 10)));
    CPngButton b;
    b.resize(20, 20);
    const StatePictures pictures{&(*set)[0], &(*set)[1], &(*set)[2], &(*set)[3], &(*set)[4]};
    b.setPictures(1, 1, pictures.normal, pictures.hover, pictures.pressed, pictures.disabled,
                  pictures.selected);
    // A reload hands out a new set and frees the old one.
    set = std::make_unique<std::vector<QPixmap>>(5, solid(QColor(200, 0, 0)));
    EXPECT_EQ(pixelOf(b, 5, 5), qRgb(10, 120, 10));
}

TEST(PngButton, TooltipsSetEitherWayShowAfterTheDelay) {
    Pictures pics;
    CPngButton b;
    b.setPictures(1, 1, &pics.normal, &pics.hover, &pics.pressed, &pics.disabled, &pics.selected);
    b.resize(40, 20);
    b.setTipDelay(30);
    b.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b));

    // QWidget's own tooltip property reaches the button's tip.
    b.setToolTip(QStringLiteral("Key(A) Set: Macro(Build)"));
    EXPECT_EQ(b.tipText(), QStringLiteral("Key(A) Set: Macro(Build)"));
    b.setHover(true);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Key(A) Set: Macro(Build)"));
    b.setHover(false);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));

    // A tip set while the pointer already rests on the button still shows, and a shown tip follows a
    // new text at once.
    b.setToolTip(QString());
    b.setHover(true);
    b.setTipText(QStringLiteral("first"));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    b.setTipText(QStringLiteral("second"));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("second"));
    b.setHover(false);
}

TEST(PngButton, ADisabledButtonLooksDisabled) {
    const QPixmap dark = solid(QColor(30, 30, 30));
    const QPixmap lit = solid(QColor(40, 140, 220));
    CPngButton b;
    b.resize(80, 30);
    b.setText(QStringLiteral("Apply"));
    b.setCaptionStyle(true, 11, QStringLiteral("DejaVu Sans"), Qt::white);

    // Its own disabled picture: the words fade with it.
    b.setPictures(1, 1, &dark, &lit, &lit, &dark, &lit);
    const int enabledWords = brightPixelCount(b);
    ASSERT_GT(enabledWords, 10);
    b.setEnabled(false);
    EXPECT_EQ(brightPixelCount(b), 0);

    // A skin that gives the pressed picture for the disabled state: drawn dimmed, never highlighted.
    b.setPictures(1, 1, &dark, &lit, &lit, &lit, &lit);
    EXPECT_TRUE(b.dimsDisabledPicture());
    const QColor face(pixelOf(b, 2, 2));
    EXPECT_LT(face.blue(), 140);
    EXPECT_LT(face.value(), QColor(40, 140, 220).value() / 2 + 10);

    // One picture for every state is a display: it is shown as it is.
    b.setPictures(1, 1, &lit, &lit, &lit, &lit, &lit);
    EXPECT_FALSE(b.dimsDisabledPicture());
    EXPECT_EQ(pixelOf(b, 2, 2), qRgb(40, 140, 220));
}

TEST(PngButton, AScaledButtonShowsItsWholeLayoutRectangle) {
    const QPixmap pic = coordinates();
    CPngButton b;
    b.setPictures(101, 51, &pic, &pic, &pic, &pic, &pic);
    b.setSkinScale(0.5);
    b.resize(20, 10); // 40 x 20 layout pixels at half size
    const QImage shown = b.grab().toImage();
    EXPECT_NEAR(qRed(shown.pixel(0, 0)), 100, 2);
    EXPECT_NEAR(qRed(shown.pixel(19, 9)), 138, 3);
    EXPECT_NEAR(qGreen(shown.pixel(19, 9)), 68, 3);
}

TEST(PngButton, APictureAtTwiceTheDensityDrawsTheSamePart) {
    // The 2x picture holds at (2x, 2y) what the 1x one holds at (x, y).
    QImage img(600, 300, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb((x / 2) & 0xFF, y / 2, 77));
        }
    }
    QPixmap twice = QPixmap::fromImage(img);
    twice.setDevicePixelRatio(2.0);
    CPngButton b;
    b.setPictures(101, 51, &twice, &twice, &twice, &twice, &twice);
    b.resize(40, 20);
    const QImage shown = b.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(100, 50, 77));
    EXPECT_EQ(shown.pixel(39, 19), qRgb(139, 69, 77));
}

TEST(PngButton, PaintsNothingUnderItselfOnlyWhereEveryPictureCoversItsFace) {
    // Nothing is painted under an opaque button, so a face its pictures do not cover would show garbage.
    const QPixmap pic = solid(QColor(30, 30, 30));
    QPixmap twice = solid(QColor(30, 30, 30), QSize(600, 300));
    twice.setDevicePixelRatio(2.0);
    QPixmap clear(300, 150);
    clear.fill(Qt::transparent);
    struct Case {
        const char* what;
        std::function<void(CPngButton&)> set;
        bool opaque;
    };
    auto five = [](const QPixmap& p, int x = 11, int y = 21) {
        return [&p, x, y](CPngButton& b) { b.setPictures(x, y, &p, &p, &p, &p, &p); };
    };
    const Case cases[] = {
        {"every picture", five(pic), true},
        {"no pictures", [](CPngButton&) {}, false},
        {"no hover picture", [&](CPngButton& b) { b.setPictures(11, 21, &pic, nullptr, &pic, &pic, &pic); },
         false},
        {"no disabled picture",
         [&](CPngButton& b) { b.setPictures(11, 21, &pic, &pic, &pic, nullptr, &pic); }, false},
        {"past the picture's edge", five(pic, 270, 21), false},
        {"a picture with transparent pixels", five(clear), false},
        {"frame mode",
         [&](CPngButton& b) {
             five(pic)(b);
             b.setFrameMode(true, Qt::red);
         },
         false},
        {"two states with their pair",
         [&](CPngButton& b) {
             b.setPictures(11, 21, nullptr, nullptr, nullptr, &pic, nullptr);
             b.setTwoStatePictures(&pic, &pic);
             b.setTwoStateMode(true);
         },
         true},
        {"two states without their pair",
         [&](CPngButton& b) {
             five(pic)(b);
             b.setTwoStateMode(true);
         },
         false},
        {"at half size, inside", // 80 x 40 layout pixels
         [&](CPngButton& b) {
             five(pic, 201, 101)(b);
             b.setSkinScale(0.5);
         },
         true},
        {"at half size, past the edge",
         [&](CPngButton& b) {
             five(pic, 231, 21)(b);
             b.setSkinScale(0.5);
         },
         false},
        {"a picture at twice the density", five(twice, 251, 121), true},
        {"past a twice-density picture's edge", five(twice, 271, 121), false},
    };
    for (const Case& c : cases) {
        CPngButton b;
        b.resize(40, 20);
        c.set(b);
        EXPECT_EQ(b.picturesCoverFace(), c.opaque) << c.what;
        EXPECT_EQ(b.testAttribute(Qt::WA_OpaquePaintEvent), c.opaque) << c.what;
    }

    // The flag follows later changes of the pictures, the frame and the size (a hidden widget learns its
    // size when it is shown, before it is painted).
    CPngButton b;
    b.resize(40, 20);
    five(pic)(b);
    b.show();
    ASSERT_TRUE(b.testAttribute(Qt::WA_OpaquePaintEvent));
    b.setFrameMode(true, Qt::red);
    EXPECT_FALSE(b.testAttribute(Qt::WA_OpaquePaintEvent));
    b.setFrameMode(false);
    EXPECT_TRUE(b.testAttribute(Qt::WA_OpaquePaintEvent));
    b.resize(300, 20); // wider than what is left of the picture
    EXPECT_FALSE(b.testAttribute(Qt::WA_OpaquePaintEvent));
    b.resize(40, 20);
    b.setPictureOffset(290, 21);
    EXPECT_FALSE(b.testAttribute(Qt::WA_OpaquePaintEvent));
}

} // namespace
} // namespace tarvik::ui
