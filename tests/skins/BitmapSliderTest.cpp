#include "ui/CBitmapSlider.h"
#include "ui/SkinLayout.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tarvik::ui {
namespace {

constexpr int kId = 1178;

// The notifications delivered so far, as (control id, position).
std::vector<std::pair<int, int>> delivered(QSignalSpy& spy) {
    QCoreApplication::processEvents();
    std::vector<std::pair<int, int>> out;
    for (const QList<QVariant>& args : spy) {
        out.emplace_back(args.at(0).toInt(), args.at(1).toInt());
    }
    spy.clear();
    return out;
}

void key(CBitmapSlider& s, int k, QEvent::Type type = QEvent::KeyPress) {
    QKeyEvent e(type, k, Qt::NoModifier);
    QCoreApplication::sendEvent(&s, &e);
}

void mouse(CBitmapSlider& s, QEvent::Type type, int x, Qt::MouseButtons held) {
    const QPointF at(x, 5);
    QMouseEvent e(type, at, s.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  held, Qt::NoModifier);
    QCoreApplication::sendEvent(&s, &e);
}

void wheel(CBitmapSlider& s, int dy) {
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&s, &e);
}

TEST(BitmapSlider, PositionIsClampedToTheRangeAndDoesNotNotify) {
    CBitmapSlider s(kId);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    s.setRange(0, 5);
    s.setPosition(9);
    EXPECT_EQ(s.position(), 5);
    s.setPosition(-3);
    EXPECT_EQ(s.position(), 0);
    s.setPosition(4);
    s.setRange(0, 2);
    EXPECT_EQ(s.position(), 2);
    // An inverted range collapses to its minimum instead of clamping into nothing.
    s.setRange(5, 2);
    EXPECT_EQ(s.maximum(), 5);
    EXPECT_EQ(s.position(), 5);
    EXPECT_TRUE(delivered(spy).empty());
}

struct KeyCase {
    int key;
    int from;
    int expected;
};

class SliderKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SliderKeys, EachKeyMovesAndNotifiesOnce) {
    CBitmapSlider s(kId);
    s.setRange(0, 5);
    s.setPageStep(2);
    s.setPosition(GetParam().from);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    key(s, GetParam().key);
    key(s, GetParam().key, QEvent::KeyRelease);
    EXPECT_EQ(s.position(), GetParam().expected);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, GetParam().expected}}));
}

INSTANTIATE_TEST_SUITE_P(Keys, SliderKeys,
                         ::testing::Values(KeyCase{Qt::Key_PageUp, 3, 1}, KeyCase{Qt::Key_PageUp, 1, 0},
                                           KeyCase{Qt::Key_PageDown, 2, 4}, KeyCase{Qt::Key_PageDown, 4, 5},
                                           KeyCase{Qt::Key_Home, 3, 0}, KeyCase{Qt::Key_End, 1, 5},
                                           KeyCase{Qt::Key_Right, 2, 3}, KeyCase{Qt::Key_Down, 2, 3},
                                           KeyCase{Qt::Key_Left, 2, 1}, KeyCase{Qt::Key_Up, 2, 1},
                                           // At the end of the range the key still notifies.
                                           KeyCase{Qt::Key_Right, 5, 5}, KeyCase{Qt::Key_Left, 0, 0}));

TEST(BitmapSlider, WheelMovesOnlyAfterAClickTowardsTheUserIsPlusOne) {
    CBitmapSlider s(kId);
    s.resize(101, 10);
    s.setRange(0, 5);
    s.setPosition(2);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    wheel(s, -120);
    EXPECT_EQ(s.position(), 2);
    EXPECT_TRUE(delivered(spy).empty());

    mouse(s, QEvent::MouseButtonPress, 40, Qt::LeftButton); // 40 of 100 -> 2: no change, no notification
    mouse(s, QEvent::MouseButtonRelease, 40, Qt::NoButton); // releasing notifies
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 2}}));
    wheel(s, -120);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 3}}));
    wheel(s, 120);
    wheel(s, 120);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 2}, {kId, 1}}));
}

TEST(BitmapSlider, ClickAndDragMapTheMouseIntoTheRange) {
    CBitmapSlider s(kId);
    s.resize(101, 10);
    s.setRange(0, 5);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    mouse(s, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    EXPECT_EQ(s.position(), 5);
    mouse(s, QEvent::MouseMove, 62, Qt::LeftButton); // 0.62 * 5 = 3.1 -> 3
    mouse(s, QEvent::MouseMove, 65, Qt::LeftButton); // still 3: no notification
    mouse(s, QEvent::MouseMove, -30, Qt::LeftButton);
    mouse(s, QEvent::MouseButtonRelease, -30, Qt::NoButton);
    EXPECT_EQ(s.position(), 0);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 5}, {kId, 3}, {kId, 0}, {kId, 0}}));
}

