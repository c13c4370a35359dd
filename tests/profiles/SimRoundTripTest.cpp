// The store carried through the virtual keyboard: downloaded, read back into a profile file, loaded and
// compared.
#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "profiles/ApplyChanges.h"
#include "profiles/Download.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/SimKeyboard.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

class SimRoundTrip : public testing::SimKeyboardTest {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        testing::SimKeyboardTest::SetUp();
    }
    // The apply step and then its messages, as a window shows them once the store is unlocked.
    int apply(AssignmentStore& store, bool all) {
        DownloadOutcome out = makeAppliedCopy(store, commands(), state, all);
        showDownloadMessages(out, prompter);
        return out.result;
    }
    static uint16_t recordType(AssignmentStore& store, size_t index) {
        auto lock = store.lockKeyData();
        return store.working().records()[index].type;
    }
    void readBack(AssignmentStore& back) {
        fs::path f = home / "back.tvk";
        ASSERT_TRUE(readKeyboardToFile(f, commands(), state));
        ASSERT_EQ(loadProfileFile(back, f), 1);
    }
    fs::path home;
    testing::RecordingPrompter prompter;
};

TEST_F(SimRoundTrip, EveryAssignmentTypeAndTheMacrosComeBack) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, true), 1);
    EXPECT_TRUE(prompter.shown.empty());

    AssignmentStore back;
    readBack(back);
    testing::expectSampleStoreBack(store, back);
}

TEST_F(SimRoundTrip, ApplyWritesOnlyTheCurrentProfilesBlock) {
    ASSERT_EQ(device::selectOnBoardProfile(commands(), state, 2), 1);
    std::vector<uint8_t> before = sim->area(PortmuxSimControl::Area::KeyBlocks);
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, false), 1);
    std::vector<uint8_t> after = sim->area(PortmuxSimControl::Area::KeyBlocks);
    ASSERT_EQ(after.size(), 3u * 378);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 756, after.begin()))
        << "blocks 0 and 1 untouched";
    EXPECT_FALSE(std::equal(before.begin() + 756, before.end(), after.begin() + 756)) << "block 2 written";
}

TEST_F(SimRoundTrip, ASmallMacroAreaDropsTheNamesAndReadsBackDefaultNames) {
    // One unit of 128 bytes: three macros fit only without their names.
    ASSERT_TRUE(sim->setArea(PortmuxSimControl::Area::Config, 11, {1}));
    ASSERT_EQ(device::refreshMacroCapacity(commands(), state), 1);
    ASSERT_EQ(state.macroCapacity.load(), 128u);
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        auto& list = store.working().macros();
        for (std::u16string_view name : {u"a long macro name", u"another long name", u"and a third one"}) {
            list.push_back(testing::sampleMacro(list, name, 1, 6));
        }
        macros::MacroImageSizes sizes = macros::macroImageSizes(list);
        ASSERT_GT(sizes.withNames, 128u);
        ASSERT_LE(sizes.withoutNames, 128u);
    }
    ASSERT_EQ(apply(store, true), 1);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_PROFILE_SPACE_TIGHT"});
    AssignmentStore back;
    readBack(back);
    {
        auto backLock = back.lockKeyData();
        auto storeLock = store.lockKeyData();
        ASSERT_EQ(back.working().macros().size(), 3u);
        EXPECT_EQ(back.working().macros()[0].name(), u"Macro1");
        EXPECT_EQ(back.working().macros()[2].name(), u"Macro3");
        EXPECT_EQ(back.working().macros()[1].actions(), store.working().macros()[1].actions());
    }

    // Far too many actions: refused before anything is sent.
    prompter.shown.clear();
    sim->clearReports();
    {
        auto lock = store.lockKeyData();
        store.working().macros().push_back(testing::sampleMacro(store.working().macros(), u"x", 1, 100));
    }
    EXPECT_EQ(apply(store, true), 0);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
    EXPECT_EQ(sim->reportCount(), 0u);
}

