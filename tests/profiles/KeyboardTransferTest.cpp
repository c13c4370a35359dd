#include "profiles/KeyboardTransfer.h"

#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "platform/Paths.h"
#include "profiles/ApplyChanges.h"
#include "profiles/Download.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/LockCheckingPrompter.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

device::LinkTiming fastTiming() {
    device::LinkTiming t;
    t.endWritePause = std::chrono::milliseconds(0);
    return t;
}

class KeyboardTransferTest : public ::testing::Test {
protected:
    KeyboardTransferTest() : commands(kb, fastTiming()) {
        state.macroCapacity = 8192;
        dir = testing::useOwnHome() / "files";
        fs::create_directories(dir);
    }

    testing::FakeKeyboard kb;
    device::Commands commands;
    device::AppLinkState state;
    testing::RecordingPrompter prompter;
    fs::path dir;
};

TEST_F(KeyboardTransferTest, DownloadThenReadBackGivesTheSameRecordsAndMacros) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(makeAppliedCopy(store, commands, state, true).result, 1);

    fs::path f = dir / "back.tvk";
    ASSERT_TRUE(readKeyboardToFile(f, commands, state));
    AssignmentStore back;
    ASSERT_EQ(loadProfileFile(back, f), 1);
    testing::expectSampleStoreBack(store, back);
    testing::RecordingPrompter p;
    EXPECT_EQ(validateProfileFile(f, p), 1);
}

TEST_F(KeyboardTransferTest, AnyFailingReadWritesNoFile) {
    for (uint8_t failing : {device::CMD_READ_CONFIG, device::CMD_READ_KEYS, device::CMD_READ_MACROS}) {
        testing::FakeKeyboard k;
        k.busy[failing] = 0xFF;
        device::Commands c(k, fastTiming());
        device::AppLinkState s;
        fs::path f = dir / ("fail" + std::to_string(failing));
        EXPECT_FALSE(readKeyboardToFile(f, c, s)) << int(failing);
        EXPECT_FALSE(fs::exists(f)) << int(failing);
    }
}

TEST_F(KeyboardTransferTest, AnAreaWithoutTheMagicHoldsNoMacros) {
    kb.macroArea.assign(8192, 0x11);
    fs::path f = dir / "nomagic.tvk";
    ASSERT_TRUE(readKeyboardToFile(f, commands, state));
    AssignmentStore s;
    ASSERT_EQ(loadProfileFile(s, f), 1);
    EXPECT_TRUE(s.working().macros().empty());
}

TEST_F(KeyboardTransferTest, AHeaderPromisingMoreThanTheAreaIsReadOnlyUpToTheArea) {
    writeLe16(&kb.macroArea[2], 0xFFFF); // more than the 8192-byte area
    writeLe16(&kb.macroArea[4], 3);
    ASSERT_TRUE(readKeyboardToFile(dir / "big.tvk", commands, state));
    uint32_t highest = 0;
    for (const auto& q : kb.requests) {
        if (q.command == device::CMD_READ_MACROS) {
            highest = std::max<uint32_t>(highest, q.address + q.length);
        }
    }
    EXPECT_EQ(highest, 8192u);
}

TEST_F(KeyboardTransferTest, ReloadCreatesTheCacheFileAndLoadsIt) {
    AssignmentStore source;
    testing::fillSampleStore(source);
    ASSERT_EQ(makeAppliedCopy(source, commands, state, true).result, 1);

    int hookRuns = 0;
    AssignmentStore store;
    EXPECT_FALSE(saveCacheFile(store)) << "no cache before the first reload";
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state, [&](const fs::path&) { ++hookRuns; }));
    EXPECT_EQ(hookRuns, 1);
    EXPECT_TRUE(fs::is_regular_file(cacheFilePath(2)));
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_SINGLE_KEY);
        EXPECT_EQ(store.working().macros().size(), 3u);
    }
    EXPECT_TRUE(saveCacheFile(store));

    // The keyboard cannot be read: the working copy becomes the default store.
    kb.busy[device::CMD_READ_KEYS] = 0xFF;
    EXPECT_FALSE(reloadFromKeyboard(store, commands, state, [&](const fs::path&) { ++hookRuns; }));
    EXPECT_EQ(hookRuns, 1) << "the folder existed already";
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_DEFAULT);
    EXPECT_TRUE(store.working().macros().empty());
    EXPECT_EQ(store.working().records()[256].aux, 0x0301);
}

