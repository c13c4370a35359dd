// tarvikctl doctor: what stands between the user and the keyboard, each with its fix. The facts come from
// the system (sysfs, /dev, the udev rule folders, systemd-logind's session files, /proc) under a root
// folder that tests point at a fake tree, and from loading the service library; the verdicts are made
// from the facts alone.
#pragma once

#include "platform/ThisProcess.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarvik::cli::doctor {

struct UsbDevice {
    std::string name; // the sysfs name, "1-2"
    int bus = 0;
    int device = 0;
};

struct HidrawNode {
    std::string name;     // "hidraw3"
    std::string devPath;  // "/dev/hidraw3", as other programs name it
    bool present = false; // the node exists under /dev
    int openError = 0;    // errno of opening it for reading and writing; 0 when it opened
};

struct RuleFile {
    std::string path;          // as the system names it, "/usr/lib/udev/rules.d/70-tarvik.rules"
    bool grantsAccess = false; // uaccess, MODE or GROUP for the keyboard's ids
};

struct Session {
    std::string id;
    std::string seat; // empty for a session without seat (a remote login)
    bool active = false;
    bool remote = false;
};

struct Holder {
    int pid = 0;
    std::string command;
    std::string node; // "/dev/hidraw3"
};

struct Facts {
    // The service library.
    std::string backend = "hid"; // PORTMUX_BACKEND
    bool libraryLoaded = false;
    std::string libraryDetail; // why it did not load
    std::string programFolder;
    int keyboards = 0;      // what the library sees
    std::string simSocket;  // the virtual keyboard's server socket (back end sim)
    bool simServer = false; // it is there: every process shares the one virtual keyboard
    // The system.
    std::vector<UsbDevice> usb;    // devices with the keyboard's vendor and product id
    std::vector<HidrawNode> nodes; // hidraw nodes of those devices
    std::vector<RuleFile> rules;   // rule files naming the keyboard's ids
    bool sessionsKnown = false;    // the session folder of systemd-logind exists
    std::vector<Session> sessions; // this user's sessions
    std::vector<Holder> holders;   // other processes with a node of the keyboard open
    std::string dataFolder;
    bool dataFolderExists = false;
    bool dataFolderWritable = false; // or, when missing, can be made
    std::string dataFolderProblem;
};

// Where the system facts come from.
struct System {
    std::filesystem::path root = "/";
    UserId uid = 0;
    ProcessId self = 0; // left out of the holders
    // errno of opening a node for reading and writing (0: it opened). The default opens and closes it.
    std::function<int(const std::filesystem::path&)> openError;
};

// The facts under system.root: USB devices, hidraw nodes, rule files, sessions, holders.
void gatherSystemFacts(const System& system, Facts& facts);
// The data folder (the documents folder's "Velmora"): there and writable, or missing and makeable.
void gatherDataFolder(Facts& facts);

enum class Status { Ok, Info, Warning, Problem };
struct Finding {
    std::string check; // library, usb, hidraw, rule, seat, holders, data
    Status status = Status::Ok;
    std::string text;
    std::string fix; // empty when nothing needs doing
};

std::vector<Finding> diagnose(const Facts& facts);
// The library loads and sees a keyboard it can open.
bool usable(const Facts& facts);
std::string_view statusName(Status status); // "ok", "info", "warning", "problem"

} // namespace tarvik::cli::doctor
