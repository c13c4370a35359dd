// The cost of one preview frame for every mode, with and without random colours. The preview draws 20
// frames a second on the user-interface thread; a frame may take 20 us (0.04 % of a core).
//
// Usage: preview_frame_bench [frames per run, default 200000]
#include "lighting/ColourTables.h"
#include "lighting/LightingModes.h"
#include "lighting/Preview.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace tarvik::lighting;
using Clock = std::chrono::steady_clock;

constexpr double kLimitNs = 20'000.0;
constexpr int kRuns = 5;

// Keeps the compiler from dropping frames nobody looks at.
volatile uint32_t g_sink = 0;

double nsPerFrame(const PreviewParams& params, long frames) {
    PreviewState state;
    PreviewFrame frame;
    const auto& geometry = PreviewGeometry::standard();
    uint32_t acc = 0;
    auto start = Clock::now();
    for (long i = 0; i < frames; ++i) {
        computeFrame(geometry, params, state, frame);
        acc += frame.colours[static_cast<size_t>(i % kPreviewKeys)].r;
    }
    auto end = Clock::now();
    g_sink = g_sink + acc;
    return std::chrono::duration<double, std::nano>(end - start).count() / static_cast<double>(frames);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    long frames = argc > 1 ? std::atol(argv[1]) : 200000;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: preview_frame_bench [frames per run]\n");
        return 2;
    }
    std::array<uint8_t, 512> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<uint8_t>(i * 13);
    }
    const uint8_t modes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20};

    std::printf("preview frame cost, median of %d runs of %ld frames; limit %.0f ns per frame\n", kRuns,
                frames, kLimitNs);
    std::printf("%-5s %-8s %12s %14s\n", "mode", "colours", "ns/frame", "share of limit");
    double worst = 0;
    for (uint8_t mode : modes) {
        for (bool random : {false, true}) {
            PreviewParams p;
            p.mode = mode;
            p.direction = 1;
            p.random = random;
            p.effectColour = Rgb{200, 120, 40};
            p.keyColours = table;
            std::vector<double> runs;
            for (int r = 0; r < kRuns; ++r) {
                runs.push_back(nsPerFrame(p, frames));
            }
            double ns = median(runs);
            worst = std::max(worst, ns);
            std::printf("%-5d %-8s %12.1f %13.2f%%\n", mode, random ? "random" : "effect", ns,
                        100.0 * ns / kLimitNs);
        }
    }
    std::printf("worst: %.1f ns per frame = %.4f of the limit (%.1fx under it)\n", worst, worst / kLimitNs,
                worst > 0 ? kLimitNs / worst : 0.0);
    return worst <= kLimitNs ? 0 : 1;
}
