// tarvikctl doctor [--json]: what stands between the user and the keyboard, each with its fix; exit 0 when
// the keyboard is usable.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/Doctor.h"
#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "platform/ThisProcess.h"

#include <cstdlib>
#include <filesystem>

namespace tarvik::cli {

namespace {

// Loads the library as every command does and asks how many keyboards it has open.
void gatherLibrary(doctor::Facts& f) {
    device::AppLinkState state;
    device::HeadlessWindowPort window;
    const device::LinkTiming timing;
    device::LinkSession session(state, window, timing);
    std::string detail;
    const auto bound = session.open(paths::programFolder(), device::OnBindFailure::Report, &detail);
    f.libraryLoaded = bound == device::BindResult::Ok;
    if (!f.libraryLoaded) {
        f.libraryDetail = device::describeBindFailure(bound, detail);
        return;
    }
    (void)session.events().waitPresenceIdle(9 * timing.longestExchange());
    f.keyboards = session.link().devicePresent();
    if (f.backend == "sim") {
        const char* socket = std::getenv("PORTMUX_SIM_SOCKET");
        f.simSocket = socket != nullptr && socket[0] != '\0'
                          ? std::string(socket)
                          : (paths::privateRuntimeFolder("portmux") / "sim.sock").string();
        std::error_code ec;
        f.simServer = std::filesystem::is_socket(f.simSocket, ec);
    }
}

int runDoctor(CliContext& ctx, std::span<const std::string_view> args) {
    if (!args.empty()) {
        ctx.err << "tarvikctl: doctor: unexpected argument '" << args.front() << "'\n";
        return 2;
    }
    doctor::Facts facts;
    const char* backend = std::getenv("PORTMUX_BACKEND");
    facts.backend = backend != nullptr && backend[0] != '\0' ? backend : "hid";
    facts.programFolder = paths::programFolder().string();
    gatherLibrary(facts);

    doctor::System system;
    // The tests' fake sysfs and /dev trees.
    if (const char* root = std::getenv("TARVIK_DOCTOR_ROOT"); root != nullptr && root[0] != '\0') {
        system.root = root;
    }
    system.uid = currentUserId();
    system.self = currentProcessId();
    doctor::gatherSystemFacts(system, facts);
    doctor::gatherDataFolder(facts);

    const auto findings = doctor::diagnose(facts);
    const bool ok = doctor::usable(facts);
    if (ctx.json) {
        ctx.out << "{\"usable\": " << (ok ? "true" : "false")
                << ", \"backend\": " << jsonString(facts.backend) << ", \"keyboards\": " << facts.keyboards
                << ", \"checks\": [";
        for (size_t i = 0; i < findings.size(); ++i) {
            const auto& f = findings[i];
            ctx.out << (i == 0 ? "\n  " : ",\n  ") << "{\"check\": " << jsonString(f.check)
                    << ", \"status\": " << jsonString(doctor::statusName(f.status))
                    << ", \"text\": " << jsonString(f.text) << ", \"fix\": " << jsonString(f.fix) << '}';
        }
        ctx.out << "\n]}\n";
    } else {
        for (const auto& f : findings) {
            std::string status(doctor::statusName(f.status));
            std::string check = f.check;
            status.resize(8, ' ');
            check.resize(8, ' ');
            ctx.out << status << ' ' << check << ' ' << f.text << '\n';
            if (!f.fix.empty()) {
                ctx.out << std::string(18, ' ') << "fix: " << f.fix << '\n';
            }
        }
        ctx.out << (ok ? "The keyboard is usable.\n" : "The keyboard is not usable.\n");
    }
    return ok ? 0 : 1;
}

} // namespace

extern const CliCommand kDoctorCommand{
    "doctor", "doctor [--json]", "Find out what keeps the keyboard from working, and how to fix it",
    "Checks, each with what to do about it: the service library loads (and which back end); keyboards\n"
    "with the keyboard's USB id on the USB bus versus the hidraw nodes you can open; the udev rule\n"
    "(70-tarvik.rules) installed; your login session at the computer's seat (the rule uses uaccess); "
    "another\n"
    "program holding the keyboard open; the data folder writable. Statuses: ok, info, warning, problem.\n"
    "With --json: {\"usable\", \"backend\", \"keyboards\", \"checks\": [{\"check\", \"status\", \"text\", "
    "\"fix\"}]}.\n"
    "Exit status 0 when the keyboard is usable, 1 when it is not.",
    runDoctor};

} // namespace tarvik::cli
