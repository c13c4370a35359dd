#include "cli/Doctor.h"

#include "platform/FileChecks.h"
#include "platform/Paths.h"
#include "portmux/include/portmux.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace tarvik::cli::doctor {

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kMaxSmallFile = 1u << 20;

std::optional<std::string> readSmall(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(kMaxSmallFile), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return s;
}

std::optional<unsigned> parseNumber(std::string_view s, int base) {
    unsigned v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc{} || end != s.data() + s.size() || s.empty()) {
        return std::nullopt;
    }
    return v;
}

// The entries of a folder, sorted by name; none when it cannot be read.
std::vector<fs::directory_entry> entries(const fs::path& dir) {
    std::vector<fs::directory_entry> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        out.push_back(*it);
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    return out;
}

bool isKeyboardHidId(std::string_view uevent) {
    // HID_ID=0003:00000C45:00008508 (bus, vendor, product in hexadecimal)
    std::istringstream lines{std::string(uevent)};
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.starts_with("HID_ID=")) {
            continue;
        }
        const std::string id = trimmed(line.substr(7));
        const auto a = id.find(':');
        const auto b = id.find(':', a + 1);
        if (a == std::string::npos || b == std::string::npos) {
            return false;
        }
        auto vendor = parseNumber(std::string_view(id).substr(a + 1, b - a - 1), 16);
        auto product = parseNumber(std::string_view(id).substr(b + 1), 16);
        return vendor == PORTMUX_VENDOR_ID && product == PORTMUX_PRODUCT_ID;
    }
    return false;
}

void gatherUsb(const System& s, Facts& f) {
    for (const auto& e : entries(s.root / "sys/bus/usb/devices")) {
        auto vendor = readSmall(e.path() / "idVendor");
        auto product = readSmall(e.path() / "idProduct");
        if (!vendor || !product || parseNumber(trimmed(*vendor), 16) != PORTMUX_VENDOR_ID ||
            parseNumber(trimmed(*product), 16) != PORTMUX_PRODUCT_ID) {
            continue;
        }
        UsbDevice d;
        d.name = e.path().filename().string();
        d.bus = static_cast<int>(
            parseNumber(trimmed(readSmall(e.path() / "busnum").value_or("")), 10).value_or(0));
        d.device = static_cast<int>(
            parseNumber(trimmed(readSmall(e.path() / "devnum").value_or("")), 10).value_or(0));
        f.usb.push_back(d);
    }
}

void gatherNodes(const System& s, Facts& f) {
    for (const auto& e : entries(s.root / "sys/class/hidraw")) {
        auto uevent = readSmall(e.path() / "device/uevent");
        if (!uevent || !isKeyboardHidId(*uevent)) {
            continue;
        }
        HidrawNode n;
        n.name = e.path().filename().string();
        n.devPath = "/dev/" + n.name;
        const fs::path node = s.root / "dev" / n.name;
        std::error_code ec;
        n.present = fs::exists(node, ec);
        n.openError = n.present ? (s.openError ? s.openError(node) : deviceOpenError(node)) : ENOENT;
        f.nodes.push_back(n);
    }
}

void gatherRules(const System& s, Facts& f) {
    for (const char* dir : {"etc/udev/rules.d", "run/udev/rules.d", "usr/local/lib/udev/rules.d",
                            "lib/udev/rules.d", "usr/lib/udev/rules.d"}) {
        for (const auto& e : entries(s.root / dir)) {
            if (e.path().extension() != ".rules") {
                continue;
            }
            auto text = readSmall(e.path());
            if (!text) {
                continue;
            }
            std::istringstream lines(lower(*text));
            std::string line;
            bool names = false;
            bool grants = false;
            while (std::getline(lines, line)) {
                if (line.starts_with("#") || line.find("0c45") == std::string::npos ||
                    line.find("8508") == std::string::npos) {
                    continue;
                }
                names = true;
                grants = grants || line.find("uaccess") != std::string::npos ||
                         line.find("mode=") != std::string::npos || line.find("group=") != std::string::npos;
            }
            if (names) {
                f.rules.push_back({"/" + (fs::path(dir) / e.path().filename()).string(), grants});
            }
        }
    }
}

void gatherSessions(const System& s, Facts& f) {
    const fs::path dir = s.root / "run/systemd/sessions";
    std::error_code ec;
    f.sessionsKnown = fs::is_directory(dir, ec);
    for (const auto& e : entries(dir)) {
        if (e.path().extension() == ".ref") {
            continue;
        }
        auto text = readSmall(e.path());
        if (!text) {
            continue;
        }
        Session session;
        session.id = e.path().filename().string();
        std::optional<unsigned> uid;
        std::istringstream lines(*text);
        std::string line;
        while (std::getline(lines, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) {
                continue;
            }
            const std::string key = line.substr(0, eq);
            const std::string value = trimmed(line.substr(eq + 1));
            if (key == "UID") {
                uid = parseNumber(value, 10);
            } else if (key == "SEAT") {
                session.seat = value;
            } else if (key == "ACTIVE") {
                session.active = value == "1";
            } else if (key == "REMOTE") {
                session.remote = value == "1";
            }
        }
        if (uid == s.uid) {
            f.sessions.push_back(session);
        }
    }
}