TEST_F(SimRoundTrip, ReloadFromTheKeyboardGoesThroughTheCacheFile) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, true), 1);
    AssignmentStore fresh;
    bool ranHook = false;
    ASSERT_TRUE(reloadFromKeyboard(fresh, commands(), state, [&](const fs::path&) { ranHook = true; }));
    EXPECT_TRUE(ranHook);
    EXPECT_TRUE(fs::is_regular_file(cacheFilePath(0)));
    EXPECT_EQ(recordType(fresh, 0x1E), keyboard::ASSIGN_SINGLE_KEY);
    EXPECT_TRUE(saveCacheFile(fresh)) << "Apply can save the cache once it exists";

    sim->unplug();
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
    EXPECT_FALSE(reloadFromKeyboard(fresh, commands(), state));
    EXPECT_EQ(recordType(fresh, 0x1E), keyboard::ASSIGN_DEFAULT) << "the default store";
    sim->plug();
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
}

// Another configuration than the sample store: other keys in profiles 0 and 2, other macros.
void fillOtherStore(AssignmentStore& next) {
    auto lock = next.lockKeyData();
    auto& list = next.working().macros();
    list.push_back(testing::sampleMacro(list, u"replacement", 9, 40));
    for (keyboard::KeySlot slot : {0x10, 0x11, 0x12, 0x13, 0x14}) {
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_MACRO;
        r.value = 1;
        r.aux = 1;
        next.working().setRecord(slot, r);
        next.working().setRecord(1024 + slot, r);
    }
}

portmux::sim::Fault fault(portmux::sim::FaultKind kind, uint32_t count, uint8_t command) {
    portmux::sim::Fault f;
    f.kind = kind;
    f.count = count;
    f.command = command;
    return f;
}

TEST_F(SimRoundTrip, AFailedDownloadLeavesTheOldConfigurationWholeNeverAMix) {
    using portmux::sim::FaultKind;
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, true), 1);
    const std::vector<uint8_t> keys = sim->area(PortmuxSimControl::Area::KeyBlocks);
    const std::vector<uint8_t> macroArea = sim->area(PortmuxSimControl::Area::Macros);

    AssignmentStore next;
    fillOtherStore(next);
    struct Case {
        const char* name;
        std::vector<portmux::sim::Fault> faults;
        DownloadStep step;
    } cases[] = {
        {"busy endWrite", {fault(FaultKind::BusyFF, 3, portmux::sim::kEndWrite)}, DownloadStep::EndWrite},
        {"one refused key-block chunk",
         {fault(FaultKind::Pass, 9, portmux::sim::kWriteKeys),
          fault(FaultKind::RefuseWrite, 1, portmux::sim::kWriteKeys)},
         DownloadStep::KeyBlock},
        {"unplugged in the middle",
         {fault(FaultKind::Unplug, 3, portmux::sim::kWriteKeys)},
         DownloadStep::KeyBlock},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& f : c.faults) {
            sim->injectFault(f);
        }
        DownloadOutcome out = makeAppliedCopy(next, commands(), state, true);
        EXPECT_FALSE(out.succeeded());
        EXPECT_EQ(out.failedStep, c.step);
        EXPECT_EQ(sim->area(PortmuxSimControl::Area::KeyBlocks), keys);
        EXPECT_EQ(sim->area(PortmuxSimControl::Area::Macros), macroArea);
        EXPECT_FALSE(sim->frameOpen()) << "no frame is left open for a later write to land in";
        sim->clearFaults();
        if (sim->keyboardCount() == 0) {
            ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
            ASSERT_TRUE(sim->plug());
            ASSERT_TRUE(sim->waitIdle(5000));
            ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
        }
    }
    // The keyboard takes it once nothing is in the way.
    ASSERT_EQ(apply(next, true), 1);
    EXPECT_NE(sim->area(PortmuxSimControl::Area::KeyBlocks), keys);
}