TEST(BitmapSlider, TheThumbLandsUnderThePointerOnAnInsetTrack) {
    // The lighting sliders: 264 pixels wide, the track's ends 10 pixels in, thumbs 48.8 pixels apart.
    CBitmapSlider s(kId);
    s.resize(264, 30);
    s.setRange(0, 5);
    s.setTrackInset(10, 10);
    const std::pair<int, int> cases[] = {{0, 0},   {10, 0},  {33, 0},  {35, 1},  {58, 1},
                                         {108, 2}, {157, 3}, {180, 3}, {182, 4}, {205, 4},
                                         {230, 5}, {254, 5}, {263, 5}, {-40, 0}};
    for (const auto& [x, expected] : cases) {
        mouse(s, QEvent::MouseButtonPress, x, Qt::LeftButton);
        mouse(s, QEvent::MouseButtonRelease, x, Qt::NoButton);
        EXPECT_EQ(s.position(), expected) << "x " << x;
    }
    // Each thumb centre as the picture draws it (10 + 244 k / 5) maps to its own position.
    for (int k = 0; k <= 5; ++k) {
        const int centre = 10 + 244 * k / 5;
        mouse(s, QEvent::MouseButtonPress, centre, Qt::LeftButton);
        mouse(s, QEvent::MouseButtonRelease, centre, Qt::NoButton);
        EXPECT_EQ(s.position(), k) << "thumb " << k;
    }
}

TEST(BitmapSlider, AShrunkWindowShrinksTheTrackItsThumbsAndTheirPlaces) {
    // The same slider in a window shown at half its size to fit a small screen.
    QImage track(264, 30, QImage::Format_RGB32);
    track.fill(Qt::black);
    for (int y = 0; y < 30; ++y) {
        for (int x = 244; x < 264; ++x) {
            track.setPixel(x, y, qRgb(0, 0, 255)); // the maximum's thumb
        }
    }
    CBitmapSlider s(kId);
    s.setPicture(QPixmap::fromImage(track));
    s.setRange(0, 5);
    s.setTrackInset(10, 10);
    placeAt(s, SkinRect{0, 0, 264, 30});
    s.resize(132, 15);
    EXPECT_EQ(s.grab().toImage().pixel(127, 7), qRgb(0, 0, 255));
    for (int k = 0; k <= 5; ++k) {
        const int centre = (10 + 244 * k / 5) / 2;
        mouse(s, QEvent::MouseButtonPress, centre, Qt::LeftButton);
        mouse(s, QEvent::MouseButtonRelease, centre, Qt::NoButton);
        EXPECT_EQ(s.position(), k) << "thumb " << k;
    }
}

TEST(BitmapSlider, WheelStepsOncePerWholeNotchOfSmallDeltas) {
    CBitmapSlider s(kId);
    s.resize(101, 10);
    s.setRange(0, 5);
    s.setPosition(0);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    mouse(s, QEvent::MouseButtonPress, 0, Qt::LeftButton);
    mouse(s, QEvent::MouseButtonRelease, 0, Qt::NoButton);
    delivered(spy);

    // A touchpad: twelve deltas of 10 towards the user make one notch.
    for (int i = 0; i < 11; ++i) {
        wheel(s, -10);
    }
    EXPECT_EQ(s.position(), 0);
    EXPECT_TRUE(delivered(spy).empty());
    wheel(s, -10);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 1}}));
    // Two notches in one event are two steps, notified once.
    wheel(s, -240);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 3}}));
    // A part notch one way is forgotten when the wheel turns back.
    wheel(s, -100);
    wheel(s, 60);
    wheel(s, 60);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 2}}));
}

TEST(BitmapSlider, ArrowsAreLeftAloneWhileTabIsHeld) {
    CBitmapSlider s(kId);
    s.setRange(0, 5);
    s.setPosition(2);
    QSignalSpy spy(&s, &CBitmapSlider::notified);
    key(s, Qt::Key_Tab);
    key(s, Qt::Key_Right);
    EXPECT_EQ(s.position(), 2);
    key(s, Qt::Key_Tab, QEvent::KeyRelease);
    key(s, Qt::Key_Right);
    EXPECT_EQ(s.position(), 3);
    EXPECT_EQ(delivered(spy), (std::vector<std::pair<int, int>>{{kId, 3}}));
}

} // namespace
} // namespace tarvik::ui