void gatherHolders(const System& s, Facts& f) {
    if (f.nodes.empty()) {
        return;
    }
    for (const auto& e : entries(s.root / "proc")) {
        auto pid = parseNumber(e.path().filename().string(), 10);
        if (!pid || static_cast<ProcessId>(*pid) == s.self) {
            continue;
        }
        for (const auto& fd : entries(e.path() / "fd")) {
            std::error_code ec;
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            if (ec) {
                continue;
            }
            for (const auto& n : f.nodes) {
                if (target == n.devPath) {
                    f.holders.push_back({static_cast<int>(*pid),
                                         trimmed(readSmall(e.path() / "comm").value_or("?")), n.devPath});
                }
            }
        }
    }
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) {
        out += (out.empty() ? "" : ", ") + p;
    }
    return out;
}

const char* kRuleFix =
    "install the rule: sudo cp packaging/70-tarvik.rules /etc/udev/rules.d/ && sudo udevadm control "
    "--reload && sudo udevadm trigger (the Debian package puts it into /lib/udev/rules.d)";

} // namespace

void gatherSystemFacts(const System& s, Facts& f) {
    gatherUsb(s, f);
    gatherNodes(s, f);
    gatherRules(s, f);
    gatherSessions(s, f);
    gatherHolders(s, f);
}

void gatherDataFolder(Facts& f) {
    const fs::path data = paths::dataFolder();
    f.dataFolder = data.string();
    std::error_code ec;
    f.dataFolderExists = fs::exists(data, ec);
    if (f.dataFolderExists) {
        if (!fs::is_directory(data, ec)) {
            f.dataFolderProblem = "it is not a folder";
            return;
        }
        f.dataFolderProblem = fileCreationProblem(data / ".tarvikctl-doctor-XXXXXX");
        f.dataFolderWritable = f.dataFolderProblem.empty();
        return;
    }
    // Missing: the program makes it on first need, so the nearest folder above it must take a new folder.
    fs::path above = data.parent_path();
    while (!above.empty() && !fs::exists(above, ec)) {
        above = above.parent_path();
    }
    if (above.empty() || !folderTakesNewEntries(above)) {
        f.dataFolderProblem = "it is missing and cannot be made in " + above.string();
        return;
    }
    f.dataFolderWritable = true;
}

std::string_view statusName(Status status) {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::Info:
        return "info";
    case Status::Warning:
        return "warning";
    case Status::Problem:
        return "problem";
    }
    return "?";
}

bool usable(const Facts& f) {
    return f.libraryLoaded && f.keyboards > 0;
}

