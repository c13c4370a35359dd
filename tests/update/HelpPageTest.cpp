// Which help page the program opens for each language, with the pages the program folder has.
#include "platform/HelpPage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

TEST(HelpPage, FollowsTheLanguageAndFallsBackToThePageThatIsThere) {
    const fs::path program = fs::path(std::getenv("HOME")) / "help-page" / "program";
    struct Case {
        const char* what;
        bool english, chinese;
        bool askChinese;
        const char* expected; // file name, empty for none
    } cases[] = {
        {"English asked", true, true, false, "index.html"},
        {"Chinese asked", true, true, true, "index_zh.html"},
        {"Chinese asked, only English there", true, false, true, "index.html"},
        {"English asked, only Chinese there", false, true, false, "index_zh.html"},
        {"no page", false, false, false, ""},
        {"no page, Chinese asked", false, false, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(program);
        fs::create_directories(program / "Help");
        if (c.english) {
            std::ofstream(program / "Help" / "index.html") << "<html></html>";
        }
        if (c.chinese) {
            std::ofstream(program / "Help" / "index_zh.html") << "<html></html>";
        }
        const fs::path page = helpPageFor(program, c.askChinese);
        EXPECT_EQ(page, *c.expected ? program / "Help" / c.expected : fs::path{});
    }
    // A folder where a page should be is no page.
    fs::remove_all(program);
    fs::create_directories(program / "Help" / "index_zh.html");
    std::ofstream(program / "Help" / "index.html") << "<html></html>";
    EXPECT_EQ(helpPageFor(program, true), program / "Help" / "index.html");
}

TEST(HelpPage, TheProgramFolderHasBothPages) {
    const fs::path program =
        std::getenv("TARVIK_BIN_DIR") ? std::getenv("TARVIK_BIN_DIR") : TARVIK_TEST_BIN_DIR;
    EXPECT_EQ(helpPageFor(program, false), program / "Help" / "index.html");
    EXPECT_EQ(helpPageFor(program, true), program / "Help" / "index_zh.html");
}

} // namespace
} // namespace tarvik
