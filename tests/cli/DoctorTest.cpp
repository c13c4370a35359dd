// tarvikctl doctor: the facts read from fake sysfs, /dev, rule, session and /proc trees under a temporary
// root; the verdicts made from facts; and the command run as a user runs it.
#include "cli/Doctor.h"
#include "tests/profiles/TestHome.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace tarvik::cli::doctor {
namespace {

namespace fs = std::filesystem;

// A system's files under a root folder of the test's own.
class FakeSystem {
public:
    explicit FakeSystem(fs::path root) : root_(std::move(root)) {
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    const fs::path& root() const { return root_; }

    void usb(const std::string& name, const std::string& vendor, const std::string& product, int bus,
             int dev) {
        const fs::path d = root_ / "sys/bus/usb/devices" / name;
        file(d / "idVendor", vendor + "\n");
        file(d / "idProduct", product + "\n");
        file(d / "busnum", std::to_string(bus) + "\n");
        file(d / "devnum", std::to_string(dev) + "\n");
    }
    void usbInterface(const std::string& name) {
        fs::create_directories(root_ / "sys/bus/usb/devices" / name);
    }
    void hidraw(const std::string& name, const std::string& hidId, bool node) {
        file(root_ / "sys/class/hidraw" / name / "device/uevent",
             "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=keyboard\n");
        if (node) {
            file(root_ / "dev" / name, "");
        }
    }
    void rule(const std::string& dir, const std::string& name, const std::string& text) {
        file(root_ / dir / name, text);
    }
    void session(const std::string& id, uid_t uid, const std::string& seat, bool active, bool remote) {
        file(root_ / "run/systemd/sessions" / id,
             "# This is private data. Do not parse.\nUID=" + std::to_string(uid) + "\nUSER=someone\nACTIVE=" +
                 (active ? "1" : "0") + "\nSTATE=active\nREMOTE=" + (remote ? "1" : "0") +
                 (seat.empty() ? "" : "\nSEAT=" + seat) + "\n");
    }
    void process(int pid, const std::string& comm, const std::map<int, std::string>& fds) {
        const fs::path p = root_ / "proc" / std::to_string(pid);
        file(p / "comm", comm + "\n");
        fs::create_directories(p / "fd");
        for (const auto& [fd, target] : fds) {
            fs::create_symlink(target, p / "fd" / std::to_string(fd));
        }
    }

private:
    static void file(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path root_;
};

std::string ruleText() {
    return testsupport::readText(fs::path(TARVIK_SOURCE_DIR) / "packaging/70-tarvik.rules");
}

// One keyboard on the bus with three hidraw nodes (two of them of the keyboard), another device, the
// program's rule, a stray rule, sessions of two users and two processes holding nodes.
FakeSystem typicalSystem(const fs::path& root, uid_t uid) {
    FakeSystem s(root);
    s.usb("1-2", "0c45", "8508", 1, 5);
    s.usbInterface("1-2:1.0");
    s.usb("1-3", "046d", "c52b", 1, 6);
    s.hidraw("hidraw0", "0003:00000C45:00008508", true);
    s.hidraw("hidraw1", "0003:0000046D:0000C52B", true);
    s.hidraw("hidraw2", "0003:00000C45:00008508", true);
    s.rule("usr/lib/udev/rules.d", "70-tarvik.rules", ruleText());
    s.rule("etc/udev/rules.d", "50-other.rules",
           "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0c45\", ATTRS{idProduct}==\"8508\", RUN+=\"/bin/true\"\n");
    s.rule("etc/udev/rules.d", "README", "0c45 8508 uaccess");
    s.session("3", uid, "seat0", true, false);
    s.session("4", uid + 1, "seat0", false, false);
    s.process(77, "tarvik", {{3, "/dev/null"}, {9, "/dev/hidraw2"}});
    s.process(78, "mouse-daemon", {{4, "/dev/hidraw1"}});
    s.process(4242, "tarvikctl", {{5, "/dev/hidraw0"}}); // the doctor itself
    return s;
}

TEST(DoctorFacts, ReadFromTheTreesUnderTheRoot) {
    const fs::path home = testing::useOwnHome();
    FakeSystem s = typicalSystem(home / "root", 1000);
    System system;
    system.root = s.root();
    system.uid = 1000;
    system.self = 4242;
    system.openError = [](const fs::path& p) { return p.filename() == "hidraw2" ? EACCES : 0; };
    Facts f;
    gatherSystemFacts(system, f);

    ASSERT_EQ(f.usb.size(), 1u);
    EXPECT_EQ(f.usb[0].name, "1-2");
    EXPECT_EQ(f.usb[0].bus, 1);
    EXPECT_EQ(f.usb[0].device, 5);
    ASSERT_EQ(f.nodes.size(), 2u);
    EXPECT_EQ(f.nodes[0].devPath, "/dev/hidraw0");
    EXPECT_EQ(f.nodes[0].openError, 0);
    EXPECT_EQ(f.nodes[1].devPath, "/dev/hidraw2");
    EXPECT_EQ(f.nodes[1].openError, EACCES);
    ASSERT_EQ(f.rules.size(), 2u);
    EXPECT_EQ(f.rules[0].path, "/etc/udev/rules.d/50-other.rules");
    EXPECT_FALSE(f.rules[0].grantsAccess);
    EXPECT_EQ(f.rules[1].path, "/usr/lib/udev/rules.d/70-tarvik.rules");
    EXPECT_TRUE(f.rules[1].grantsAccess);
    EXPECT_TRUE(f.sessionsKnown);
    ASSERT_EQ(f.sessions.size(), 1u);
    EXPECT_EQ(f.sessions[0].seat, "seat0");
    EXPECT_TRUE(f.sessions[0].active);
    ASSERT_EQ(f.holders.size(), 1u);
    EXPECT_EQ(f.holders[0].pid, 77);
    EXPECT_EQ(f.holders[0].command, "tarvik");
    EXPECT_EQ(f.holders[0].node, "/dev/hidraw2");
}

TEST(DoctorFacts, NodesAreOpenedForRealWithoutASeam) {
    const fs::path home = testing::useOwnHome();
    FakeSystem s(home / "root");
    s.hidraw("hidraw0", "0003:00000C45:00008508", true);
    s.hidraw("hidraw5", "0003:00000C45:00008508", false); // in sysfs, but no node under /dev
    System system;
    system.root = s.root();
    Facts f;
    gatherSystemFacts(system, f);
    ASSERT_EQ(f.nodes.size(), 2u);
    EXPECT_TRUE(f.nodes[0].present);
    EXPECT_EQ(f.nodes[0].openError, 0);
    EXPECT_FALSE(f.nodes[1].present);
    EXPECT_EQ(f.nodes[1].openError, ENOENT);
    EXPECT_FALSE(f.sessionsKnown);
    EXPECT_TRUE(f.usb.empty());
}

Facts goodHidFacts() {
    Facts f;
    f.backend = "hid";
    f.libraryLoaded = true;
    f.keyboards = 1;
    f.usb = {{"1-2", 1, 5}};
    f.nodes = {{"hidraw0", "/dev/hidraw0", true, 0}};
    f.rules = {{"/lib/udev/rules.d/70-tarvik.rules", true}};
    f.sessionsKnown = true;
    f.sessions = {{"3", "seat0", true, false}};
    f.dataFolder = "/home/u/Documents/Velmora";
    f.dataFolderExists = true;
    f.dataFolderWritable = true;
    return f;
}

std::map<std::string, Finding> byCheck(const Facts& f) {
    std::map<std::string, Finding> out;
    for (const auto& finding : diagnose(f)) {
        out[finding.check] = finding;
    }
    return out;
}

TEST(DoctorVerdicts, EachObstacleIsNamedWithItsFix) {
    struct Row {
        const char* what;
        std::function<void(Facts&)> change;
        bool usable;
        std::string check;
        Status status;
        std::string inText; // part of the text
        std::string inFix;  // part of the fix
    } rows[] = {
        {"all is well", [](Facts&) {}, true, "hidraw", Status::Ok, "you can open /dev/hidraw0", ""},
        {"no library",
         [](Facts& f) {
             f.libraryLoaded = false;
             f.keyboards = 0;
             f.libraryDetail = "libportmux.so: cannot open shared object file";
         },
         false, "library", Status::Problem, "cannot open shared object file", "beside tarvikctl"},
        {"not plugged in",
         [](Facts& f) {
             f.keyboards = 0;
             f.usb.clear();
             f.nodes.clear();
         },
         false, "usb", Status::Problem, "no keyboard with the USB id 0c45:8508", "plug the keyboard in"},
        {"no hidraw node",
         [](Facts& f) {
             f.keyboards = 0;
             f.nodes.clear();
         },
         false, "hidraw", Status::Problem, "no hidraw node", "modprobe"},
        {"no rule",
         [](Facts& f) {
             f.keyboards = 0;
             f.nodes[0].openError = EACCES;
             f.rules.clear();
         },
         false, "hidraw", Status::Problem, "/dev/hidraw0: Permission denied", "70-tarvik.rules"},
        {"rule, remote login",
         [](Facts& f) {
             f.keyboards = 0;
             f.nodes[0].openError = EACCES;
             f.sessions = {{"7", "", false, true}};
         },
         false, "hidraw", Status::Problem, "Permission denied", "log in at the computer itself"},
        {"remote login, seat check",
         [](Facts& f) {
             f.sessions = {{"7", "", false, true}};
         },
         true, "seat", Status::Warning, "remote logins", "desktop session"},
        {"rule that grants nothing",
         [](Facts& f) {
             f.rules = {{"/etc/udev/rules.d/50-x.rules", false}};
         },
         true, "rule", Status::Warning, "grants no access", "udevadm"},
        {"held by another program",
         [](Facts& f) {
             f.holders = {{77, "tarvik", "/dev/hidraw0"}};
         },
         true, "holders", Status::Warning, "tarvik (pid 77) has /dev/hidraw0 open", "end it"},
        {"data folder not writable",
         [](Facts& f) {
             f.dataFolderWritable = false;
             f.dataFolderProblem = "Permission denied";
         },
         true, "data", Status::Warning, "Velmora: Permission denied", "folder you own"},
        {"virtual keyboard",
         [](Facts& f) {
             f.backend = "sim";
             f.usb.clear();
             f.nodes.clear();
             f.rules.clear();
         },
         true, "usb", Status::Info, "no keyboard with the USB id", ""},
        {"virtual keyboard server",
         [](Facts& f) {
             f.backend = "sim";
             f.simSocket = "/run/user/1000/portmux/sim.sock";
             f.simServer = true;
         },
         true, "library", Status::Ok,
         "the one of the virtual keyboard server at /run/user/1000/portmux/sim.sock", ""},
        {"virtual keyboard without server",
         [](Facts& f) {
             f.backend = "sim";
             f.simSocket = "/run/user/1000/portmux/sim.sock";
         },
         true, "library", Status::Ok, "a virtual keyboard of its own", "portmux-sim serve"},
        {"virtual keyboard unplugged",
         [](Facts& f) {
             f.backend = "sim";
             f.keyboards = 0;
         },
         false, "library", Status::Problem, "no keyboard it can open", "portmux-sim plug"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Facts f = goodHidFacts();
        row.change(f);
        EXPECT_EQ(usable(f), row.usable);
        auto findings = byCheck(f);
        ASSERT_TRUE(findings.contains(row.check));
        const Finding& finding = findings[row.check];
        EXPECT_EQ(finding.status, row.status) << finding.text;
        EXPECT_NE(finding.text.find(row.inText), std::string::npos) << finding.text;
        EXPECT_NE(finding.fix.find(row.inFix), std::string::npos) << finding.fix;
    }
    // All seven checks are always there.
    EXPECT_EQ(diagnose(goodHidFacts()).size(), 7u);
}

class DoctorProgram : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        testsupport::useVirtualKeyboard();
    }
    testsupport::RunResult doctor(const fs::path& program, const std::string& args, const fs::path& root) {
        return testsupport::runProgram(program, "doctor " + args,
                                       "TARVIK_DOCTOR_ROOT='" + root.string() + "'", home);
    }
    fs::path home;
};

TEST_F(DoctorProgram, UsableKeyboardExitsZeroAndListsEveryCheck) {
    FakeSystem s = typicalSystem(home / "root", ::getuid());
    const fs::path program = fs::path(testsupport::programFolder()) / "tarvikctl";
    auto r = doctor(program, "--json", s.root());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["usable"], true);
    EXPECT_EQ(doc["backend"], "sim");
    EXPECT_EQ(doc["keyboards"], 1);
    std::map<std::string, std::string> status;
    for (const auto& c : doc["checks"]) {
        status[c["check"]] = c["status"];
    }
    EXPECT_EQ(status["library"], "ok");
    EXPECT_EQ(status["usb"], "ok");
    EXPECT_EQ(status["hidraw"], "ok"); // the fake nodes are the test's own files
    EXPECT_EQ(status["rule"], "ok");
    EXPECT_EQ(status["seat"], "ok");
    EXPECT_EQ(status["holders"], "info"); // tarvik holds hidraw2; with the virtual keyboard only a note
    EXPECT_EQ(status["data"], "ok");

    auto text = doctor(program, "", s.root());
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("ok       rule     installed: /usr/lib/udev/rules.d/70-tarvik.rules\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("The keyboard is usable.\n"), std::string::npos) << text.out;
}

TEST_F(DoctorProgram, NoLibraryExitsOne) {
    FakeSystem s(home / "root");
    // tarvikctl alone in a folder: no libportmux.so beside it.
    const fs::path lonely = home / "lonely";
    fs::create_directories(lonely);
    fs::copy_file(fs::path(testsupport::programFolder()) / "tarvikctl", lonely / "tarvikctl");
    auto r = doctor(lonely / "tarvikctl", "", s.root());
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("problem  library  libportmux.so cannot be loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("The keyboard is not usable.\n"), std::string::npos) << r.out;
}

} // namespace
} // namespace tarvik::cli::doctor
