#include "macros/MacroPanelModel.h"

#include "tests/macros/RecordingPrompter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tarvik::macros {
namespace {

MacroRecord macroNamed(std::u16string_view name, uint16_t id, std::vector<MacroAction> actions = {},
                       uint8_t cycles = 1) {
    MacroRecord m;
    m.setName(name);
    m.setId(id);
    m.setCycles(cycles);
    m.setActions(actions);
    return m;
}

constexpr uint32_t lParamOf(keyboard::KeyCode code, bool release) {
    return 1u | (static_cast<uint32_t>(code & 0xFF) << 16) | ((code & 0x100) ? 1u << 24 : 0) |
           (release ? 3u << 30 : 0);
}

class MacroPanel : public ::testing::Test {
protected:
    MacroPanel()
        : panel(prompter, [this](const MacroRecord& m) {
              checked.push_back(m.id());
              return playedIds.count(m.id()) != 0;
          }) {
        panel.setModifiedCallback([this] { ++modifiedCount; });
    }

    std::vector<std::u16string> names() const {
        std::vector<std::u16string> out;
        for (size_t i = 0; i < panel.macroCount(); ++i) {
            out.push_back(panel.macro(i).name());
        }
        return out;
    }

    testing::RecordingPrompter prompter;
    std::set<uint16_t> playedIds;
    std::vector<uint16_t> checked;
    int modifiedCount = 0;
    MacroPanelModel panel;
};

TEST_F(MacroPanel, LoadingCopiesTheListAsNotNewWithNothingSelected) {
    MacroRecord fresh = macroNamed(u"Fresh", 4);
    fresh.setIsNew(1);
    const MacroSet store{macroNamed(u"Build", 2, {{100, 0x1E, kPress}}), fresh};
    panel.loadMacroList(store);
    ASSERT_EQ(panel.macroCount(), 2u);
    EXPECT_EQ(panel.macro(1).isNew(), 0);
    EXPECT_EQ(panel.selected(), -1);
    EXPECT_FALSE(panel.actionButtonsEnabled());

    panel.selectMacro(0);
    EXPECT_EQ(panel.rows().size(), 1u);
    EXPECT_TRUE(panel.actionButtonsEnabled());
    EXPECT_EQ(modifiedCount, 0) << "selecting changes no macro";
}

TEST_F(MacroPanel, SelectionStoresTheShownMacroAndShowsTheNext) {
    panel.loadMacroList(
        MacroSet{macroNamed(u"One", 1, {}, 3), macroNamed(u"Two", 2, {{0, 0x30, kPress}}, 9)});
    panel.selectMacro(0);
    EXPECT_EQ(panel.cyclesText(), u"3");
    panel.addAction(0x1E, kPress, 0);
    panel.setCyclesText(u"7");
    panel.selectMacro(1);
    EXPECT_EQ(panel.cyclesText(), u"9");
    ASSERT_EQ(panel.rows().size(), 1u);
    EXPECT_EQ(panel.rows()[0].key, 0x30);
    EXPECT_EQ(panel.macro(0).cycles(), 7);
    ASSERT_EQ(panel.macro(0).actionCount(), 1u);
    EXPECT_EQ(panel.macro(0).action(0).key, 0x1E);
}

TEST_F(MacroPanel, AddGivesTheFirstFreeDefaultName) {
    struct Case {
        const char* what;
        std::vector<std::u16string> existing;
        std::u16string expectedName;
        int expectedSkipped;
    };
    const Case cases[] = {
        {"an empty combo starts again at 1", {}, u"Macro1", 0},
        {"Macro1 and Macro2 taken: Macro3 after two skips", {u"Macro1", u"Macro2"}, u"Macro3", 2},
        {"Macro10 alone blocks Macro1 by prefix", {u"Macro10"}, u"Macro2", 1},
        {"the search ignores case", {u"mAcRo1"}, u"Macro2", 1},
        {"a user's name does not block", {u"Build order"}, u"Macro1", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MacroSet list;
        uint16_t id = 1;
        for (const auto& n : c.existing) {
            list.push_back(macroNamed(n, id++));
        }
        MacroPanelModel fresh(prompter, nullptr); // add counter at 0
        fresh.loadMacroList(list);
        const AddMacroOutcome out = fresh.addMacro(u"Macro");
        EXPECT_TRUE(out.added);
        EXPECT_EQ(out.namesSkipped, c.expectedSkipped);
        ASSERT_EQ(fresh.macroCount(), c.existing.size() + 1);
        const MacroRecord& added = fresh.macro(fresh.macroCount() - 1);
        EXPECT_EQ(added.name(), c.expectedName);
        EXPECT_EQ(fresh.selected(), static_cast<int>(fresh.macroCount()) - 1);
        EXPECT_EQ(added.isNew(), 1);
        EXPECT_EQ(added.cycles(), 1);
        EXPECT_EQ(added.id(), id) << "the lowest free id";
    }
}

TEST_F(MacroPanel, AddAtOneHundredMacrosIsRefused) {
    MacroSet list;
    for (uint16_t id = 1; id <= 100; ++id) {
        list.push_back(macroNamed(u"m", id));
    }
    panel.loadMacroList(list);
    const AddMacroOutcome out = panel.addMacro(u"Macro");
    EXPECT_TRUE(out.full);
    EXPECT_FALSE(out.added);
    EXPECT_EQ(panel.macroCount(), 100u);
    EXPECT_EQ(modifiedCount, 0);
}

TEST_F(MacroPanel, AddWithAPrefixAsLongAsANameStillEnds) {
    panel.loadMacroList({});
    const std::u16string prefix(300, u'M');
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(panel.addMacro(prefix).added);
    }
    EXPECT_EQ(panel.macro(2).name().size(), kMaxNameUnits);
    EXPECT_EQ(panel.macro(2).name().back(), u'3');
}

TEST_F(MacroPanel, DeleteAsksOnlyAfterTheCheckAndOnlyForMacrosKeysPlay) {
    panel.loadMacroList(MacroSet{macroNamed(u"A", 1), macroNamed(u"B", 2), macroNamed(u"C", 3)});
    playedIds = {2};

    panel.selectMacro(1);
    EXPECT_FALSE(panel.deleteMacro()) << "No keeps it";
    EXPECT_EQ(checked, std::vector<uint16_t>{2});
    ASSERT_EQ(prompter.asked, std::vector<std::string>{"MACRO_DELETE_CONFIRM_OF_KEYS"});
    EXPECT_FALSE(prompter.defaults[0]);
    EXPECT_EQ(panel.macroCount(), 3u);

    prompter.answers.push_back(true);
    EXPECT_TRUE(panel.deleteMacro());
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"A", u"C"}));
    EXPECT_EQ(panel.selected(), 0) << "the item before it";

    panel.selectMacro(0);
    EXPECT_TRUE(panel.deleteMacro()) << "no key plays A: no question";
    EXPECT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(panel.selected(), 0) << "item 0 when the first was deleted";
    EXPECT_EQ(names(), std::vector<std::u16string>{u"C"});

    // A new macro goes without the check; its id is free again afterwards.
    panel.addMacro(u"Macro");
    checked.clear();
    EXPECT_TRUE(panel.deleteMacro());
    EXPECT_TRUE(checked.empty());
}

