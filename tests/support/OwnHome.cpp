// Linked into every test program. Run by ctest, each case gets a fresh home from tests/TestHome.sh; a test
// program started by hand would otherwise read and write the real home folder of whoever runs it. Before
// anything else runs, such a program gets a throw-away home under the temporary folder instead.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0;
}

const bool ownHome = [] {
    if (std::getenv("TARVIK_TEST_HOME") != nullptr) {
        return true;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tarvik-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "tests: no temporary home folder could be made; stopping\n");
        std::_Exit(2);
    }
    const std::string home = pattern;
    for (const char* sub : {"/.config", "/.local", "/.local/share", "/.local/state", "/run"}) {
        makeFolder(home + sub);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    ::setenv("TARVIK_TEST_HOME", home.c_str(), 1);
    std::fprintf(stderr, "tests: run outside ctest; home is %s\n", home.c_str());
    return true;
}();

} // namespace
