// What the check for another writer's changes adds to Apply: the program's whole Apply (the cache file
// staged, the current profile's key block and the macro area sent) against the virtual keyboard answering
// each report after 1 ms, with the store's fingerprint known (the check reads the three key blocks and
// the macro image once) and forgotten (no check, as before it existed). Prints both medians, their
// difference and the reports each sends, against what the check's reads alone cost at 1 ms per report
// (the check may cost at most one read of each area). Arguments: rounds, latency in ms, macros (4 of
// 120 actions each by default).
#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "macros/MacroRecord.h"
#include "portmux/include/portmux_sim.h"
#include "profiles/ApplyChanges.h"
#include "profiles/KeyboardTransfer.h"
#include "tests/support/SimLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace tarvik;

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const uint32_t latencyMs = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;
    const int macroCount = argc > 3 ? std::clamp(std::atoi(argv[3]), 0, 100) : 4;
    // A home of its own: Apply writes the cache file into the user's data folder.
    char home[] = "/tmp/apply-check-bench-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        return 1;
    }
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        setenv(var, home, 1);
    }
    testsupport::useVirtualKeyboard();

    device::AppLinkState state;
    device::HeadlessWindowPort window;
    device::LinkSession session(state, window);
    std::string detail;
    if (device::BindResult r =
            session.open(testsupport::programFolder(), device::OnBindFailure::Report, &detail);
        r != device::BindResult::Ok) {
        std::fprintf(stderr, "apply_check_bench: %s\n", device::describeBindFailure(r, detail).c_str());
        return 1;
    }
    session.events().waitPresenceIdle(std::chrono::seconds(30));
    PortmuxSimControl* sim = testsupport::simControlOf(session.service().module);
    if (sim == nullptr) {
        std::fprintf(stderr, "apply_check_bench: the library has no virtual keyboard\n");
        return 1;
    }
    sim->reset();
    sim->waitIdle(5000);
    session.events().waitPresenceIdle(std::chrono::seconds(30));
    device::Commands& commands = session.commands();

    // A store with macros (an image of a few KiB) on the keyboard, read back as on arrival.
    profiles::AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        auto& list = store.working().macros();
        for (int m = 0; m < macroCount; ++m) {
            macros::MacroRecord r = macros::createMacroRecord(list, u"bench");
            r.setActions(std::vector<macros::MacroAction>(120, macros::MacroAction{20, 0x1E, 0}));
            list.push_back(r);
        }
    }
    if (!profiles::makeAppliedCopy(store, commands, state, true).succeeded() ||
        !profiles::reloadFromKeyboard(store, commands, state)) {
        std::fprintf(stderr, "apply_check_bench: the keyboard did not take the store\n");
        return 1;
    }
    sim->setLatencyMs(latencyMs);

    int failures = 0;
    size_t checkedReports = 0, plainReports = 0;
    auto round = [&](bool checked) {
        {
            auto lock = store.lockApplied();
            if (!checked) {
                store.fingerprint().forget();
            }
            // An edit to send, alternating so that every Apply sends a change.
            keyboard::KeyAssignment r{keyboard::ASSIGN_SINGLE_KEY, 0, checked ? 0x30u : 0x2Cu};
            store.working().setRecord(0x1E, r);
        }
        sim->clearReports();
        const auto start = std::chrono::steady_clock::now();
        const profiles::ApplyOutcome out = profiles::applyChanges(store, commands, state);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        failures += out.succeeded() && !out.download.merged ? 0 : 1;
        (checked ? checkedReports : plainReports) = sim->reportCount();
        if (!checked) {
            // Known again for the next checked round, as after any download the keyboard took.
            (void)profiles::reloadFromKeyboard(store, commands, state);
        }
        return ms;
    };
    std::vector<double> withCheck, without;
    for (int i = 0; i < rounds; ++i) {
        without.push_back(round(false));
        withCheck.push_back(round(true));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double a = median(withCheck);
    const double b = median(without);
    const size_t imageBytes = [&] {
        auto image = profiles::readMacroImage(commands, state);
        return image ? image->size() : size_t{0};
    }();
    // Three key blocks, the macro image, and one report per settings record.
    const size_t checkReads = 3 * ((device::kKeyBlockSize + device::kChunkSize - 1) / device::kChunkSize) +
                              (imageBytes + device::kChunkSize - 1) / device::kChunkSize +
                              device::kProfileCount;
    std::printf("apply with the check: %d rounds, %d failed, macro image %zu bytes, latency %u ms\n", rounds,
                failures, imageBytes, latencyMs);
    std::printf("reports per Apply: %zu with the check, %zu without (the check's reads: %zu)\n",
                checkedReports, plainReports, checkReads);
    std::printf("Apply median: %.2f ms with the check, %.2f ms without; the check adds %.2f ms\n", a, b,
                a - b);
    if (latencyMs > 0) {
        std::printf("added / the check's reads at %u ms each: %.3f (1.0 = the reads' latency alone)\n",
                    latencyMs, (a - b) / static_cast<double>(checkReads * latencyMs));
    }
    std::filesystem::remove_all(home);
    return failures == 0 ? 0 : 1;
}
