#include "dialogs/CompositeModel.h"

#include "platform/IniFile.h"
#include "tests/dialogs/FakeCompositeStore.h"
#include "tests/macros/RecordingPrompter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

namespace tarvik::dialogs {
namespace {

using keyboard::KeyAssignment;
using macros::HookResult;
using test::FakeCompositeStore;
using test::macroWithId;
using test::recordOf;

constexpr keyboard::KeySlot kSlotA = 0x1E;
constexpr keyboard::KeySlot kSlotG3 = 258;
constexpr keyboard::KeySlot kSlotG9 = 264;

// lParam of a Windows keyboard message.
constexpr uint32_t lParamOf(keyboard::KeyCode code, bool release = false, bool wasDown = false) {
    return 1u | (static_cast<uint32_t>(code & 0xFF) << 16) | ((code & 0x100) ? 1u << 24 : 0) |
           ((wasDown || release) ? 1u << 30 : 0) | (release ? 1u << 31 : 0);
}

// A settings file of the test's own inside the build tree's test home.
std::filesystem::path settingsFile() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const char* home = std::getenv("HOME");
    const std::filesystem::path dir = std::filesystem::path(home != nullptr ? home : "/tmp") / "dialogs" /
                                      (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir / "tarvik.ini";
}

class Composite : public ::testing::Test {
protected:
    Composite() : settings(settingsFile()), model(store, prompter, settings) {}

    void open(keyboard::KeySlot slot, const KeyAssignment& record, bool macroOnly = false) {
        store.records.at(slot) = record;
        model.open(OpenRequest{slot, 1000, macroOnly});
    }