TEST_F(MacroPanel, DeletingTheOnlyMacroDisablesTheActionButtons) {
    panel.loadMacroList(MacroSet{macroNamed(u"Only", 5, {{10, 0x1E, kPress}, {0, 0x1E, kRelease}})});
    panel.selectMacro(0);
    ASSERT_TRUE(panel.actionButtonsEnabled());
    EXPECT_TRUE(panel.deleteMacro());
    EXPECT_EQ(panel.macroCount(), 0u);
    EXPECT_EQ(panel.selected(), -1);
    EXPECT_TRUE(panel.rows().empty());
    EXPECT_FALSE(panel.actionButtonsEnabled());
    EXPECT_FALSE(panel.deleteMacro()) << "nothing left to delete";
    EXPECT_FALSE(panel.startRecording(0));
}

TEST_F(MacroPanel, DeletedIdIsTakenAgainByTheNextNewMacro) {
    panel.loadMacroList(MacroSet{macroNamed(u"A", 1), macroNamed(u"B", 2), macroNamed(u"C", 3)});
    panel.selectMacro(2);
    ASSERT_TRUE(panel.deleteMacro());
    panel.addMacro(u"Macro");
    EXPECT_EQ(panel.macro(2).id(), 3);
    EXPECT_EQ(panel.macro(2).isNew(), 1);
}

TEST_F(MacroPanel, TypedNames) {
    // x into an empty combo creates macro id 1 named x and shows it.
    panel.loadMacroList({});
    EXPECT_EQ(panel.nameTyped(u"x"), u"x");
    ASSERT_EQ(panel.macroCount(), 1u);
    EXPECT_EQ(panel.macro(0).id(), 1);
    EXPECT_EQ(panel.macro(0).name(), u"x");
    EXPECT_EQ(panel.macro(0).isNew(), 1);
    EXPECT_EQ(panel.selected(), 0);
    EXPECT_TRUE(panel.actionButtonsEnabled());
    EXPECT_EQ(modifiedCount, 1);

    // Further typing renames the selected macro; no duplicate check.
    panel.addMacro(u"Macro");
    EXPECT_EQ(panel.nameTyped(u"x"), u"x");
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"x", u"x"}));

    // Names are cut to 249 units, never between the halves of a surrogate pair.
    std::u16string longName(248, u'a');
    longName += u"\U0001F600tail"; // the pair would be units 249 and 250
    const std::u16string stored = panel.nameTyped(longName);
    EXPECT_EQ(stored, std::u16string(248, u'a'));
    EXPECT_EQ(panel.macro(1).name(), stored);
    std::u16string exact(249, u'b');
    EXPECT_EQ(panel.nameTyped(exact + u"c"), exact);

    // An empty combo given an empty text creates nothing.
    MacroPanelModel other(prompter, nullptr);
    other.loadMacroList({});
    other.nameTyped(u"");
    EXPECT_EQ(other.macroCount(), 0u);
}

