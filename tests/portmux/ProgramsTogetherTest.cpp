// Several programs on the one keyboard of portmux-sim serve at the same time: write sequences of two
// processes that must not mix, a tarvikctl watch that follows the keyboard beside other programs, and the
// read-back verify of tarvikctl catching a keyboard that acknowledges writes and drops them.
#include "tests/portmux/ServerFixture.h"

#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "keyboard/DefaultLayout.h"
#include "macros/MacroImage.h"
#include "macros/MacroSetLookup.h"
#include "profiles/Download.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/support/ScopedEnv.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace portmux::test {
namespace {

using namespace std::chrono_literals;
using tarvik::profiles::AssignmentStore;

std::vector<std::string> completeLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', at)) {
        lines.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return lines;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

// The sample profile file, and what the keyboard holds once it has taken that file: its three key
// blocks and its macro image, built the way the download builds them.
struct SampleFile {
    fs::path path;
    std::vector<uint8_t> keys;
    std::vector<uint8_t> image;
};

SampleFile writeSampleFile(const fs::path& path, size_t macroCapacity) {
    SampleFile out{path, {}, {}};
    AssignmentStore store;
    tarvik::testing::fillSampleStore(store);
    EXPECT_TRUE(tarvik::profiles::saveProfileFile(store, path));
    auto lock = store.lockKeyData();
    const auto& w = store.working();
    const auto fit = tarvik::profiles::fitMacroImage(w.macros(), macroCapacity);
    EXPECT_TRUE(fit.fits);
    out.image = tarvik::macros::buildMacroImage(w.macros(), fit.size, fit.withNames);
    tarvik::macros::MacroSetLookup lookup(w.macros());
    for (unsigned p = 0; p < 3; ++p) {
        const auto block = tarvik::keyboard::BuildKeyBlock(w.block().profile(p), lookup,
                                                           tarvik::keyboard::DefaultLayout::builtIn());
        out.keys.insert(out.keys.end(), block.begin(), block.end());
    }
    return out;
}

class ProgramsTogether : public PortmuxServer {
protected:
    std::unique_ptr<ChildProcess> start(std::vector<std::string> words, const std::string& name) {
        words.insert(words.begin(), program("tarvikctl"));
        return std::make_unique<ChildProcess>(words, clientEnv(), dir / (name + "-out"),
                                              dir / (name + "-err"));
    }
    std::vector<uint8_t> flash(sim::Area area) {
        auto bytes = control().flash(area);
        if (!bytes) {
            throw std::runtime_error("the daemon did not answer");
        }
        return *bytes;
    }
    size_t macroCapacity() { return size_t{flash(sim::Area::Config)[11]} * 128u; }
};

TEST_F(ProgramsTogether, AnImportAndALightingChangeFromTwoProcessesBothLand) {
    const SampleFile file = writeSampleFile(dir / "sample.tvk", macroCapacity());
    const std::vector<uint8_t> factoryKeys = flash(sim::Area::KeyBlocks);
    ASSERT_NE(file.keys, factoryKeys) << "the import must change the key blocks to show";
    ASSERT_NE(flash(sim::Area::Settings)[1], 1) << "nor is the brightness 1 already";
    // Each report takes a little while, so that the two overlap for long.
    ASSERT_EQ(verb({"latency", "2"}).exitCode, 0);

    auto import = start({"import", file.path.string()}, "import");
    // The second one starts once the first has its write frame open on the keyboard: its arrival reads
    // and its own sequence then meet the import's sequence.
    ASSERT_TRUE(eventually([&] { return status().frameOpen || import->wait(0ms).has_value(); }, 30s));
    auto lighting = start({"lighting", "brightness", "1"}, "lighting");
    const auto importDone = import->wait(60s);
    const auto lightingDone = lighting->wait(60s);
    ASSERT_EQ(importDone, 0) << import->err();
    ASSERT_EQ(lightingDone, 0) << lighting->err();

    const wire::StatusInfo s = status();
    EXPECT_EQ(s.violations, 0u);
    EXPECT_FALSE(s.frameOpen);
    EXPECT_EQ(flash(sim::Area::KeyBlocks), file.keys);
    EXPECT_EQ(slice(flash(sim::Area::Macros), 0, file.image.size()), file.image);
    EXPECT_EQ(flash(sim::Area::Settings)[1], 1);
}

// The device link of this process beside a tarvikctl import: this process writes the colour table of
// profile 2 again and again, each time a whole sequence with its read-back, while the import runs.
TEST_F(ProgramsTogether, WriteSequencesOfTwoProcessesNeverMix) {
    const SampleFile file = writeSampleFile(dir / "sample.tvk", macroCapacity());
    ASSERT_EQ(verb({"latency", "1"}).exitCode, 0);

    tarvik::device::AppLinkState linkState;
    tarvik::device::HeadlessWindowPort window;
    tarvik::device::LinkTiming timing;
    timing.endWritePause = 1ms;
    std::unique_ptr<tarvik::device::LinkSession> session;
    {
        tarvik::testsupport::ScopedEnv backend("PORTMUX_BACKEND", "sim");
        tarvik::testsupport::ScopedEnv where("PORTMUX_SIM_SOCKET", socket);
        session = std::make_unique<tarvik::device::LinkSession>(linkState, window, timing);
        ASSERT_EQ(session->open(tarvik::testsupport::programFolder(), tarvik::device::OnBindFailure::Report),
                  tarvik::device::BindResult::Ok);
    }
    ASSERT_TRUE(session->events().waitPresenceIdle(30s));
    auto& commands = session->commands();
    commands.setVerifyWrites(true);

    auto colours = [](int round) {
        std::vector<uint8_t> table(432);
        for (size_t i = 0; i < table.size(); ++i) {
            table[i] = static_cast<uint8_t>(round * 31 + i);
        }
        return table;
    };
    auto writeRound = [&](int round) {
        const std::vector<uint8_t> table = colours(round);
        return commands.writeSequence([&] {
            for (unsigned k = 0; k < 8; ++k) {
                const auto chunk = std::span<const uint8_t>(table).subspan(k * 54, 54);
                if (int rc = commands.writeColours(chunk, 18 * k, 2); rc != tarvik::device::kOk) {
                    return rc;
                }
            }
            return tarvik::device::kOk;
        });
    };

    auto import = start({"import", file.path.string()}, "import");
    int rounds = 0;
    int roundsBesideTheImport = 0;
    while (rounds < 40) {
        const bool importRunning = !import->wait(0ms).has_value();
        const auto result = writeRound(rounds);
        ASSERT_TRUE(result.ok()) << "round " << rounds << ": result " << result.result
                                 << (result.mismatch ? " " + tarvik::device::describe(*result.mismatch) : "");
        ++rounds;
        if (!importRunning) {
            break;
        }
        ++roundsBesideTheImport;
        // Let the other process have the keyboard between two of ours, as a second program would.
        const uint64_t seen = status().reportTotal;
        (void)eventually([&] { return status().reportTotal > seen || import->wait(0ms).has_value(); }, 2s);
    }
    ASSERT_EQ(import->wait(60s), 0) << import->err();
    EXPECT_GE(roundsBesideTheImport, 2) << "the two processes did write at the same time";

    EXPECT_EQ(status().violations, 0u);
    EXPECT_EQ(slice(flash(sim::Area::Colours), 1024, 432), colours(rounds - 1));
    EXPECT_EQ(flash(sim::Area::KeyBlocks), file.keys);
    EXPECT_EQ(slice(flash(sim::Area::Macros), 0, file.image.size()), file.image);
    auto end = session->service().End;
    session.reset();
    end();
}

TEST_F(ProgramsTogether, WatchFollowsTheKeyboardBesideAnotherTarvikctlAndTheVerbs) {
    auto watch = start({"watch", "--json"}, "watch");
    auto lines = [&] { return completeLines(watch->out()); };
    auto waitLines = [&](size_t n) { return eventually([&] { return lines().size() >= n; }, 20s); };
    ASSERT_TRUE(waitLines(2)) << watch->err();

    // Another tarvikctl switches the on-board profile: no event announces that, but the next lighting
    // change made on the keyboard makes the watch read the profile again.
    const Finished switched = tarvikctl({"profile", "2"});
    ASSERT_EQ(switched.exitCode, 0) << switched.err;
    ASSERT_EQ(verb({"lighting"}).exitCode, 0);
    ASSERT_TRUE(waitLines(4)) << watch->err();
    // The replies to another process's reports reach the watch too (as on hidraw); it says nothing of them.
    const Finished written = tarvikctl({"lighting", "brightness", "1"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    ASSERT_EQ(verb({"layer"}).exitCode, 0);
    ASSERT_TRUE(waitLines(5)) << watch->err();
    ASSERT_EQ(verb({"unplug"}).exitCode, 0);
    ASSERT_TRUE(waitLines(6)) << watch->err();
    ASSERT_EQ(verb({"plug"}).exitCode, 0);
    ASSERT_TRUE(waitLines(8)) << watch->err();

    watch->signal(SIGINT);
    EXPECT_EQ(watch->wait(20s), 0) << watch->err();
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           R"({"event": "attached", "keyboards": 1})",
                           R"({"event": "profile", "profile": 0})",
                           R"({"event": "lighting"})",
                           R"({"event": "profile", "profile": 2})",
                           R"({"event": "layer", "layer": 1})",
                           R"({"event": "detached", "keyboards": 0})",
                           R"({"event": "attached", "keyboards": 1})",
                           R"({"event": "profile", "profile": 2})",
                       }));
    EXPECT_EQ(status().violations, 0u);
}

