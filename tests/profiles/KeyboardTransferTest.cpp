#include "profiles/KeyboardTransfer.h"

#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "platform/Paths.h"
#include "profiles/Download.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
} // namespace tarvik::profiles
