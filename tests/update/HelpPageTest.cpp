// Which help page the program opens for each language, with the pages the program folder has.
#include "platform/HelpPage.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

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

// Every picture and link of both pages leads to a file of the help folder or a section of the page, and
// nothing is fetched from elsewhere: the page must work from the program folder without a network.
TEST(HelpPage, ThePagesUseOnlyTheirOwnFilesAndSections) {
    const fs::path help =
        fs::path(std::getenv("TARVIK_BIN_DIR") ? std::getenv("TARVIK_BIN_DIR") : TARVIK_TEST_BIN_DIR) /
        "Help";
    std::map<std::string, std::set<std::string>> sections;
    for (const char* page : {kHelpPageEnglish, kHelpPageChinese}) {
        SCOPED_TRACE(page);
        std::ifstream in(help / page);
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string html = buffer.str();
        ASSERT_FALSE(html.empty());
        std::set<std::string> ids;
        const std::regex id(R"re(\bid="([^"]+)")re");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), id); it != std::sregex_iterator();
             ++it) {
            EXPECT_TRUE(ids.insert((*it)[1]).second) << "id twice: " << (*it)[1];
        }
        const std::regex ref(R"re(\b(src|href)="([^"]*)")re");
        size_t pictures = 0;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), ref); it != std::sregex_iterator();
             ++it) {
            const std::string kind = (*it)[1];
            const std::string target = (*it)[2];
            EXPECT_EQ(target.find(':'), std::string::npos) << "not a local reference: " << target;
            if (target.starts_with("#")) {
                EXPECT_TRUE(ids.contains(target.substr(1))) << "no section " << target;
            } else {
                EXPECT_TRUE(fs::is_regular_file(help / target)) << "missing " << target;
                pictures += kind == "src" ? 1 : 0;
            }
        }
        EXPECT_GE(pictures, 5u) << "the windows are shown";
        EXPECT_EQ(html.find("url("), std::string::npos) << "the style sheet fetches nothing";
        EXPECT_EQ(html.find("@import"), std::string::npos);
        sections[page] = ids;
    }
    EXPECT_EQ(sections[kHelpPageEnglish], sections[kHelpPageChinese])
        << "both languages cover the same sections";
}

} // namespace
} // namespace tarvik