TEST_F(SimRoundTrip, ACleanDownloadReadsEachWrittenChunkBackOnceAfterEndWrite) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    for (bool verify : {false, true}) {
        SCOPED_TRACE(verify ? "verify on" : "verify off");
        commands().setVerifyWrites(verify);
        sim->clearReports();
        ASSERT_EQ(apply(store, true), 1);
        const auto reports = sim->reports();
        auto end = std::find_if(reports.begin(), reports.end(),
                                [](const auto& r) { return r[3] == device::CMD_END_WRITE; });
        ASSERT_NE(end, reports.end());
        // Every read after endWrite asks for exactly what one write sent, in the order they were sent.
        std::vector<std::array<uint8_t, 4>> writes;
        std::vector<std::array<uint8_t, 4>> reads;
        for (auto r = reports.begin(); r != reports.end(); ++r) {
            // A read command's code is one below its write's.
            if (r < end && (r->at(3) == device::CMD_WRITE_KEYS || r->at(3) == device::CMD_WRITE_MACROS)) {
                writes.push_back({r->at(3), r->at(4), r->at(5), r->at(6)});
            } else if (r > end) {
                reads.push_back({static_cast<uint8_t>(r->at(3) + 1), r->at(4), r->at(5), r->at(6)});
            }
        }
        EXPECT_EQ(writes.size(),
                  21u + (macros::macroImageSizes(store.working().macros()).withNames + 55) / 56);
        EXPECT_EQ(reads, verify ? writes : decltype(reads){});
    }
}

TEST_F(SimRoundTrip, AChunkTheKeyboardAcknowledgesButDropsFailsTheDownloadAndIsNamed) {
    using portmux::sim::FaultKind;
    using Area = PortmuxSimControl::Area;
    commands().setVerifyWrites(true);
    AssignmentStore store;
    testing::fillSampleStore(store);
    AssignmentStore next;
    fillOtherStore(next);
    // The flash of each configuration when the keyboard keeps everything.
    ASSERT_EQ(apply(next, true), 1);
    const std::vector<uint8_t> nextKeys = sim->area(Area::KeyBlocks);
    const std::vector<uint8_t> nextMacros = sim->area(Area::Macros);
    ASSERT_EQ(apply(store, true), 1);
    const std::vector<uint8_t> keys = sim->area(Area::KeyBlocks);
    const std::vector<uint8_t> macroArea = sim->area(Area::Macros);

    // The first byte the next configuration changes in each area, and the chunk that carries it (key
    // blocks are written block by block in seven chunks each, the macro area in 56-byte chunks).
    auto firstChange = [](const std::vector<uint8_t>& from, const std::vector<uint8_t>& to) {
        const auto at = std::mismatch(from.begin(), from.end(), to.begin()).first;
        return static_cast<uint32_t>(at - from.begin());
    };
    const uint32_t keyAt = firstChange(keys, nextKeys);
    const uint32_t macroAt = firstChange(macroArea, nextMacros);
    ASSERT_LT(keyAt, keys.size());
    ASSERT_LT(macroAt, macroArea.size());
    struct Case {
        const char* name;
        uint8_t command;
        uint32_t chunk; // the index of the chunk among that command's reports
        Area area;
        device::WriteMismatch mismatch;
        std::string where;
    } cases[] = {
        {"a key block chunk",
         portmux::sim::kWriteKeys,
         keyAt / 378 * 7 + keyAt % 378 / 56,
         Area::KeyBlocks,
         {device::WriteArea::KeyBlocks, keyAt, nextKeys[keyAt], keys[keyAt]},
         "key block " + std::to_string(keyAt / 378) + ", offset " + std::to_string(keyAt % 378)},
        {"a macro chunk",
         portmux::sim::kWriteMacros,
         macroAt / 56,
         Area::Macros,
         {device::WriteArea::Macros, macroAt, nextMacros[macroAt], macroArea[macroAt]},
         "macro area, offset " + std::to_string(macroAt)},
    };
    // The two stores take turns on one keyboard, each sending its configuration whole as a tool that
    // never read the keyboard does; otherwise each would merge what the other sent since its own turn.
    auto forgetKeyboard = [](AssignmentStore& s) {
        auto lock = s.lockApplied();
        s.fingerprint().forget();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.shown.clear();
        if (c.chunk > 0) {
            sim->injectFault(fault(FaultKind::Pass, c.chunk, c.command));
        }
        sim->injectFault(fault(FaultKind::AckDrop, 1, c.command));
        forgetKeyboard(next);
        DownloadOutcome out = makeAppliedCopy(next, commands(), state, true);
        showDownloadMessages(out, prompter);
        EXPECT_EQ(sim->pendingFaults(), 0u);
        EXPECT_FALSE(out.succeeded());
        EXPECT_EQ(out.result, device::kVerifyMismatch);
        EXPECT_EQ(out.failedStep, DownloadStep::Verify);
        ASSERT_TRUE(out.mismatch.has_value());
        EXPECT_EQ(*out.mismatch, c.mismatch);
        EXPECT_NE(describeFailure(out).find(c.where), std::string::npos) << describeFailure(out);
        EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_VERIFY_FAILED"});
        // What the check found is really so: the keyboard holds the old bytes where it dropped the chunk.
        const std::vector<uint8_t> now = sim->area(c.area);
        const std::vector<uint8_t>& old = c.area == Area::KeyBlocks ? keys : macroArea;
        EXPECT_EQ(now[c.mismatch.address], old[c.mismatch.address]);
        forgetKeyboard(store);
        ASSERT_EQ(apply(store, true), 1) << "back to the sample configuration";
    }
}

