// "Start with the desktop": how the entry names the program, and the menu's check item writing and
// removing it.
#include "app/Autostart.h"

#include "tests/app/HubFixture.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

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

// The arguments of an Exec value as a desktop reads them: the string escapes of the value first, then the
// quoting (inside double quotes a backslash escapes '"', '`', '$' and itself), then "%%" for '%'.
// Nothing when the value breaks a rule.
std::optional<std::vector<std::string>> execArguments(const std::string& value) {
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            unescaped += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        const char c = value[i];
        unescaped += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        if (c != 's' && c != 'n' && c != 't' && c != 'r' && c != '\\') {
            return std::nullopt;
        }
    }
    std::vector<std::string> args;
    std::string arg;
    bool quoted = false, any = false;
    for (size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\') {
                if (++i == unescaped.size() ||
                    std::string_view("\"`$\\").find(unescaped[i]) == std::string::npos) {
                    return std::nullopt;
                }
                arg += unescaped[i];
            } else {
                arg += c;
            }
        } else if (c == ' ') {
            if (any) {
                args.push_back(arg);
            }
            arg.clear();
            any = false;
            continue;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '\\' || c == '`' || c == '$') {
            return std::nullopt; // reserved outside quotes
        } else {
            arg += c;
        }
        any = true;
    }
    if (quoted) {
        return std::nullopt;
    }
    if (any) {
        args.push_back(arg);
    }
    for (std::string& a : args) {
        for (size_t at = a.find('%'); at != std::string::npos; at = a.find('%', at + 1)) {
            if (at + 1 == a.size() || a[at + 1] != '%') {
                return std::nullopt; // a field code
            }
            a.erase(at, 1);
        }
    }
    return args;
}

TEST(Autostart, TheExecLineReadsBackAsThePathForEveryAwkwardCharacter) {
    const fs::path home = testing::useOwnHome();
    for (const std::string name : {"plain", "two words", "q\"uote", "dollar$HOME", "back`tick`",
                                   "back\\slash", "100%", "a'b", "all \" $ ` \\ % ' ;"}) {
        SCOPED_TRACE(name);
        const fs::path program = executable(home / name / "tarvik");
        const auto args = execArguments(autostartCommand(program, "") + " /Start");
        ASSERT_TRUE(args.has_value()) << autostartCommand(program, "");
        EXPECT_EQ(*args, (std::vector<std::string>{program.string(), "/Start"}));
    }
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
        {awkward, "\"" + home.string() + "/100%% \\\\\"\\\\$HOME\\\\\"/tarvik\""},
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
