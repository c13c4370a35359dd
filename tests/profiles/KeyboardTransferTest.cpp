#include "profiles/KeyboardTransfer.h"

#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "platform/Paths.h"
#include "profiles/Download.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/FakeKeyboard.h"
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

// Records as a key block carries them: the repeat count of a play-macro record is not part of it.
bool sameOnKeyboard(keyboard::KeyAssignment a, keyboard::KeyAssignment b) {
    if (a.type == keyboard::ASSIGN_MACRO) {
        a.aux = 0;
    }
    if (b.type == keyboard::ASSIGN_MACRO) {
        b.aux = 0;
    }
    return a == b;
}

class KeyboardTransferTest : public ::testing::Test {
protected:
    KeyboardTransferTest() : commands(kb, fastTiming()) {
        state.macroCapacity = 8192;
        dir = testing::useOwnHome() / "files";
        fs::create_directories(dir);
    }

    // A store with one assignment of every kind a key block carries, in profiles 0-2, and two macros.
    void fillStore(AssignmentStore& s) {
        auto lock = s.lockKeyData();
        WorkingCopy& w = s.working();
        // After any read from the keyboard every on-board profile carries its G-key tags.
        keyboard::ResetProfileRecords(w.block().profile(1));
        keyboard::ResetProfileRecords(w.block().profile(2));
        auto& list = w.macros();
        for (std::u16string_view name : {u"first", u"second"}) {
            macros::MacroRecord m = macros::createMacroRecord(list, name);
            m.setIsNew(0);
            m.setCycles(4);
            m.setActions(std::vector<macros::MacroAction>{{120, 0x1E, 0}, {0, 0x1E, 1}, {40000, 0x138, 0}});
            list.push_back(m);
        }
        auto set = [&](unsigned profile, keyboard::KeySlot slot, uint16_t type, uint32_t value) {
            keyboard::KeyAssignment r;
            r.type = type;
            r.value = value;
            r.aux = type == keyboard::ASSIGN_MACRO ? 1 : 0;
            w.setRecord(profile * 512 + slot, r);
        };
        set(0, 0x1E, keyboard::ASSIGN_SINGLE_KEY, 0x030);
        set(0, 0x30, keyboard::ASSIGN_NO_FUNCTION, 0);
        set(1, 0x1F, keyboard::ASSIGN_MACRO, 2);
        set(1, 0x20, keyboard::ASSIGN_STOP_MACRO, 0);
        set(2, 0x21, keyboard::ASSIGN_MEDIA, 15);
        set(2, 0x22, keyboard::ASSIGN_FUNCTION_KEY, 10);
        set(2, 0x23, keyboard::ASSIGN_SINGLE_KEY, 0x138);
    }

    testing::FakeKeyboard kb;
    device::Commands commands;
    device::AppLinkState state;
    testing::RecordingPrompter prompter;
    fs::path dir;
};

TEST_F(KeyboardTransferTest, DownloadThenReadBackGivesTheSameRecordsAndMacros) {
    AssignmentStore store;
    fillStore(store);
    ASSERT_EQ(makeAppliedCopy(store, commands, state, prompter, true), 1);

    fs::path f = dir / "back.tvk";
    ASSERT_TRUE(readKeyboardToFile(f, commands, state));
    AssignmentStore back;
    ASSERT_EQ(loadProfileFile(back, f), 1);
    auto lock = back.lockKeyData();
    for (size_t i = 0; i < 3 * 512; ++i) {
        ASSERT_TRUE(sameOnKeyboard(back.working().records()[i], store.working().records()[i]))
            << "record " << i;
    }
    for (size_t i = 3 * 512; i < 2048; ++i) {
        ASSERT_EQ(back.working().records()[i], keyboard::KeyAssignment{}) << "profile 3 is all zero";
    }
    const auto& m = back.working().macros();
    ASSERT_EQ(m.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(m[i].id(), i + 1);
        EXPECT_EQ(m[i].name(), store.working().macros()[i].name());
        EXPECT_EQ(m[i].cycles(), 4);
        EXPECT_EQ(m[i].actions(), store.working().macros()[i].actions());
    }
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
    fillStore(source);
    ASSERT_EQ(makeAppliedCopy(source, commands, state, prompter, true), 1);

    int hookRuns = 0;
    AssignmentStore store;
    EXPECT_FALSE(saveCacheFile(store)) << "no cache before the first reload";
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state, [&](const fs::path&) { ++hookRuns; }));
    EXPECT_EQ(hookRuns, 1);
    EXPECT_TRUE(fs::is_regular_file(cacheFilePath(2)));
    EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_SINGLE_KEY);
    EXPECT_EQ(store.working().macros().size(), 2u);
    EXPECT_TRUE(saveCacheFile(store));

    // The keyboard cannot be read: the working copy becomes the default store.
    kb.busy[device::CMD_READ_KEYS] = 0xFF;
    EXPECT_FALSE(reloadFromKeyboard(store, commands, state, [&](const fs::path&) { ++hookRuns; }));
    EXPECT_EQ(hookRuns, 1) << "the folder existed already";
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
    fillStore(source);
    fs::path f = dir / "in.tvk";
    ASSERT_TRUE(saveProfileFile(source, f));

    AssignmentStore store;
    EXPECT_EQ(importProfileFile(store, f, commands, state, prompter), 1);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(kb.addresses(device::CMD_WRITE_KEYS).size(), 21u);
    AssignmentStore back;
    ASSERT_TRUE(readKeyboardToFile(dir / "back.tvk", commands, state));
    ASSERT_EQ(loadProfileFile(back, dir / "back.tvk"), 1);
    for (size_t i = 0; i < 3 * 512; ++i) {
        ASSERT_TRUE(sameOnKeyboard(back.working().records()[i], source.working().records()[i])) << i;
    }
}

TEST_F(KeyboardTransferTest, RefusedImportLeavesTheWorkingCopyAndTheKeyboard) {
    AssignmentStore store;
    fillStore(store);
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
        EXPECT_EQ(importProfileFile(store, f, commands, state, p), 0) << c.name;
        EXPECT_EQ(p.shown, c.messages) << c.name;
        EXPECT_TRUE(kb.requests.empty()) << c.name;
        EXPECT_EQ(store.working().macros().size(), 2u) << c.name;
        EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_SINGLE_KEY) << c.name;
    }
}

} // namespace
} // namespace tarvik::profiles