TEST_F(KeyboardTransferTest, ExportWithoutAnyKeyboardWritesTheDefaultStore) {
    AssignmentStore store;
    fs::path f = dir / "export.tvk";
    ASSERT_TRUE(exportProfileFile(store, f));
    fs::path expected = dir / "default.tvk";
    ASSERT_TRUE(newDefaultStoreFile(expected));
    EXPECT_EQ(readWholeFile(f), readWholeFile(expected));
    EXPECT_EQ(fs::file_size(f), 32832u);
}

TEST_F(KeyboardTransferTest, ApplyCacheSaveFailsUntilAKeyboardWasRead) {
    AssignmentStore store;
    ensureDataFolder();
    EXPECT_FALSE(saveCacheFile(store));
    EXPECT_FALSE(fs::exists(cacheFilePath(0)));
}

TEST_F(KeyboardTransferTest, ImportDownloadsAllProfilesAndMacros) {
    AssignmentStore source;
    testing::fillSampleStore(source);
    fs::path f = dir / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, f));

    AssignmentStore store;
    ImportOutcome out = importProfileFile(store, f, commands, state);
    EXPECT_EQ(out.result, 1);
    showImportMessages(out, prompter);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(kb.addresses(device::CMD_WRITE_KEYS).size(), 21u);
    AssignmentStore back;
    ASSERT_TRUE(readKeyboardToFile(dir / "back.tvk", commands, state));
    ASSERT_EQ(loadProfileFile(back, dir / "back.tvk"), 1);
    testing::expectSampleStoreBack(source, back);
}

TEST_F(KeyboardTransferTest, RefusedImportLeavesTheWorkingCopyAndTheKeyboard) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    fs::path good = dir / "good.tvk";
    ASSERT_TRUE(saveProfileFile(store, good));
    std::vector<uint8_t> bytes = *readWholeFile(good);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<std::string> messages;
    };
    std::vector<uint8_t> badHeader = bytes;
    badHeader[4] = 4;
    std::vector<uint8_t> tooSmall(bytes.begin(), bytes.begin() + 32831);
    std::vector<uint8_t> truncated(bytes.begin(), bytes.end() - 100);
    Case cases[] = {
        {"bad header", badHeader, {"PROFILE_FORMAT_ERROR", "MAIN_PROMPT_INPORT"}},
        {"too small", tooSmall, {"MAIN_PROMPT_INPORT"}},
        {"truncated macros", truncated, {"PROFILE_FORMAT_ERROR", "MAIN_PROMPT_INPORT"}},
    };
    for (const auto& c : cases) {
        fs::path f = dir / c.name;
        ASSERT_TRUE(writeFileAtomically(f, c.bytes));
        testing::RecordingPrompter p;
        kb.requests.clear();
        ImportOutcome out = importProfileFile(store, f, commands, state);
        EXPECT_EQ(out.result, 0) << c.name;
        showImportMessages(out, p);
        EXPECT_EQ(p.shown, c.messages) << c.name;
        EXPECT_TRUE(kb.requests.empty()) << c.name;
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().macros().size(), 3u) << c.name;
        EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_SINGLE_KEY) << c.name;
    }
}

// The entry of a key in the built-in layout's key block order.
size_t entryOfKey(keyboard::KeyCode key) {
    const auto& layout = keyboard::DefaultLayout::builtIn();
    for (size_t s = 0; s < keyboard::kKeyBlockSlots; ++s) {
        if (keyboard::KeyOfKeyEntry(layout.entry(s)) == key) {
            return s;
        }
    }
    return keyboard::kKeyBlockSlots;
}

std::vector<uint8_t> cacheBytes() {
    return readWholeFile(cacheFilePath(0)).value_or(std::vector<uint8_t>{});
}

