// "Start with the desktop": how the entry names the program, and the menu's check item writing and
// removing it.
#include "app/Autostart.h"

#include "tests/app/HubFixture.h"

#include <fstream>
#include <sstream>

namespace tarvik::app::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path executable(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "#!/bin/sh\n";
    fs::permissions(p, fs::perms::owner_all);
    return p;
}

TEST(Autostart, TheEntryNamesTheProgramAsTheSearchPathFindsIt) {
    const fs::path home = testing::useOwnHome();
    const fs::path installed = executable(home / "lib" / "tarvik" / "tarvik");
    fs::create_directories(home / "bin");
    fs::create_symlink(installed, home / "bin" / "tarvik");
    const fs::path other = executable(home / "build" / "bin" / "tarvik");
    const fs::path spaced = executable(home / "my build" / "tarvik");
    const fs::path awkward = executable(home / "100% \"$HOME\"" / "tarvik");
    const std::string path = "/nonexistent::" + (home / "bin").string();

    struct Case {
        fs::path program;
        std::string expected;
    } cases[] = {
        // Found through the link in a folder of the search path: by its name.
        {installed, "tarvik"},
        // Another copy of the program: its own path, so that copy starts.
        {other, other.string()},
        {spaced, "\"" + spaced.string() + "\""},
        {awkward, "\"" + home.string() + "/100%% \\\"\\$HOME\\\"/tarvik\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(autostartCommand(c.program, path), c.expected) << c.program;
    }
    EXPECT_EQ(autostartCommand(installed, ""), installed.string()); // no search path at all
    EXPECT_NE(autostartEntry(installed, path).find("\nExec=tarvik /Start\n"), std::string::npos);
}

TEST_F(HubTest, TheMenusCheckItemWritesAndRemovesTheAutostartEntry) {
    // The fixture's search path does not lead to this program: the entry names it by its path.
    const fs::path program = executable(programFolder / "tarvik");
    startWithKeyboard();
    const fs::path entry = home / ".config" / "autostart" / "tarvik.desktop";
    ASSERT_EQ(autostartFilePath(), entry);

    hub->onCommand(command::kAutostart);
    ASSERT_TRUE(fs::exists(entry));
    const std::string text = readAll(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=" + program.string() + " /Start\n"), std::string::npos);
    EXPECT_TRUE(hub->mainMenu()[6].checked);
    // The legacy entry removed at every start is another file.
    EXPECT_NE(autostartFilePath(), home / ".config" / "autostart" / "AppName.desktop");

    hub->onCommand(command::kAutostart);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(hub->mainMenu()[6].checked);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(HubTest, AnAutostartEntryThatCannotBeWrittenIsSaidSo) {
    // The autostart folder's place is taken by a file: nothing can be written there.
    fs::create_directories(home / ".config");
    std::ofstream(home / ".config" / "autostart") << "not a folder";
    startWithKeyboard();
    hub->onCommand(command::kAutostart);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"AUTOSTART_FAILED"});
    EXPECT_FALSE(autostartEnabled());
    EXPECT_FALSE(hub->mainMenu()[6].checked);
}

} // namespace
} // namespace tarvik::app::test
