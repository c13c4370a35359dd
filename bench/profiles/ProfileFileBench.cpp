// Save and load of the largest profile file the system can hold (100 macros of 2000 actions, texts in
// many records) against writing and reading the same number of bytes plainly. Goal: within 2x of the
// plain I/O. Both writes are made durable the same way (temporary file, flush to disk, rename), as every
// save of user data is; the plain figures without the flush are printed too.
//
// Usage: profile_file_bench [rounds]   (files go to $TMPDIR or /tmp)
#include "bench/profiles/LargestStore.h"
#include "platform/AtomicFile.h"
#include "profiles/ProfileFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tarvik;
using namespace tarvik::profiles;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

template <typename F> double medianMs(int rounds, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        if (!f()) {
            std::fprintf(stderr, "operation failed\n");
            std::exit(1);
        }
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

bool plainWrite(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const char* tmp = std::getenv("TMPDIR");
    fs::path dir = fs::path(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") /
                   ("profile-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "largest.tvk";
    fs::path plain = dir / "plain.bin";

    AssignmentStore store;
    fillLargest(store);
    if (!saveProfileFile(store, file)) {
        std::fprintf(stderr, "cannot save %s\n", file.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes = *readWholeFile(file);
    AssignmentStore target;

    double save = medianMs(rounds, [&] { return saveProfileFile(store, file); });
    double load = medianMs(rounds, [&] { return loadProfileFile(target, file) == 1; });
    double write = medianMs(rounds, [&] { return writeFileAtomically(plain, bytes); });
    double read = medianMs(rounds, [&] { return readWholeFile(plain).has_value(); });
    double rawWrite = medianMs(rounds, [&] { return plainWrite(plain, bytes); });

    double ratio = (save + load) / (write + read);
    double ratioUnflushed = (save + load) / (rawWrite + read);
    std::printf("profile file: %zu bytes (100 macros x 2000 actions, %d texts), median of %d rounds\n",
                bytes.size(), 4 * 255, rounds);
    std::printf("  save %.3f ms   load %.3f ms\n", save, load);
    std::printf("  plain write (temp + fsync + rename) %.3f ms   plain read %.3f ms\n", write, read);
    std::printf("  plain write without flush %.3f ms\n", rawWrite);
    std::printf("  ratio (save + load) / (plain write + read) = %.2f   goal <= 2.00   %s\n", ratio,
                ratio <= 2.0 ? "met" : "NOT met");
    std::printf(
        "  for reference: against the write without flush %.2f; save / write %.2f; load / read %.2f\n",
        ratioUnflushed, save / write, load / read);
    fs::remove_all(dir);
    return 0;
}