std::vector<Finding> diagnose(const Facts& f) {
    std::vector<Finding> out;
    const bool sim = f.backend == "sim";
    // With the virtual keyboard the hardware does not decide anything: what would be a problem is told.
    auto hardware = [sim](Status s) { return sim && s != Status::Ok ? Status::Info : s; };

    if (!f.libraryLoaded) {
        out.push_back({"library", Status::Problem, "libportmux.so cannot be loaded: " + f.libraryDetail,
                       "reinstall Tarvik: libportmux.so belongs beside tarvikctl in " + f.programFolder});
    } else if (f.keyboards > 0) {
        std::string text = "libportmux.so loaded (back end " + f.backend + "); it has " +
                           std::to_string(f.keyboards) + (f.keyboards == 1 ? " keyboard" : " keyboards") +
                           " open";
        if (sim) {
            text += f.simServer ? ", the one of the virtual keyboard server at " + f.simSocket
                                : ", a virtual keyboard of its own (no server at " + f.simSocket + ")";
        }
        out.push_back({"library", Status::Ok, text,
                       sim && !f.simServer
                           ? "to share one virtual keyboard with the program, start portmux-sim serve"
                           : ""});
    } else {
        out.push_back(
            {"library", Status::Problem,
             "libportmux.so loaded (back end " + f.backend + "), but it has no keyboard it can open",
             sim ? "the virtual keyboard is unplugged: plug it in (portmux-sim plug)"
                 : "see the checks below"});
    }

    if (f.usb.empty()) {
        out.push_back(
            {"usb", hardware(Status::Problem), "no keyboard with the USB id 0c45:8508 on the USB bus",
             "plug the keyboard in; try another port or cable (a switch or hub in between can hide it)"});
    } else {
        std::vector<std::string> names;
        for (const auto& d : f.usb) {
            names.push_back(d.name + " (bus " + std::to_string(d.bus) + ", device " +
                            std::to_string(d.device) + ")");
        }
        out.push_back({"usb", Status::Ok, "keyboard on the USB bus: " + joined(names), ""});
    }

    std::vector<std::string> open;
    std::vector<std::string> refused;
    for (const auto& n : f.nodes) {
        (n.openError == 0 ? open : refused)
            .push_back(n.openError == 0 ? n.devPath : n.devPath + ": " + std::strerror(n.openError));
    }
    const bool hasRule =
        std::any_of(f.rules.begin(), f.rules.end(), [](const RuleFile& r) { return r.grantsAccess; });
    const bool atSeat = std::any_of(f.sessions.begin(), f.sessions.end(),
                                    [](const Session& s) { return !s.seat.empty() && s.active; });
    if (f.nodes.empty()) {
        if (!f.usb.empty()) {
            out.push_back(
                {"hidraw", hardware(Status::Problem), "the keyboard has no hidraw node",
                 "load the kernel's HID drivers (sudo modprobe hid-generic hidraw), then plug it in again"});
        } else {
            out.push_back({"hidraw", hardware(Status::Info), "no hidraw node of the keyboard", ""});
        }
    } else if (refused.empty()) {
        out.push_back({"hidraw", Status::Ok, "you can open " + joined(open), ""});
    } else {
        std::string fix = !hasRule ? kRuleFix
                          : !atSeat
                              ? "log in at the computer itself: the rule gives the keyboard to the person at "
                                "its screen (uaccess), not to remote logins"
                              : "unplug the keyboard and plug it in again, so the rule is applied";
        out.push_back(
            {"hidraw", hardware(open.empty() ? Status::Problem : Status::Warning),
             "you cannot open " + joined(refused) + (open.empty() ? "" : "; you can open " + joined(open)),
             fix});
    }

    if (f.rules.empty()) {
        out.push_back({"rule", hardware(Status::Warning), "no udev rule gives you the keyboard", kRuleFix});
    } else if (!hasRule) {
        out.push_back(
            {"rule", hardware(Status::Warning),
             f.rules.front().path + " names the keyboard but grants no access (no uaccess, MODE or GROUP)",
             kRuleFix});
    } else {
        std::string path;
        for (const auto& r : f.rules) {
            if (r.grantsAccess) {
                path = r.path;
                break;
            }
        }
        out.push_back({"rule", Status::Ok, "installed: " + path, ""});
    }

    if (!f.sessionsKnown) {
        out.push_back({"seat", hardware(Status::Info),
                       "no login sessions of systemd-logind found: the rule's uaccess cannot apply here",
                       "give the keyboard to a group you are in with a rule of your own (GROUP=\"...\", "
                       "MODE=\"0660\")"});
    } else if (atSeat) {
        for (const auto& s : f.sessions) {
            if (!s.seat.empty() && s.active) {
                out.push_back(
                    {"seat", Status::Ok, "your session " + s.id + " is the active one on " + s.seat, ""});
                break;
            }
        }
    } else {
        const bool onSeat = std::any_of(f.sessions.begin(), f.sessions.end(),
                                        [](const Session& s) { return !s.seat.empty(); });
        out.push_back({"seat", hardware(Status::Warning),
                       f.sessions.empty() ? "you have no login session"
                       : onSeat
                           ? "your session on the seat is not the active one (another user has the screen)"
                           : "your sessions are remote logins, not at the computer's seat",
                       "run Tarvik from the desktop session at the computer; uaccess gives the keyboard to "
                       "that session "
                       "only"});
    }

    if (f.holders.empty()) {
        out.push_back({"holders", Status::Ok, "no other program has the keyboard open", ""});
    } else {
        std::vector<std::string> who;
        for (const auto& h : f.holders) {
            who.push_back(h.command + " (pid " + std::to_string(h.pid) + ") has " + h.node);
        }
        out.push_back(
            {"holders", hardware(Status::Warning), joined(who) + " open",
             "if commands fail with unanswered reports, end it: two programs writing to the keyboard at once "
             "mix up its replies"});
    }

    if (f.dataFolderWritable) {
        out.push_back(
            {"data", Status::Ok,
             f.dataFolder + (f.dataFolderExists ? " is writable" : " will be made when first needed"), ""});
    } else {
        out.push_back(
            {"data", Status::Warning, f.dataFolder + ": " + f.dataFolderProblem,
             "make it a folder you own and can write (profiles, the cache file and the lighting files live "
             "there)"});
    }
    return out;
}

} // namespace tarvik::cli::doctor
