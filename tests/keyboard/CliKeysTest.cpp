// tarvikctl keys --json, run as the user runs it from the program folder.
#include "keyboard/KeyTable.h"
#include "platform/Utf.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarvik::keyboard {
namespace {

using tarvik::testsupport::programFolder;

std::string runTarvikctl(const std::string& args) {
    const std::string command = "'" + programFolder() + "/tarvikctl' " + args;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

// Undoes the two escapes a key name can need.
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
        }
        out += s[i];
    }
    return out;
}

TEST(CliKeys, JsonListsEveryNamedRowInTableOrder) {
    const std::string out = runTarvikctl("keys --json");
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), '[');
    EXPECT_EQ(out.substr(out.size() - 2), "]\n");

    const std::regex element(
        R"re(\s*\{"code": (\d+), "name": "((?:[^"\\]|\\.)*)", "listCode": (\d+), "page": (\d+), "usage": (\d+)\},?)re");
    std::vector<KeyCode> expectedCodes;
    for (size_t i = 0; i < KeyTable().size(); ++i) {
        if (KeyTable()[i].named()) {
            expectedCodes.push_back(KeyCodeFromIndex(static_cast<KeyIndex>(i)));
        }
    }
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line); // "["
    size_t n = 0;
    while (std::getline(lines, line) && line != "]") {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, element)) << line;
        ASSERT_LT(n, expectedCodes.size());
        const KeyCode code = expectedCodes[n++];
        EXPECT_EQ(std::stoul(m[1]), code) << line;
        EXPECT_EQ(std::stoul(m[3]), ListCodeFromKeyCode(code)) << line;
        EXPECT_EQ(std::stoul(m[4]), KeyCodeToHidUsage(code).page) << line;
        EXPECT_EQ(std::stoul(m[5]), KeyCodeToHidUsage(code).usage) << line;
        const std::string name = unescape(m[2]);
        if (KeyRowOf(code).textKey.empty()) {
            EXPECT_EQ(name, toUtf8(KeyRowOf(code).name)) << line;
        } else {
            EXPECT_FALSE(name.empty()) << line; // from the language file
        }
    }
    EXPECT_EQ(n, expectedCodes.size());
    EXPECT_NE(out.find(R"({"code": 54, "name": "Right Shift", "listCode": 103, "page": 7, "usage": 229})"),
              std::string::npos);
    EXPECT_NE(out.find(R"({"code": 310, "name": "Right Shift", "listCode": 103, "page": 7, "usage": 229})"),
              std::string::npos);
    EXPECT_NE(out.find(R"("name": "\\")"), std::string::npos);
    EXPECT_NE(out.find("\"name\": \"\xE2\x86\x91\""), std::string::npos); // the up arrow in UTF-8
}

TEST(CliKeys, RejectsArguments) {
    const std::string command = "'" + programFolder() + "/tarvikctl' keys extra 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
} // namespace tarvik::keyboard