TEST_F(SimRoundTrip, AnApplyOrImportTheKeyboardDidNotKeepLeavesTheCacheAndTheWorkingCopy) {
    using portmux::sim::FaultKind;
    commands().setVerifyWrites(true);
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands(), state)); // makes the cache file
    const auto cacheBefore = readWholeFile(cacheFilePath(0));
    ASSERT_TRUE(cacheBefore.has_value());
    {
        auto lock = store.lockKeyData();
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_SINGLE_KEY;
        r.value = 0x30;
        ASSERT_GE(keyboard::AssignToSlot(store.working(), 0, 0x1E, r), 0); // A -> B
    }
    // Apply writes the current profile's block: every chunk of it dropped.
    sim->injectFault(fault(FaultKind::AckDrop, 7, portmux::sim::kWriteKeys));
    ApplyOutcome applied = applyChanges(store, commands(), state);
    EXPECT_FALSE(applied.succeeded());
    EXPECT_FALSE(applied.saved);
    EXPECT_TRUE(applied.download.verifyFailed());
    ASSERT_TRUE(applied.download.mismatch.has_value());
    EXPECT_EQ(applied.download.mismatch->area, device::WriteArea::KeyBlocks);
    EXPECT_EQ(applied.download.mismatch->part(), 0u);
    EXPECT_EQ(readWholeFile(cacheFilePath(0)), cacheBefore) << "the cache file still mirrors the keyboard";
    EXPECT_EQ(recordType(store, 0x1E), keyboard::ASSIGN_SINGLE_KEY) << "the edit is kept for the next Apply";

    // Import: the file's key blocks all dropped.
    AssignmentStore other;
    fillOtherStore(other);
    const fs::path file = home / "other.tvk";
    ASSERT_TRUE(saveProfileFile(other, file));
    sim->injectFault(fault(FaultKind::AckDrop, 21, portmux::sim::kWriteKeys));
    ImportOutcome imported = importProfileFile(store, file, commands(), state);
    showImportMessages(imported, prompter);
    EXPECT_EQ(imported.result, device::kVerifyMismatch);
    EXPECT_TRUE(imported.download.verifyFailed());
    EXPECT_FALSE(imported.saved);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_VERIFY_FAILED"});
    EXPECT_EQ(readWholeFile(cacheFilePath(0)), cacheBefore);
    EXPECT_EQ(recordType(store, 0x1E), keyboard::ASSIGN_SINGLE_KEY) << "the working copy as it was";
    {
        auto lock = store.lockKeyData();
        EXPECT_TRUE(store.working().macros().empty());
    }

    // Nothing in the way: both go through, and the cache file follows.
    ASSERT_TRUE(applyChanges(store, commands(), state).succeeded());
    EXPECT_NE(readWholeFile(cacheFilePath(0)), cacheBefore);
}

