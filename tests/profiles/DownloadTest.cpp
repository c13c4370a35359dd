#include "profiles/Download.h"

#include "macros/MacroImage.h"
#include "platform/Bytes.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/FakeKeyboard.h"

#include <gtest/gtest.h>

namespace tarvik::profiles {
namespace {

using device::CMD_BEGIN_WRITE;
using device::CMD_END_WRITE;
using device::CMD_READ_CONFIG;
using device::CMD_WRITE_KEYS;
using device::CMD_WRITE_MACROS;

device::LinkTiming fastTiming() {
    device::LinkTiming t;
    t.endWritePause = std::chrono::milliseconds(0);
    return t;
}

// Slot of the A key in the built-in layout's key block order.
size_t slotOfKey(keyboard::KeyCode key) {
    const auto& layout = keyboard::DefaultLayout::builtIn();
    for (size_t s = 0; s < keyboard::kKeyBlockSlots; ++s) {
        if (keyboard::KeyOfKeyEntry(layout.entry(s)) == key) {
            return s;
        }
    }
    return keyboard::kKeyBlockSlots;
}

macros::MacroRecord namedMacro(macros::MacroSet& list, std::u16string_view name, size_t actions) {
    macros::MacroRecord m = macros::createMacroRecord(list, name);
    m.setIsNew(0);
    m.setActions(std::vector<macros::MacroAction>(actions, macros::MacroAction{100, 0x1E, 0}));
    return m;
}

class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() : commands(kb, fastTiming()) { state.macroCapacity = 8192; }

    // The apply step, then its messages as a window shows them, after the store's locks are released.
    DownloadOutcome apply(bool all) {
        DownloadOutcome out = makeAppliedCopy(store, commands, state, all);
        showDownloadMessages(out, prompter);
        return out;
    }
    int run(bool all) { return apply(all).result; }
    std::u16string firstMacroName() {
        auto lock = store.lockKeyData();
        return store.working().macros().at(0).name();
    }
    std::vector<uint8_t> sentImage() const {
        std::vector<uint8_t> img;
        for (const auto& q : kb.requests) {
            if (q.command == CMD_WRITE_MACROS) {
                img.insert(img.end(), q.data.begin(), q.data.end());
            }
        }
        return img;
    }

