#include "dialogs/KeyHookFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <vector>

namespace tarvik::dialogs {
namespace {

using macros::HookResult;

constexpr uint32_t native(uint32_t evdev) {
    return evdev + 8;
}

TEST(KeyHookFilter, KeyEventsBecomeWindowsMessages) {
    struct Case {
        const char* what;
        QEvent::Type type;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        uint32_t nativeScanCode;
        bool autoRepeat;
        std::optional<keyboard::KeyMessage> expected;
    };
    const Case cases[] = {
        {"A down", QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, native(KEY_A), false, {{0x41, 0x001E0001}}},
        {"A up", QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, native(KEY_A), false, {{0x41, 0xC01E0001}}},
        {"A repeated",
         QEvent::KeyPress,
         Qt::Key_A,
         Qt::NoModifier,
         native(KEY_A),
         true,
         {{0x41, 0x401E0001}}},
        {"the release X11 sends between repeats is one more repeat",
         QEvent::KeyRelease,
         Qt::Key_A,
         Qt::NoModifier,
         native(KEY_A),
         true,
         {{0x41, 0x401E0001}}},
        {"Num 7 with Num Lock on",
         QEvent::KeyPress,
         Qt::Key_7,
         Qt::KeypadModifier,
         native(KEY_KP7),
         false,
         {{0x67, 0x00470001}}},
        {"Num 7 with Num Lock off",
         QEvent::KeyPress,
         Qt::Key_Home,
         Qt::KeypadModifier,
         native(KEY_KP7),
         false,
         {{0x24, 0x00470001}}},
        {"Num Enter",
         QEvent::KeyPress,
         Qt::Key_Enter,
         Qt::KeypadModifier,
         native(KEY_KPENTER),
         false,
         {{0x0D, 0x011C0001}}},
        {"Ctrl+Pause is Break",
         QEvent::KeyPress,
         Qt::Key_Pause,
         Qt::ControlModifier,
         native(KEY_PAUSE),
         false,
         {{0x03, 0x01460001}}},
        {"Win",
         QEvent::KeyPress,
         Qt::Key_Meta,
         Qt::NoModifier,
         native(KEY_LEFTMETA),
         false,
         {{0x5B, 0x015B0001}}},
        {"no native scan code (a synthesized event)", QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0, false,
         std::nullopt},
        {"a key the table lacks", QEvent::KeyPress, Qt::Key_F14, Qt::NoModifier, native(KEY_F14), false,
         std::nullopt},
    };
    for (const Case& c : cases) {
        const QKeyEvent e(c.type, c.key, c.modifiers, c.nativeScanCode, 0, 0, QString(), c.autoRepeat);
        EXPECT_EQ(KeyHookFilter::messageOf(e), c.expected) << c.what;
    }
}

class Filter : public ::testing::Test {
protected:
    void send(QEvent::Type type, uint32_t nativeCode, const QString& text = {}) {
        QKeyEvent e(type, Qt::Key_A, Qt::NoModifier, nativeCode, 0, 0, text);
        QCoreApplication::sendEvent(&edit, &e);
    }

    QLineEdit edit;
    std::vector<uint32_t> lowLevel;
    std::vector<keyboard::KeyMessage> thread;
};

TEST_F(Filter, LowLevelFirstThenThreadAndSwallowedKeysReachNoWidget) {
    KeyHookFilter filter;
    filter.install(
        [this](uint32_t vk, bool) {
            lowLevel.push_back(vk);
            return vk == 0x5B ? HookResult::Swallow : HookResult::PassOn;
        },
        [this](uint32_t vk, uint32_t lParam) {
            thread.push_back({vk, lParam});
            return vk == 0x41 ? HookResult::Swallow : HookResult::PassOn;
        });
    ASSERT_TRUE(filter.installed());

    send(QEvent::KeyPress, native(KEY_A), QStringLiteral("a"));
    EXPECT_EQ(edit.text(), QString()) << "swallowed";
    EXPECT_EQ(lowLevel, std::vector<uint32_t>{0x41});
    ASSERT_EQ(thread.size(), 1u);

    send(QEvent::KeyPress, native(KEY_LEFTMETA));
    EXPECT_EQ(thread.size(), 1u) << "the low-level hook swallowed it";

    send(QEvent::KeyPress, native(KEY_B), QStringLiteral("b"));
    EXPECT_EQ(edit.text(), QStringLiteral("b")) << "passed on";
    EXPECT_EQ(thread.size(), 2u);

    // Shortcuts never see a key the hooks take.
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_A, Qt::NoModifier, native(KEY_A), 0, 0, QString());
    override.ignore();
    QCoreApplication::sendEvent(&edit, &override);
    EXPECT_TRUE(override.isAccepted());

    filter.remove();
    EXPECT_FALSE(filter.installed());
    send(QEvent::KeyPress, native(KEY_A), QStringLiteral("a"));
    EXPECT_EQ(edit.text(), QStringLiteral("ba"));
    EXPECT_EQ(thread.size(), 2u) << "no hook runs once removed";
}

} // namespace
} // namespace tarvik::dialogs