TEST_F(KeyboardTransferTest, ApplyChangesTheCacheFileOnlyWhenTheKeyboardTookTheSame) {
    AssignmentStore store;
    testing::LockCheckingPrompter messages(store);
    // No cache file yet (no keyboard was ever read): nothing is sent either.
    ApplyOutcome out = applyChanges(store, commands, state);
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.download.result, 0);
    EXPECT_TRUE(kb.requests.empty());

    ASSERT_TRUE(reloadFromKeyboard(store, commands, state));
    const std::vector<uint8_t> before = cacheBytes();
    ASSERT_FALSE(before.empty());
    testing::fillSampleStore(store);

    struct Case {
        const char* name;
        uint8_t busyCommand;
        uint32_t capacity;
        bool tooLong;
    } refusals[] = {
        {"key block refused", device::CMD_WRITE_KEYS, 8192, false},
        {"endWrite refused", device::CMD_END_WRITE, 8192, false},
        {"macros too long", 0, 16, true},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        kb.busy.clear();
        if (c.busyCommand != 0) {
            kb.busy[c.busyCommand] = 0xFE;
        }
        state.macroCapacity = c.capacity;
        out = applyChanges(store, commands, state);
        EXPECT_FALSE(out.succeeded());
        EXPECT_FALSE(out.saved);
        EXPECT_EQ(out.download.tooLong, c.tooLong);
        EXPECT_EQ(cacheBytes(), before) << "the cache file is as it was";
        showDownloadMessages(out.download, messages);
    }
    EXPECT_EQ(messages.recorder.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});

    kb.busy.clear();
    state.macroCapacity = 8192;
    out = applyChanges(store, commands, state);
    EXPECT_TRUE(out.succeeded());
    EXPECT_TRUE(out.saved);
    ASSERT_TRUE(saveProfileFile(store, dir / "expected.tvk"));
    EXPECT_EQ(cacheBytes(), *readWholeFile(dir / "expected.tvk"));
    EXPECT_TRUE(messages.underLock.empty());
}

TEST_F(KeyboardTransferTest, ARefusedOrFailedImportChangesNothing) {
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state));
    {
        auto lock = store.lockKeyData();
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_NO_FUNCTION;
        store.working().setRecord(0x30, r); // an edit not applied yet
    }
    const std::vector<uint8_t> before = cacheBytes();

    // A valid file whose macros the keyboard cannot hold: 100 macros of 2000 actions each.
    AssignmentStore huge;
    {
        auto lock = huge.lockKeyData();
        auto& list = huge.working().macros();
        for (int i = 0; i < 100; ++i) {
            list.push_back(testing::sampleMacro(list, u"m", 1, 2000));
        }
    }
    ASSERT_TRUE(saveProfileFile(huge, dir / "huge.tvk"));
    AssignmentStore source;
    testing::fillSampleStore(source);
    ASSERT_TRUE(saveProfileFile(source, dir / "good.tvk"));

    testing::LockCheckingPrompter messages(store);
    kb.requests.clear();
    ImportOutcome out = importProfileFile(store, dir / "huge.tvk", commands, state);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.download.tooLong);
    EXPECT_FALSE(out.refused) << "the file itself is fine";
    EXPECT_TRUE(kb.requests.empty()) << "refused before the keyboard is touched";
    showImportMessages(out, messages);
    EXPECT_EQ(messages.recorder.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});

    kb.busy[device::CMD_WRITE_KEYS] = 0xFF;
    out = importProfileFile(store, dir / "good.tvk", commands, state);
    EXPECT_EQ(out.result, device::kBusyFF);
    EXPECT_EQ(out.download.failedStep, DownloadStep::KeyBlock);
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(cacheBytes(), before);
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().records()[0x30].type, keyboard::ASSIGN_NO_FUNCTION) << "the edit is kept";
        EXPECT_TRUE(store.working().macros().empty());
    }

    kb.busy.clear();
    out = importProfileFile(store, dir / "good.tvk", commands, state);
    EXPECT_TRUE(out.succeeded());
    EXPECT_TRUE(out.saved);
    EXPECT_EQ(cacheBytes(), *readWholeFile(dir / "good.tvk"));
    EXPECT_TRUE(messages.underLock.empty());
}