    FakeCompositeStore store;
    testing::RecordingPrompter prompter;
    profiles::SettingsStore settings;
    CompositeModel model;
};

TEST_F(Composite, OpeningShowsThePanelOfTheRecord) {
    struct Case {
        const char* what;
        KeyAssignment record;
        bool macroOnly;
        Panel panel;
        bool hooks;
        std::u16string keyField;
        int selectedMacro;
        int media;
        int function;
    };
    const Case cases[] = {
        {"default record: single key panel, no key", {}, false, Panel::SingleKey, true, u"", -1, 0, 0},
        {"single key F1", recordOf(2, 0x03B), false, Panel::SingleKey, true, u"F1", -1, 0, 0},
        {"macro id 7 selects its item", recordOf(4, 7, 3), false, Panel::Macro, false, u"", 1, 0, 0},
        {"macro id 9 is missing: item 0", recordOf(4, 9), false, Panel::Macro, false, u"", 0, 0, 0},
        {"media 15", recordOf(7, 15), false, Panel::Media, false, u"", -1, 15, 0},
        {"media out of range keeps item 0", recordOf(7, 40), false, Panel::Media, false, u"", -1, 0, 0},
        {"function 10", recordOf(8, 10), false, Panel::Function, false, u"", -1, 0, 10},
        {"a launch record shows the single-key panel", recordOf(3, 0x40), false, Panel::SingleKey, true, u"",
         -1, 0, 0},
        {"G9 shows the macro panel whatever the record holds", recordOf(7, 2), true, Panel::Macro, false, u"",
         0, 0, 0},
    };
    store.list = {macroWithId(3, u"Three"), macroWithId(7, u"Seven")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.macroOnly ? kSlotG9 : kSlotA, c.record, c.macroOnly);
        EXPECT_EQ(model.shownPanel(), c.panel);
        EXPECT_EQ(model.keyHooksInstalled(), c.hooks);
        EXPECT_EQ(model.keyField(), c.keyField);
        EXPECT_EQ(model.panel().selected(), c.selectedMacro);
        EXPECT_EQ(model.mediaIndex(), c.media);
        EXPECT_EQ(model.functionIndex(), c.function);
        EXPECT_FALSE(model.applyEnabled());
        EXPECT_EQ(model.openCount(), 1);
        model.close();
        EXPECT_EQ(model.openCount(), 0);
        EXPECT_FALSE(model.keyHooksInstalled());
    }
}

TEST_F(Composite, MacroOnlyModeLocksTheOtherTabs) {
    store.list = {macroWithId(1)};
    open(kSlotG9, recordOf(2, 0x030), true);
    EXPECT_EQ(model.panelType(), kPanelMacro);
    EXPECT_EQ(model.headingKey(), "MACRO_EDIT_TISHI");
    EXPECT_FALSE(model.clearEnabled());
    for (Panel tab : {Panel::SingleKey, Panel::Media, Panel::Function}) {
        EXPECT_FALSE(model.tabEnabled(tab));
        model.selectTab(tab);
        EXPECT_EQ(model.shownPanel(), Panel::Macro);
    }
    model.clear();
    EXPECT_EQ(model.panelType(), kPanelMacro);
    model.close();
    // The dialog is used again for an ordinary key: nothing of the locked mode stays.
    open(kSlotA, {});
    EXPECT_EQ(model.headingKey(), "KEY_SETTING_TISHI");
    EXPECT_TRUE(model.tabEnabled(Panel::Media));
    EXPECT_TRUE(model.clearEnabled());
}

TEST_F(Composite, KeyCapture) {
    struct Step {
        enum Path { Thread, LowLevel } path;
        uint32_t vk;
        uint32_t lParam; // thread path
        bool keyDown;    // low-level path
        HookResult result;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        keyboard::KeyCode captured;
        std::u16string field;
    };
    auto press = [](uint32_t vk, keyboard::KeyCode code) {
        return Step{Step::Thread, vk, lParamOf(code), true, HookResult::Swallow};
    };
    auto release = [](uint32_t vk, keyboard::KeyCode code) {
        return Step{Step::Thread, vk, lParamOf(code, true), false, HookResult::Swallow};
    };
    auto repeat = [](uint32_t vk, keyboard::KeyCode code) {
        return Step{Step::Thread, vk, lParamOf(code, false, true), true, HookResult::Swallow};
    };
    auto low = [](uint32_t vk, bool down, HookResult r = HookResult::Swallow) {
        return Step{Step::LowLevel, vk, 0, down, r};
    };
    const Case cases[] = {
        {"the first press is taken", {press(0x42, 0x030), release(0x42, 0x030)}, 0x030, u"B"},
        {"a release or repeat of another key does not replace it",
         {press(0x42, 0x030), repeat(0x41, 0x01E), release(0x41, 0x01E)},
         0x030,
         u"B"},
        {"Print Screen is taken from its release", {release(0x2C, 0x137)}, 0x137, u"Print Screen"},
        {"Enter can be assigned", {press(0x0D, 0x01C)}, 0x01C, u"Enter"},
        {"Escape can be assigned", {press(0x1B, 0x001)}, 0x001, u"Esc"},
        {"Tab can be assigned", {press(0x09, 0x00F)}, 0x00F, u"Tab"},
        {"Num Enter by its extended flag", {press(0x0D, 0x11C)}, 0x11C, u"Num Enter"},
        {"volume up passes and changes nothing",
         {{Step::Thread, 0xAF, lParamOf(0x130), true, HookResult::PassOn}},
         0,
         u""},
        {"a key without a code passes",
         {{Step::Thread, 0x07, lParamOf(0), true, HookResult::PassOn}},
         0,
         u""},
        {"Win from the low-level path", {low(0x5B, true), low(0x5B, false)}, 0x15B, u"Win"},
        {"App from the low-level path", {low(0x5D, true)}, 0x15D, u"App"},
        {"the low-level path passes other keys", {low(0x41, true, HookResult::PassOn)}, 0, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(kSlotA, {});
        for (const Step& s : c.steps) {
            const HookResult r = s.path == Step::Thread ? model.captureKeyMessage(s.vk, s.lParam)
                                                        : model.captureLowLevelKey(s.vk, s.keyDown);
            EXPECT_EQ(r, s.result);
        }
        EXPECT_EQ(model.capturedKey(), c.captured);
        EXPECT_EQ(model.keyField(), c.field);
        EXPECT_EQ(model.panelType(), c.captured != 0 ? kPanelSingleKey : kPanelDefault);
        EXPECT_EQ(model.applyEnabled(), c.captured != 0);
        model.close();
    }
}

TEST_F(Composite, NoCaptureOutsideTheSingleKeyPanel) {
    open(kSlotA, recordOf(7, 1));
    EXPECT_EQ(model.captureKeyMessage(0x42, lParamOf(0x030)), HookResult::PassOn);
    EXPECT_EQ(model.captureLowLevelKey(0x5B, true), HookResult::PassOn);
    EXPECT_EQ(model.capturedKey(), 0);
}

TEST_F(Composite, RepeatCountIsCorrectedWhileTyped) {
    struct Case {
        std::u16string typed;
        std::u16string shown;
    };
    const Case cases[] = {{u"0", u"1"},     {u"300", u"255"}, {u"", u"1"},    {u"-4", u"1"},
                          {u"255", u"255"}, {u"256", u"255"}, {u"12", u"12"}, {u"99999999999", u"255"}};
    store.list = {macroWithId(1)};
    open(kSlotA, recordOf(4, 1));
    for (const Case& c : cases) {
        EXPECT_EQ(model.repeatCountChanged(c.typed), c.shown);
        EXPECT_EQ(model.panel().cyclesText(), c.shown);
        EXPECT_TRUE(model.applyEnabled());
    }
}

TEST_F(Composite, TabsAndClear) {
    store.list = {macroWithId(5)};
    open(kSlotA, recordOf(2, 0x03B)); // F1

    model.selectTab(Panel::SingleKey);
    EXPECT_FALSE(model.applyEnabled()) << "the shown panel's tab does nothing";

    model.selectTab(Panel::Macro);
    EXPECT_EQ(model.panelType(), kPanelMacro);
    EXPECT_FALSE(model.keyHooksInstalled());
    EXPECT_EQ(model.panel().selected(), 0) << "a record that names no macro shows the first";
    EXPECT_TRUE(model.applyEnabled());

    model.selectTab(Panel::SingleKey);
    EXPECT_EQ(model.panelType(), kPanelSingleKey);
    EXPECT_TRUE(model.keyHooksInstalled());
    EXPECT_EQ(model.keyField(), u"F1") << "the captured key stays";

    // Clear on the media panel: single-key panel, empty key field, type 0 (OK writes a default record).
    model.selectTab(Panel::Media);
    model.selectMedia(4);
    model.clear();
    EXPECT_EQ(model.shownPanel(), Panel::SingleKey);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.panelType(), kPanelDefault);
    const AssignOutcome out = model.apply();
    EXPECT_TRUE(out.written);
    EXPECT_EQ(store.records[kSlotA].type, keyboard::ASSIGN_DEFAULT);
}

TEST_F(Composite, RecordsWrittenByApply) {
    struct Case {
        const char* what;
        keyboard::KeySlot slot;
        KeyAssignment loaded;
        std::function<void(CompositeModel&)> edit;
        KeyAssignment written;
    };
    auto capture = [](keyboard::KeyCode code, uint32_t vk) {
        return [=](CompositeModel& m) { m.captureKeyMessage(vk, lParamOf(code)); };
    };
    const Case cases[] = {
        {"A given A is the default function", kSlotA, {}, capture(0x01E, 0x41), recordOf(0, 0x01E)},
        {"A given B", kSlotA, {}, capture(0x030, 0x42), recordOf(2, 0x030)},
        {"Right Shift given Right Shift is the default function",
         0x36,
         {},
         capture(0x036, 0xA1),
         recordOf(0, 0x036)},
        {"a G key keeps its tag", kSlotG3, recordOf(0, 0, 0x0303), capture(0x030, 0x42),
         recordOf(2, 0x030, 0x0303)},
        {"macro: its id and the repeat count",
         kSlotA,
         {},
         [](CompositeModel& m) {
             m.selectTab(Panel::Macro);
             m.panel().selectMacro(1);
             m.repeatCountChanged(u"12");
         },
         recordOf(4, 9, 12)},
        {"media",
         kSlotG3,
         {},
         [](CompositeModel& m) {
             m.selectTab(Panel::Media);
             m.selectMedia(5);
         },
         recordOf(7, 5, 0x0303)},
        {"function",
         kSlotA,
         {},
         [](CompositeModel& m) {
             m.selectTab(Panel::Function);
             m.selectFunction(10);
         },
         recordOf(8, 10)},
        {"an untouched single-key record is written again", kSlotA, recordOf(2, 0x03B),
         [](CompositeModel&) {}, recordOf(2, 0x03B)},
        {"a blocked key left alone stays blocked", kSlotA, recordOf(1, 0), [](CompositeModel&) {},
         recordOf(1, 0)},
        {"a launch record left alone keeps its value", kSlotA, recordOf(3, 0x40), [](CompositeModel&) {},
         recordOf(3, 0x40)},
        {"a launch record's value is no key for the single-key tab", kSlotA, recordOf(3, 0x40),
         [](CompositeModel& m) {
             m.selectTab(Panel::Media);
             m.selectTab(Panel::SingleKey);
         },
         recordOf(0, 0)},
        {"Clear on a blocked key", kSlotA, recordOf(1, 0), [](CompositeModel& m) { m.clear(); },
         recordOf(0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.list = {macroWithId(2), macroWithId(9, u"Nine", 3)};
        open(c.slot, c.loaded);
        c.edit(model);
        const AssignOutcome out = model.apply();
        EXPECT_EQ(store.records[c.slot], c.written);
        EXPECT_EQ(out.record, c.written);
        EXPECT_FALSE(model.applyEnabled());
        model.close();
    }
}

TEST_F(Composite, MacroPanelWithoutMacrosWritesADefaultRecord) {
    open(kSlotG3, recordOf(4, 3, 9));
    EXPECT_EQ(model.panel().selected(), -1);
    model.apply();
    EXPECT_EQ(store.records[kSlotG3], recordOf(0, 0, 0x0303));
}

TEST_F(Composite, ApplyHandsTheEditedMacrosBack) {
    store.list = {macroWithId(1, u"One")};
    open(kSlotA, recordOf(4, 1));
    model.panel().addMacro(u"Macro");
    ASSERT_TRUE(model.panel().startRecording(0));
    model.panel().recordKeyMessage(0x41, lParamOf(0x01E), 20);
    EXPECT_TRUE(model.applyEnabled()) << "the panel's edits enable Apply";
    model.apply();
    ASSERT_EQ(store.list.size(), 2u);
    EXPECT_EQ(store.list[1].isNew(), 1) << "the store decides which keys lose their macro";
    EXPECT_EQ(store.list[1].actionCount(), 1u);
    EXPECT_EQ(store.records[kSlotA], recordOf(4, 2, 1)) << "the macro shown is the new one";
    EXPECT_EQ(model.panel().macro(1).isNew(), 0) << "after Apply the copies are no longer new";
}

TEST_F(Composite, RecordDelaysSetting) {
    struct Case {
        std::optional<std::u16string> stored;
        int shown;
    };
    const Case cases[] = {{std::nullopt, 0}, {u"7", 0}, {u"1", 1}, {u"0", 0}};
    for (const Case& c : cases) {
        std::filesystem::remove(settings.file());
        if (c.stored) {
            ASSERT_TRUE(settings.writeSetting(u"RecordDelay", *c.stored));
        }
        open(kSlotA, {});
        EXPECT_EQ(model.panel().recordDelays(), c.shown);
        EXPECT_EQ(settings.readSetting(u"RecordDelay", u"missing"), c.shown == 1 ? u"1" : u"0")
            << "written back normalised at every opening";
        model.toggleRecordDelays();
        EXPECT_EQ(settings.readSetting(u"RecordDelay", u""), c.shown == 1 ? u"0" : u"1") << "written at once";
        model.close();
    }
    // The value's name is the current text of MACRO_ACTION_RECORD_DELAY.
    CompositeTexts texts;
    texts.recordDelayName = u"Aufnahmeverzoegerung";
    model.open(OpenRequest{kSlotA, 1000, false}, texts);
    model.toggleRecordDelays();
    EXPECT_EQ(settings.readSetting(u"Aufnahmeverzoegerung", u""), u"1");
}

TEST_F(Composite, CloseStopsRecordingAndDropsTheCopies) {
    store.list = {macroWithId(1)};
    open(kSlotA, recordOf(4, 1));
    ASSERT_TRUE(model.panel().startRecording(0));
    model.close();
    EXPECT_FALSE(model.panel().recording());
    EXPECT_EQ(model.panel().macroCount(), 0u);
    EXPECT_FALSE(model.isOpen());
    EXPECT_EQ(model.apply().recordIndex, -1) << "a closed dialog writes nothing";
    EXPECT_EQ(store.assignCount, 0);
}

TEST_F(Composite, TheApplyButtonHearsEachTurnAndAnExitAsksOnlyAboutEditsNotWritten) {
    std::vector<bool> heard;
    model.setApplyListener([&](bool on) { heard.push_back(on); });
    open(kSlotA, {});
    const struct {
        const char* step;
        std::function<void()> run;
        std::vector<bool> heard; // after the step, from the start
        bool unsaved;
    } steps[] = {
        {"opened", [] {}, {}, false},
        {"a media key", [&] { model.selectTab(Panel::Media); }, {true}, true},
        {"another one", [&] { model.selectMedia(3); }, {true}, true},
        {"Apply", [&] { model.apply(); }, {true, false}, false},
        {"Apply again", [&] { model.apply(); }, {true, false}, false},
        {"a function", [&] { model.selectTab(Panel::Function); }, {true, false, true}, true},
        {"closed", [&] { model.close(); }, {true, false, true, false}, false},
    };
    for (const auto& s : steps) {
        s.run();
        EXPECT_EQ(heard, s.heard) << s.step;
        EXPECT_EQ(model.hasUnsavedEdits(), s.unsaved) << s.step;
    }
}

TEST_F(Composite, MemoryMeterFollowsTheEdits) {
    store.list = {macroWithId(1, u"Ab", 1, {{100, 0x1E, 0}, {0, 0x1E, 1}})};
    open(kSlotA, recordOf(4, 1));
    EXPECT_EQ(model.memoryMeter(34).state, macros::MacroMemoryState::Fits);
    model.panel().addAction(0x30, 0, 10);
    EXPECT_EQ(model.memoryMeter(34).state, macros::MacroMemoryState::NamesDropped);
    model.panel().addAction(0x30, 1, 10);
    EXPECT_EQ(model.memoryMeter(34).state, macros::MacroMemoryState::TooLong);
    EXPECT_EQ(model.memoryMeter(34).used, 38u);
}

TEST(Placement, NextToTheButtonWhereTheScreenHasRoom) {
    const ScreenRect screen{0, 0, 1920, 1080};
    struct Case {
        const char* what;
        ScreenRect button;
        ScreenPoint expected;
    };
    // A 620 x 462 dialog.
    const Case cases[] = {
        {"below right", {100, 100, 140, 140}, {140, 140}},
        {"above right near the bottom", {100, 900, 140, 940}, {140, 438}},
        {"below left near the right edge", {1500, 100, 1540, 140}, {880, 140}},
        {"above left near the bottom-right corner", {1800, 1000, 1840, 1040}, {1180, 538}},
        {"exactly fitting below right", {100, 100, 1300, 618}, {1300, 618}},
        {"nowhere room: below right anyway", {10, 300, 1910, 700}, {1910, 700}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(placeNextToButton(c.button, 620, 462, screen), c.expected) << c.what;
    }
    // A screen that does not start at the origin (a second monitor).
    EXPECT_EQ(placeNextToButton({2000, 900, 2040, 940}, 620, 462, {1920, 0, 3840, 1080}),
              (ScreenPoint{2040, 438}));
}

TEST(Placement, WhereTheWindowSystemPlacesWindowsItselfCentredOnTheMainWindow) {
    const ScreenRect screen{0, 0, 1920, 1080};
    const ScreenRect main{300, 180, 1600, 896}; // 1300 x 716
    const ScreenRect button{100, 900, 140, 940};
    EXPECT_EQ(placeKeyDialog(button, main, 620, 462, screen, true),
              placeNextToButton(button, 620, 462, screen));
    EXPECT_EQ(placeKeyDialog(button, main, 620, 462, screen, false), (ScreenPoint{640, 307}));
    // A main window smaller than the dialog: still centred, the dialog reaching past its edges.
    EXPECT_EQ(placeKeyDialog(button, {1000, 500, 1400, 700}, 620, 462, screen, false),
              (ScreenPoint{890, 369}));
}

} // namespace
} // namespace tarvik::dialogs