TEST_F(MacroPanel, RecordedActionsHandTheirPausesOver) {
    panel.loadMacroList(MacroSet{macroNamed(u"M", 1)});
    panel.selectMacro(0);

    // A down, A up into an empty list with record delays off: A down 50, A up 0.
    panel.setRecordDelays(0);
    ASSERT_TRUE(panel.startRecording(1000));
    EXPECT_EQ(panel.recordKeyMessage(0x41, lParamOf(0x01E, false), 1100), HookResult::Swallow);
    EXPECT_EQ(panel.recordKeyMessage(0x41, lParamOf(0x01E, true), 1300), HookResult::Swallow);
    ASSERT_EQ(panel.rows().size(), 2u);
    EXPECT_EQ(panel.rows()[0], (MacroAction{50, 0x01E, kPress}));
    EXPECT_EQ(panel.rows()[1], (MacroAction{0, 0x01E, kRelease}));
    EXPECT_EQ(panel.selectedRow(), 1);
    panel.stopRecording();

    // Inserted after a selected row in the middle: the row takes the new pause and the new action the
    // row's old one.
    panel.selectRow(0);
    panel.addAction(0x030, kPress, 70);
    EXPECT_EQ(panel.rows()[0].delayMs, 70u);
    EXPECT_EQ(panel.rows()[1], (MacroAction{50, 0x030, kPress}));
    EXPECT_EQ(panel.rows()[2].key, 0x01E);
    EXPECT_EQ(panel.selectedRow(), 1);

    // A direction above 1 is a press.
    panel.addAction(0x030, 7, 0);
    EXPECT_EQ(panel.rows()[2].direction, kPress);
}

TEST_F(MacroPanel, TwoThousandActionsAtMost) {
    std::vector<MacroAction> full(kMaxActions, MacroAction{10, 0x1E, kPress});
    panel.loadMacroList(MacroSet{macroNamed(u"Full", 1, full)});
    panel.selectMacro(0);
    const int before = modifiedCount;
    EXPECT_FALSE(panel.addAction(0x30, kPress, 5));
    EXPECT_EQ(panel.rows().size(), kMaxActions);
    EXPECT_EQ(modifiedCount, before);
}