TEST_F(KeyboardTransferTest, ReloadKeepsWhatOnlyTheComputerHolds) {
    using namespace keyboard;
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state)); // the cache file exists from here on
    auto assign = [&](unsigned profile, KeySlot slot, uint16_t type, uint32_t value,
                      std::optional<std::u16string_view> text = std::nullopt) {
        KeyAssignment r;
        r.type = type;
        r.value = value;
        r.aux = GKeyTagOfSlot(slot);
        ASSERT_GE(AssignToSlot(store.working(), profile, slot, r, text), 0);
    };
    const KeySlot g3Layer1 = kFirstGSlotLayer1 + 2;
    {
        auto lock = store.lockKeyData();
        assign(0, g3Layer1, ASSIGN_TEXT_BLOCK, 0, u"from G3");
        assign(2, kFirstGSlotLayer0, ASSIGN_SINGLE_KEY, 0x30);
        assign(0, 0x25, ASSIGN_TEXT_BLOCK, 0, u"hello");         // K
        assign(1, 0x23, ASSIGN_LAUNCH, 0, u"/usr/bin/true");     // H
        assign(0, 0x24, ASSIGN_TEXT_BLOCK, 0, u"changed later"); // J
        assign(0, 0x1E, ASSIGN_SINGLE_KEY, 0x30);                // A: a key the keyboard carries itself
        assign(3, 0x1E, ASSIGN_SINGLE_KEY, 0x31);
        auto& list = store.working().macros();
        list.push_back(testing::sampleMacro(list, u"a long name the keyboard has no room for", 2, 3));
        list.push_back(testing::sampleMacro(list, u"another one", 3, 5));
    }
    macros::MacroImageSizes sizes;
    {
        auto lock = store.lockKeyData();
        sizes = macros::macroImageSizes(store.working().macros());
    }
    state.macroCapacity = static_cast<uint32_t>(sizes.withoutNames); // the names do not fit
    ASSERT_TRUE(makeAppliedCopy(store, commands, state, true).succeeded());
    ASSERT_TRUE(saveCacheFile(store));
    // Key J is changed on the keyboard behind the program's back: to key A's function.
    const size_t j = entryOfKey(0x24);
    ASSERT_LT(j, kKeyBlockSlots);
    kb.keyBlocks[j * 3] = 0x02;
    kb.keyBlocks[j * 3 + 1] = 0x02;
    kb.keyBlocks[j * 3 + 2] = 0x04;

    for (int round = 0; round < 2; ++round) { // and again from the cache file the first reload wrote
        SCOPED_TRACE(round);
        AssignmentStore back;
        ASSERT_TRUE(reloadFromKeyboard(back, commands, state));
        auto lock = back.lockKeyData();
        const WorkingCopy& w = back.working();
        EXPECT_EQ(w.records()[g3Layer1].type, ASSIGN_TEXT_BLOCK);
        EXPECT_EQ(w.text(g3Layer1).text, u"from G3");
        EXPECT_EQ(w.records()[1024 + kFirstGSlotLayer0].value, 0x30u);
        EXPECT_EQ(w.records()[0x25].type, ASSIGN_TEXT_BLOCK);
        EXPECT_EQ(w.text(0x25).text, u"hello");
        EXPECT_EQ(w.records()[512 + 0x23].type, ASSIGN_LAUNCH);
        EXPECT_EQ(w.text(512 + 0x23).text, u"/usr/bin/true");
        EXPECT_EQ(w.records()[1536 + 0x1E].value, 0x31u) << "profile 3";
        EXPECT_EQ(w.records()[0x24].type, ASSIGN_SINGLE_KEY) << "the keyboard's function for J";
        EXPECT_EQ(w.records()[0x24].value, 0x1Eu);
        EXPECT_EQ(w.text(0x24).size, 0u);
        EXPECT_EQ(w.records()[0x1E].type, ASSIGN_SINGLE_KEY);
        EXPECT_EQ(w.textSum(), w.text(g3Layer1).size + w.text(0x25).size + w.text(512 + 0x23).size);
        ASSERT_EQ(w.macros().size(), 2u);
        EXPECT_EQ(w.macros()[0].name(), u"a long name the keyboard has no room for");
        EXPECT_EQ(w.macros()[1].name(), u"another one");
    }

    // An unreadable cache file keeps nothing, and nothing breaks.
    ASSERT_TRUE(writeFileAtomically(cacheFilePath(0), std::vector<uint8_t>(100, 0x42)));
    AssignmentStore fresh;
    ASSERT_TRUE(reloadFromKeyboard(fresh, commands, state));
    auto lock = fresh.lockKeyData();
    EXPECT_EQ(fresh.working().records()[g3Layer1].type, ASSIGN_DEFAULT);
    EXPECT_EQ(fresh.working().macros().at(0).name(), u"Macro1");
}

} // namespace
} // namespace tarvik::profiles
