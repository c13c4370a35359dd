// Another writer changes the keyboard behind the store's back; every writer path of the store keeps that
// change where the user did not edit.
#include "profiles/KeyboardGuard.h"

#include "device/OnBoardProfile.h"

#include "profiles/ApplyChanges.h"
#include "profiles/Download.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

constexpr size_t kA = 0x1E, kQ = 0x10;
const keyboard::KeyAssignment kAtoB{keyboard::ASSIGN_SINGLE_KEY, 0, 0x30};
const keyboard::KeyAssignment kQtoZ{keyboard::ASSIGN_SINGLE_KEY, 0, 0x2C};

class KeyboardGuardTest : public ::testing::Test {
public:
    KeyboardGuardTest() : commands(kb, timing()), other(kb, timing()) {
        state.macroCapacity = 8192;
        dir = testing::useOwnHome() / "files";
        fs::create_directories(dir);
    }
    static device::LinkTiming timing() {
        device::LinkTiming t;
        t.endWritePause = std::chrono::milliseconds(0);
        return t;
    }
    // What a command-line tool does: read the keyboard, change one key, download all profiles.
    void otherWriterAssigns(size_t index, const keyboard::KeyAssignment& record) {
        AssignmentStore theirs;
        auto read = readKeyboardKeepingHostRecords(other, state);
        ASSERT_TRUE(read);
        auto lock = theirs.lockKeyData();
        std::swap(theirs.working(), *read);
        theirs.working().setRecord(index, record);
        ASSERT_TRUE(makeAppliedCopy(theirs, other, state, true).succeeded());
    }
    static void edit(AssignmentStore& store, size_t index, const keyboard::KeyAssignment& record) {
        auto lock = store.lockKeyData();
        store.working().setRecord(index, record);
    }
    keyboard::KeyAssignment onKeyboard(size_t index) {
        auto read = readKeyboardKeepingHostRecords(commands, state);
        return read ? read->records()[index] : keyboard::KeyAssignment{0xFFFF};
    }
    size_t requestsOf(uint8_t command) const {
        return static_cast<size_t>(std::count_if(kb.requests.begin(), kb.requests.end(),
                                                 [&](const auto& q) { return q.command == command; }));
    }

    testing::FakeKeyboard kb;
    device::Commands commands;
    device::Commands other;
    device::AppLinkState state;
    fs::path dir;
};

TEST_F(KeyboardGuardTest, EveryWriterMergesAnotherWritersChange) {
    using Writer = std::function<DownloadOutcome(KeyboardGuardTest&, AssignmentStore&)>;
    const struct {
        const char* name;
        Writer write; // makes the user's edit A -> B and sends it
    } writers[] = {
        {"Apply",
         [](KeyboardGuardTest& t, AssignmentStore& store) {
             edit(store, kA, kAtoB);
             ApplyOutcome out = applyChanges(store, t.commands, t.state);
             EXPECT_TRUE(out.saved);
             return out.download;
         }},
        {"download of all profiles",
         [](KeyboardGuardTest& t, AssignmentStore& store) {
             edit(store, kA, kAtoB);
             return makeAppliedCopy(store, t.commands, t.state, true);
         }},
        {"import of a file made before the change",
         [](KeyboardGuardTest& t, AssignmentStore& store) {
             AssignmentStore file;
             {
                 auto lock = file.lockKeyData();
                 auto source = store.lockKeyData();
                 file.working().block() = store.working().block();
                 file.working().setRecord(kA, kAtoB);
             }
             EXPECT_TRUE(saveProfileFile(file, t.dir / "edit.tvk"));
             return importProfileFile(store, t.dir / "edit.tvk", t.commands, t.state).download;
         }},
    };
    for (const auto& w : writers) {
        SCOPED_TRACE(w.name);
        kb = testing::FakeKeyboard{};
        AssignmentStore store;
        ASSERT_TRUE(reloadFromKeyboard(store, commands, state));
        otherWriterAssigns(kQ, kQtoZ);

        const DownloadOutcome out = w.write(*this, store);
        EXPECT_TRUE(out.succeeded()) << describeFailure(out);
        EXPECT_TRUE(out.merged);
        EXPECT_EQ(onKeyboard(kA), kAtoB) << "the user's edit was sent";
        EXPECT_EQ(onKeyboard(kQ), kQtoZ) << "the other writer's change survived";
        {
            auto lock = store.lockKeyData();
            EXPECT_EQ(store.working().records()[kQ], kQtoZ) << "and the window shows it";
        }

        // Nothing changed since: the check reads each area once and merges nothing.
        kb.requests.clear();
        const DownloadOutcome again = makeAppliedCopy(store, commands, state, true);
        EXPECT_TRUE(again.succeeded());
        EXPECT_FALSE(again.merged);
        EXPECT_EQ(requestsOf(device::CMD_READ_KEYS), 3 * 7u);
        EXPECT_EQ(requestsOf(device::CMD_READ_MACROS), 1u);
    }
}

TEST_F(KeyboardGuardTest, AKeyboardThatCannotBeCheckedGetsNothing) {
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state));
    edit(store, kA, kAtoB);
    kb.requests.clear();
    kb.busy[device::CMD_READ_KEYS] = 0xFE;
    const ApplyOutcome out = applyChanges(store, commands, state);
    EXPECT_EQ(out.download.failedStep, DownloadStep::Check);
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(requestsOf(device::CMD_WRITE_KEYS) + requestsOf(device::CMD_WRITE_MACROS), 0u);

    // A failed download leaves the base as it was: the edit is still an edit when the keyboard changes.
    kb.busy.clear();
    kb.busy[device::CMD_END_WRITE] = 0xFE;
    EXPECT_FALSE(applyChanges(store, commands, state).succeeded());
    kb.busy.clear();
    otherWriterAssigns(kA, kQtoZ);
    EXPECT_TRUE(applyChanges(store, commands, state).succeeded());
    EXPECT_EQ(onKeyboard(kA), kAtoB);
}

TEST_F(KeyboardGuardTest, SettingsChangedByAnotherWriterAreToldOwnWritesAreNot) {
    AssignmentStore store;
    ASSERT_TRUE(reloadFromKeyboard(store, commands, state));
    const struct {
        const char* name;
        device::Commands* writer;
        bool told;
    } cases[] = {{"this process's own report rate", &commands, false},
                 {"another process's report rate", &other, true},
                 {"nothing since", nullptr, false}};
    uint8_t rate = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.writer != nullptr) {
            ASSERT_EQ(device::writeReportRate(*c.writer, 1, ++rate), device::kOk);
        }
        edit(store, kA, rate % 2 ? kAtoB : kQtoZ);
        const ApplyOutcome out = applyChanges(store, commands, state);
        EXPECT_TRUE(out.succeeded());
        EXPECT_EQ(out.download.settingsChanged, c.told);
        EXPECT_FALSE(out.download.merged);
    }
}

} // namespace
} // namespace tarvik::profiles