TEST_F(MacroPanel, RowCommands) {
    const std::vector<MacroAction> abcd{
        {1, 0x1E, kPress}, {2, 0x30, kPress}, {3, 0x2E, kPress}, {4, 0x20, kPress}};
    auto keys = [&] {
        std::vector<uint16_t> k;
        for (const auto& a : panel.rows()) {
            k.push_back(a.key);
        }
        return k;
    };
    struct Case {
        const char* what;
        int selectRow;
        RowMove move;
        std::vector<uint16_t> expected;
        int expectedRow;
    };
    const Case cases[] = {
        {"top", 2, RowMove::Top, {0x2E, 0x1E, 0x30, 0x20}, 0},
        {"up", 2, RowMove::Up, {0x1E, 0x2E, 0x30, 0x20}, 1},
        {"down", 1, RowMove::Down, {0x1E, 0x2E, 0x30, 0x20}, 2},
        {"bottom", 0, RowMove::Bottom, {0x30, 0x2E, 0x20, 0x1E}, 3},
        {"up at the top stays", 0, RowMove::Up, {0x1E, 0x30, 0x2E, 0x20}, 0},
        {"down at the bottom stays", 3, RowMove::Down, {0x1E, 0x30, 0x2E, 0x20}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panel.loadMacroList(MacroSet{macroNamed(u"M", 1, abcd)});
        panel.selectMacro(0);
        panel.selectRow(c.selectRow);
        panel.moveRow(c.move);
        EXPECT_EQ(keys(), c.expected);
        EXPECT_EQ(panel.selectedRow(), c.expectedRow);
        // The delay travels with its row.
        EXPECT_EQ(panel.rows()[static_cast<size_t>(c.expectedRow)].delayMs,
                  static_cast<uint32_t>(c.selectRow + 1));
    }

    panel.loadMacroList(MacroSet{macroNamed(u"M", 1, abcd)});
    panel.selectMacro(0);
    panel.selectRow(1);
    panel.deleteAction();
    EXPECT_EQ(keys(), (std::vector<uint16_t>{0x1E, 0x2E, 0x20}));
    EXPECT_EQ(panel.rows()[0].delayMs, 1u) << "the neighbours keep their delays";
    EXPECT_EQ(panel.selectedRow(), -1);

    panel.clearActions();
    EXPECT_EQ(prompter.asked, std::vector<std::string>{"MACRO_ACTION_CLEAR_CONFIRM"});
    EXPECT_FALSE(prompter.defaults[0]);
    EXPECT_EQ(panel.rows().size(), 3u) << "No keeps the rows";
    prompter.answers.push_back(true);
    panel.clearActions();
    EXPECT_TRUE(panel.rows().empty());
    panel.clearActions();
    EXPECT_EQ(prompter.asked.size(), 2u) << "an empty list is not asked about";
}

TEST_F(MacroPanel, InPlaceEdits) {
    panel.loadMacroList(MacroSet{macroNamed(u"M", 1, {{100, 0x1E, kPress}})});
    panel.selectMacro(0);

    EXPECT_TRUE(panel.setActionKey(0, 0x0001)); // list code 1 is B
    EXPECT_EQ(panel.rows()[0].key, 0x030);
    EXPECT_FALSE(panel.setActionKey(0, 0x0001)) << "unchanged";
    EXPECT_FALSE(panel.setActionKey(0, 0x0200)) << "no such list code";
    EXPECT_TRUE(panel.setActionKey(0, 0x0067));
    EXPECT_EQ(panel.rows()[0].key, 0x036) << "Right Shift, the lower row";
    EXPECT_TRUE(panel.setActionDirection(0, kRelease));
    EXPECT_FALSE(panel.setActionDirection(0, 2));
    EXPECT_FALSE(panel.setActionKey(5, 0x0001)) << "no such row";

    struct Case {
        std::u16string text;
        bool changed;
        bool overMax;
        uint32_t value;
    };
    const Case cases[] = {
        {u"12345", true, false, 12340},
        {u"50000", true, true, 40000},
        {u"40000", false, false, 40000},
        {u"9", true, false, 0},
        {u"", false, false, 0},
        {u"12a", false, false, 0},
        {u"99999999999999999999", true, true, 40000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        const DelayEditOutcome out = panel.editDelay(0, c.text);
        EXPECT_EQ(out.changed, c.changed);
        EXPECT_EQ(out.overMax, c.overMax);
        EXPECT_EQ(out.value, c.value);
        EXPECT_EQ(panel.rows()[0].delayMs, c.value);
    }
}

TEST_F(MacroPanel, ADelayEditStopsRecording) {
    panel.loadMacroList(MacroSet{macroNamed(u"M", 1, {{100, 0x1E, kPress}})});
    panel.selectMacro(0);
    EXPECT_FALSE(panel.beginDelayEdit());
    ASSERT_TRUE(panel.startRecording(0));
    EXPECT_FALSE(panel.macroListEnabled());
    EXPECT_TRUE(panel.beginDelayEdit());
    EXPECT_FALSE(panel.recording());
    EXPECT_TRUE(panel.macroListEnabled());
    EXPECT_EQ(panel.recordKeyMessage(0x41, lParamOf(0x01E, false), 10), HookResult::PassOn);
}

TEST_F(MacroPanel, CommitHandsBackStoredCopiesAndClearsNew) {
    panel.loadMacroList(MacroSet{macroNamed(u"Old", 1)});
    panel.addMacro(u"Macro");
    panel.addAction(0x1E, kPress, 0);
    panel.setCyclesText(u"12");
    const MacroSet list = panel.macrosForCommit();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].isNew(), 1) << "reconciling needs to see which macros are new";
    EXPECT_EQ(list[1].actionCount(), 1u);
    EXPECT_EQ(list[1].cycles(), 12);
    panel.committed();
    EXPECT_EQ(panel.macro(1).isNew(), 0);
}

TEST_F(MacroPanel, ImageSizesCountRowsNotStoredYet) {
    panel.loadMacroList(MacroSet{macroNamed(u"Ab", 1, {{100, 0x1E, kPress}, {0, 0x1E, kRelease}})});
    EXPECT_EQ(panel.imageSizes(), (MacroImageSizes{34, 30}));
    panel.selectMacro(0);
    panel.addAction(0x30, kPress, 10);
    EXPECT_EQ(panel.imageSizes(), (MacroImageSizes{38, 34}));
    panel.deleteMacro();
    EXPECT_EQ(panel.imageSizes(), (MacroImageSizes{16, 16}));
}

} // namespace
} // namespace tarvik::macros