// A keyboard that acknowledges writes and keeps nothing of them: tarvikctl says so, names the area and
// the first byte, and exits 1; with the check turned off it is not noticed.
TEST_F(ProgramsTogether, TarvikctlNamesTheFirstByteTheKeyboardDidNotKeep) {
    const SampleFile file = writeSampleFile(dir / "sample.tvk", macroCapacity());
    const std::vector<uint8_t> keys = flash(sim::Area::KeyBlocks);
    const auto firstChange =
        static_cast<size_t>(std::mismatch(keys.begin(), keys.end(), file.keys.begin()).first - keys.begin());
    ASSERT_LT(firstChange, keys.size());
    const std::string keyWhere =
        "key block " + std::to_string(firstChange / 378) + ", offset " + std::to_string(firstChange % 378);
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        std::vector<std::string> command;
        std::string said; // in the error output
    } cases[] = {
        {"import",
         {"fault", "ack-drop", "21", "--command", "0x08"},
         {"import", file.path.string()},
         "did not keep the profiles (result -205 at the read-back check: " + keyWhere},
        {"lighting",
         {"fault", "ack-drop", "--command", "6"},
         {"lighting", "brightness", "2"},
         "did not keep brightness 2 (read back: settings of profile 0, offset 1: sent 0x02, read 0x05)"},
        {"report rate",
         {"fault", "ack-drop"},
         {"report-rate", "3"},
         "did not keep report rate 3 (read back: settings of profile 0, offset 15: sent 0x03, read 0x00)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(verb({"reset"}).exitCode, 0);
        ASSERT_EQ(verb(c.fault).exitCode, 0);
        const Finished caught = tarvikctl(c.command);
        EXPECT_EQ(caught.exitCode, 1);
        EXPECT_NE(caught.err.find(c.said), std::string::npos) << caught.err;

        // Not checked: the same keyboard fault goes unnoticed.
        ASSERT_EQ(verb({"reset"}).exitCode, 0);
        ASSERT_EQ(verb(c.fault).exitCode, 0);
        std::vector<std::string> unchecked = c.command;
        unchecked.insert(unchecked.begin(), "--no-verify");
        const Finished missed = tarvikctl(unchecked);
        EXPECT_EQ(missed.exitCode, 0) << missed.err;
        EXPECT_EQ(status().faultsPending, 0u);
    }
    EXPECT_EQ(status().violations, 0u);

    // The setting turns it off as well.
    const fs::path config = dir / "config";
    fs::create_directories(config / "Tarvik_Lumira");
    std::ofstream(config / "Tarvik_Lumira" / "tarvik.ini") << "[PROFILES]\nVerifyWrites=0\n";
    ASSERT_EQ(verb({"reset"}).exitCode, 0);
    ASSERT_EQ(verb({"fault", "ack-drop"}).exitCode, 0);
    auto env = clientEnv();
    env["XDG_CONFIG_HOME"] = config.string();
    const Finished settingOff = runToEnd({program("tarvikctl"), "lighting", "brightness", "2"}, env, dir);
    EXPECT_EQ(settingOff.exitCode, 0) << settingOff.err;
    EXPECT_EQ(flash(sim::Area::Settings)[1], 5) << "the keyboard dropped it indeed";
}

} // namespace
} // namespace portmux::test