TEST_F(SimRoundTrip, WhatOnlyTheComputerKeepsSurvivesAReplug) {
    using namespace keyboard;
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands(), state)); // the arrival at start
    const KeySlot g3Layer1 = kFirstGSlotLayer1 + 2;
    {
        auto lock = store.lockKeyData();
        KeyAssignment r;
        r.type = ASSIGN_SINGLE_KEY;
        r.value = 0x30;
        r.aux = GKeyTagOfSlot(g3Layer1);
        ASSERT_GE(AssignToSlot(store.working(), 0, g3Layer1, r), 0);
        KeyAssignment text;
        text.type = ASSIGN_TEXT_BLOCK;
        ASSERT_GE(AssignToSlot(store.working(), 0, 0x25, text, u"Dear Sir"), 0); // K
    }
    ApplyOutcome applied = applyChanges(store, commands(), state);
    ASSERT_TRUE(applied.succeeded());

    // Meanwhile the keyboard's own block changes (another program, a factory key combination).
    std::vector<uint8_t> block = sim->area(PortmuxSimControl::Area::KeyBlocks);
    const std::vector<uint8_t> factory = sim->area(PortmuxSimControl::Area::DefaultKeyBlock);
    size_t q = 0;
    while (q < kKeyBlockSlots &&
           KeyOfKeyEntry({factory[3 * q], factory[3 * q + 1], factory[3 * q + 2]}) != 0x10) {
        ++q;
    }
    ASSERT_LT(q, kKeyBlockSlots);
    ASSERT_TRUE(sim->setArea(PortmuxSimControl::Area::KeyBlocks, 3 * q, {0x02, 0x02, 0x05})); // Q -> B

    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(5000));
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
    AssignmentStore after; // the window reloads on MSG_PROFILE_SYNC
    ASSERT_TRUE(reloadFromKeyboard(after, commands(), state));

    auto lock = after.lockKeyData();
    const WorkingCopy& w = after.working();
    EXPECT_EQ(w.records()[g3Layer1].type, ASSIGN_SINGLE_KEY);
    EXPECT_EQ(w.records()[g3Layer1].value, 0x30u);
    EXPECT_EQ(w.records()[0x25].type, ASSIGN_TEXT_BLOCK);
    EXPECT_EQ(w.text(0x25).text, u"Dear Sir");
    // The key blocks are the keyboard's.
    std::array<KeyAssignment, kSlotsPerProfile> fromKeyboard{};
    block = sim->area(PortmuxSimControl::Area::KeyBlocks);
    ReadKeyBlock(std::span<const uint8_t, kKeyBlockSize>(block.data(), kKeyBlockSize), fromKeyboard,
                 keyboardLayout(state));
    EXPECT_EQ(w.records()[0x10].type, ASSIGN_SINGLE_KEY);
    EXPECT_EQ(w.records()[0x10].value, 0x30u) << "Q as the keyboard now has it";
    for (KeySlot slot = 0; slot < 256; ++slot) {
        if (slot != 0x25) {
            ASSERT_EQ(w.records()[slot], fromKeyboard[slot]) << slot;
        }
    }
}

} // namespace
} // namespace tarvik::profiles