    testing::FakeKeyboard kb;
    device::Commands commands;
    device::AppLinkState state;
    testing::RecordingPrompter prompter;
    AssignmentStore store;
};

TEST_F(DownloadTest, CurrentProfileOnlyInTheDocumentedOrder) {
    kb.config[10] = 1;
    EXPECT_EQ(run(false), 1);
    // The current profile is asked before the frame opens; then one sequence.
    EXPECT_EQ(kb.commandRuns(), (std::vector<uint8_t>{CMD_READ_CONFIG, CMD_BEGIN_WRITE, CMD_WRITE_MACROS,
                                                      CMD_WRITE_KEYS, CMD_END_WRITE}));
    EXPECT_EQ(kb.addresses(CMD_WRITE_KEYS), (std::vector<uint16_t>{378, 434, 490, 546, 602, 658, 714}));
    EXPECT_EQ(sentImage(), (std::vector<uint8_t>{0xAA, 0x55, 0x10, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(DownloadTest, AllProfilesWritesThreeBlocksInOrder) {
    EXPECT_EQ(run(true), 1);
    EXPECT_EQ(kb.commandRuns(),
              (std::vector<uint8_t>{CMD_BEGIN_WRITE, CMD_WRITE_MACROS, CMD_WRITE_KEYS, CMD_END_WRITE}));
    std::vector<uint16_t> addr = kb.addresses(CMD_WRITE_KEYS);
    ASSERT_EQ(addr.size(), 21u);
    EXPECT_EQ(addr[0], 0);
    EXPECT_EQ(addr[7], 378);
    EXPECT_EQ(addr[14], 756);
}

TEST_F(DownloadTest, CapacityZeroRefusesEveryDownloadAndSendsNothing) {
    state.macroCapacity = 0;
    DownloadOutcome out = apply(true);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.tooLong);
    EXPECT_EQ(out.failedStep, DownloadStep::Fit);
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
}

TEST_F(DownloadTest, NamesAreDroppedWhenTheyAreOneByteTooMany) {
    macros::MacroImageSizes sizes;
    {
        auto lock = store.lockKeyData();
        auto& list = store.working().macros();
        list.push_back(namedMacro(list, u"Ab", 2));
        sizes = macros::macroImageSizes(list);
    }
    ASSERT_EQ(sizes.withNames, 34u);
    state.macroCapacity = static_cast<uint32_t>(sizes.withNames - 1);
    EXPECT_EQ(run(true), 1);
    std::vector<uint8_t> img = sentImage();
    ASSERT_EQ(img.size(), sizes.withoutNames);
    EXPECT_EQ(readLe16(&img[2]), sizes.withoutNames);
    EXPECT_EQ(readLe16(&img[6]), 0) << "names flag";
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_PROFILE_SPACE_TIGHT"});
    // The message follows the transfer.
    EXPECT_EQ(kb.requests.back().command, CMD_END_WRITE);
    // The working copy keeps its names.
    EXPECT_EQ(firstMacroName(), u"Ab");

    prompter.shown.clear();
    kb.requests.clear();
    state.macroCapacity = static_cast<uint32_t>(sizes.withNames);
    EXPECT_EQ(run(true), 1);
    EXPECT_EQ(readLe16(&sentImage()[6]), 1);
    EXPECT_TRUE(prompter.shown.empty());

    state.macroCapacity = static_cast<uint32_t>(sizes.withoutNames - 1);
    kb.requests.clear();
    EXPECT_EQ(run(true), 0);
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
}

TEST_F(DownloadTest, PlayMacroEntriesCarryListPositions) {
    size_t slotA = slotOfKey(0x1E);
    size_t slotB = slotOfKey(0x30);
    ASSERT_LT(slotA, keyboard::kKeyBlockSlots);
    ASSERT_LT(slotB, keyboard::kKeyBlockSlots);
    {
        auto lock = store.lockKeyData();
        WorkingCopy& w = store.working();
        auto& list = w.macros();
        list.push_back(namedMacro(list, u"one", 1)); // id 1
        list.push_back(namedMacro(list, u"two", 1)); // id 2
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_MACRO;
        r.aux = 1;
        r.value = 2;
        w.setRecord(0x1E, r); // profile 0, key A: macro id 2, second in the list
        r.value = 7;
        w.setRecord(0x30, r); // key B: no macro has id 7
    }
    EXPECT_EQ(run(true), 1);
    auto block = kb.keyBlock(0);
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 3 * slotA, block.begin() + 3 * slotA + 3),
              (std::vector<uint8_t>{0x05, 0x01, 0x01}));
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 3 * slotB, block.begin() + 3 * slotB + 3),
              (std::vector<uint8_t>{0x05, 0x01, 0x00}));
}

