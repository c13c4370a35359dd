// The Apply sequence (beginWrite, a 4 KiB macro area, one key block, endWrite) against the virtual
// keyboard answering each report after 1 ms, with the link's real timing. Prints the elapsed time
// against what the reports alone take: reports x 1 ms + the 10 ms pause before endWrite.
// Goal: a ratio of at most 1.05.
// Then the same sequence with the read-back verify (every written chunk read back once after endWrite),
// and the ratio of the two: the verify's price, which can be at most one report per written chunk.
#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "portmux/include/portmux_sim.h"
#include "tests/support/SimLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <vector>

using namespace tarvik::device;

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    tarvik::testsupport::useVirtualKeyboard();

    AppLinkState state;
    HeadlessWindowPort window;
    LinkSession session(state, window);
    std::string detail;
    if (BindResult r = session.open(tarvik::testsupport::programFolder(), OnBindFailure::Report, &detail);
        r != BindResult::Ok) {
        std::fprintf(stderr, "apply_sequence_bench: %s\n", describeBindFailure(r, detail).c_str());
        return 1;
    }
    session.events().waitPresenceIdle(std::chrono::seconds(30));
    PortmuxSimControl* sim = tarvik::testsupport::simControlOf(session.service().module);
    if (sim == nullptr) {
        std::fprintf(stderr, "apply_sequence_bench: the library has no virtual keyboard\n");
        return 1;
    }
    // A second argument sets another latency, to see the link's own cost with 0.
    const uint32_t kLatencyMs = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;
    sim->setLatencyMs(kLatencyMs);

    std::vector<uint8_t> image(4096);
    std::iota(image.begin(), image.end(), uint8_t{0});
    std::array<uint8_t, kKeyBlockSize> block{};
    block.fill(0x21);
    Commands& c = session.commands();

    const size_t macroReports = (image.size() + kChunkSize - 1) / kChunkSize;
    const size_t keyReports = (kKeyBlockSize + kChunkSize - 1) / kChunkSize;
    const size_t reports = 1 + macroReports + keyReports + 1;
    const double expectedMs =
        static_cast<double>(reports * kLatencyMs) + static_cast<double>(LinkTiming{}.endWritePause.count());

    // One round: the sequence held as Apply holds it; with verify, the read-back inside the same frame.
    auto round = [&](bool verify, size_t expectedReports, int& failures) {
        c.setVerifyWrites(verify);
        sim->clearReports();
        auto start = std::chrono::steady_clock::now();
        {
            Commands::Frame held = c.frame();
            c.beginWrite();
            int rc = c.writeMacroArea(image);
            if (rc == kOk) {
                rc = c.writeKeyBlock(block, 0);
            }
            if (rc == kOk) {
                rc = c.endWrite();
            }
            if (rc == kOk && verify) {
                rc = c.verifyWritten().result;
            }
            failures += rc == kOk && sim->reportCount() == expectedReports ? 0 : 1;
        }
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    auto medianOf = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };

    std::vector<double> elapsed;
    std::vector<double> verified;
    int failures = 0;
    int verifyFailures = 0;
    const size_t verifiedReports = reports + macroReports + keyReports;
    // Alternating, so that a change in the machine's load meets both alike.
    for (int i = 0; i < rounds; ++i) {
        elapsed.push_back(round(false, reports, failures));
        verified.push_back(round(true, verifiedReports, verifyFailures));
    }
    const double medianVerified = medianOf(verified);
    std::sort(elapsed.begin(), elapsed.end());
    const double median = elapsed[elapsed.size() / 2];
    const double best = elapsed.front();
    std::printf("apply sequence: %zu reports (%zu macro, %zu key block), %d rounds, %d failed\n", reports,
                macroReports, keyReports, rounds, failures);
    std::printf("expected %.1f ms (reports x %u ms + %lld ms before endWrite)\n", expectedMs, kLatencyMs,
                static_cast<long long>(LinkTiming{}.endWritePause.count()));
    std::printf("elapsed median %.2f ms, best %.2f ms, worst %.2f ms\n", median, best, elapsed.back());
    std::printf("ratio elapsed / expected: median %.3f, best %.3f (goal <= 1.05)\n", median / expectedMs,
                best / expectedMs);
    std::printf("with read-back verify: %zu reports (%zu reads), %d failed; elapsed median %.2f ms\n",
                verifiedReports, verifiedReports - reports, verifyFailures, medianVerified);
    // What the reads alone add when each costs one report's latency, like every write.
    const double pause = static_cast<double>(LinkTiming{}.endWritePause.count());
    const double limit = (static_cast<double>(verifiedReports * kLatencyMs) + pause) /
                         (static_cast<double>(reports * kLatencyMs) + pause);
    std::printf("ratio verify / no verify: median %.3f (one read per written chunk: %.3f)\n",
                medianVerified / median, limit);
    // What a bare sleep of the same lengths takes here: the virtual keyboard's latency is such a
    // sleep, so this shows how much of the excess is the machine's timer rather than the link.
    auto sleepMs = [](int ms, int times) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < times; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
               times;
    };
    const double oneMs = sleepMs(1, 200);
    const double endPause = sleepMs(static_cast<int>(LinkTiming{}.endWritePause.count()), 10);
    const double calibrated = static_cast<double>(reports) * oneMs * kLatencyMs + endPause;
    std::printf("a bare 1 ms sleep takes %.3f ms here; against reports x that + the pause (%.1f ms): "
                "median ratio %.3f\n",
                oneMs, calibrated, median / calibrated);
    std::printf("protocol violations: %u\n", sim->violationCount());
    return failures == 0 && verifyFailures == 0 ? 0 : 1;
}