TEST_F(DownloadTest, EveryStepMustSucceedAndAFailedSequenceIsDiscardedNotCommitted) {
    using device::kBusyFE;
    using device::kBusyFF;
    // After the failing step the keyboard is told nothing more, or gets a fresh beginWrite that drops
    // what it staged and an empty endWrite: nothing of the sequence is committed, no frame stays open.
    struct Case {
        const char* name;
        uint8_t command;
        int failure; // busy status (0xFF/0xFE) through the reply, else transact's own result
        bool busy;
        int result;
        DownloadStep step;
        std::vector<uint8_t> runs; // the commands sent, runs folded
    } cases[] = {
        {"busy beginWrite",
         CMD_BEGIN_WRITE,
         0xFF,
         true,
         kBusyFF,
         DownloadStep::BeginWrite,
         {CMD_BEGIN_WRITE}},
        {"busy macro area",
         CMD_WRITE_MACROS,
         0xFF,
         true,
         kBusyFF,
         DownloadStep::MacroArea,
         {CMD_BEGIN_WRITE, CMD_WRITE_MACROS, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"busy key block",
         CMD_WRITE_KEYS,
         0xFE,
         true,
         kBusyFE,
         DownloadStep::KeyBlock,
         {CMD_BEGIN_WRITE, CMD_WRITE_MACROS, CMD_WRITE_KEYS, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"refused key block",
         CMD_WRITE_KEYS,
         device::kWriteRefused,
         false,
         device::kWriteRefused,
         DownloadStep::KeyBlock,
         {CMD_BEGIN_WRITE, CMD_WRITE_MACROS, CMD_WRITE_KEYS, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"busy endWrite",
         CMD_END_WRITE,
         0xFE,
         true,
         kBusyFE,
         DownloadStep::EndWrite,
         {CMD_BEGIN_WRITE, CMD_WRITE_MACROS, CMD_WRITE_KEYS, CMD_END_WRITE, CMD_BEGIN_WRITE, CMD_END_WRITE}},
        {"keyboard gone",
         CMD_WRITE_MACROS,
         device::kNoKeyboard,
         false,
         device::kNoKeyboard,
         DownloadStep::MacroArea,
         {CMD_BEGIN_WRITE, CMD_WRITE_MACROS}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kb.requests.clear();
        kb.busy.clear();
        kb.transactFailures.clear();
        if (c.busy) {
            kb.busy[c.command] = static_cast<uint8_t>(c.failure);
        } else {
            kb.transactFailures[c.command] = c.failure;
        }
        DownloadOutcome out = apply(true);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.failedStep, c.step);
        EXPECT_FALSE(out.succeeded());
        EXPECT_EQ(kb.commandRuns(), c.runs);
        // The first key block's first chunk is the one refused.
        EXPECT_LE(kb.addresses(CMD_WRITE_KEYS).size(), 21u);
        if (c.step == DownloadStep::KeyBlock) {
            EXPECT_EQ(kb.addresses(CMD_WRITE_KEYS), std::vector<uint16_t>{0});
            EXPECT_EQ(out.failedBlock, 0u);
        }
    }
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(DownloadTest, NoReadableCurrentProfileSendsNothing) {
    kb.busy[CMD_READ_CONFIG] = 0xFF;
    DownloadOutcome out = apply(false);
    EXPECT_EQ(out.result, device::kBadBlock);
    EXPECT_EQ(out.failedStep, DownloadStep::CurrentProfile);
    EXPECT_EQ(kb.commandRuns(), std::vector<uint8_t>{CMD_READ_CONFIG})
        << "a new macro image beside the old key block would point its keys at the wrong macros";
}

TEST_F(DownloadTest, AppliedCopyIsTheWorkingCopyWithPackedTexts) {
    {
        auto lock = store.lockKeyData();
        WorkingCopy& w = store.working();
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_TEXT_BLOCK;
        w.setRecord(600, r);
        w.attachText(600, u"hi");
        r.type = keyboard::ASSIGN_LAUNCH;
        w.setRecord(10, r);
        w.attachText(10, u"/x");
        w.macros().push_back(namedMacro(w.macros(), u"m", 3));
    }
    EXPECT_EQ(run(true), 1);
    auto lock = store.lockApplied();
    const AppliedCopy& a = store.applied();
    EXPECT_EQ(a.pool, (std::vector<uint8_t>{'/', 0, 'x', 0, 0, 0, 'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(a.block->records[10].value, 0u);
    EXPECT_EQ(a.block->records[600].value, 6u);
    EXPECT_EQ(store.working().records()[600].value, 6u) << "offsets are written into the working copy too";
    EXPECT_EQ(a.macros, store.working().macros());
    EXPECT_EQ(readLe16(&a.block->headerArea[14]), 1) << "header for the macro count";
    EXPECT_EQ(readLe32(&a.block->headerArea[16]), 12u) << "and the text sum";
}

} // namespace
} // namespace tarvik::profiles
