#include "portmux/server/Verbs.h"

#include "portmux/server/ControlClient.h"
#include "portmux/src/SimSocket.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace portmux::sim {

const char* const kUsage =
    "Usage: portmux-sim VERB [ARGUMENTS] [--socket PATH]\n"
    "\n"
    "One virtual keyboard for every process: `serve` runs it, the other verbs drive it from outside.\n"
    "Programs use it when they load libportmux.so with PORTMUX_BACKEND=sim while it runs.\n"
    "\n"
    "  serve [--state FILE] [--socket PATH]  run the keyboard in the foreground (Ctrl+C ends it);\n"
    "                                 FILE keeps its flash (default "
    "$XDG_STATE_HOME/portmux/sim-keyboard.bin,\n"
    "                                 or PORTMUX_SIM_STATE; --state '' keeps nothing)\n"
    "  plug                           attach the keyboard\n"
    "  unplug                         detach the keyboard (an open write frame is lost)\n"
    "  cons CODE                      the keyboard sends a consumer-control code, e.g. cons 0x0401\n"
    "  layer                          press the keyboard's layer key (cons 0x02FF)\n"
    "  lighting                       change the lighting on the keyboard (cons 0x0401)\n"
    "  latency MS                     delay of every reply (0-60000)\n"
    "  fault KIND [COUNT] [--command CODE] [--delay MS] [--reply-command CODE]\n"
    "                                 the next COUNT reports (default 1; only those with command CODE):\n"
    "                                 busy-ff, busy-fe, other-command, no-reply, drop-reply, late-reply\n"
    "                                 (--delay), refuse-write, unplug-after (answer COUNT, then leave),\n"
    "                                 ack-drop (COUNT writes answered with success, not stored), pass\n"
    "  update-return MS               the update trigger brings the keyboard back after MS (<0: never)\n"
    "  reports [--since N] [--json]   the reports the keyboard received, newest last\n"
    "  violations [--since N] [--json]  the reports that broke the protocol\n"
    "  flash AREA [--json]            one area of the flash: config, settings, keys, default-keys,\n"
    "                                 macros, colours\n"
    "  reset                          factory flash, attached, no faults, latency 0, empty records\n"
    "  status [--json]                plugged, clients, latency, faults pending, records\n"
    "\n"
    "The socket is PORTMUX_SIM_SOCKET, else $XDG_RUNTIME_DIR/portmux/sim.sock.\n"
    "Exit status 0 on success; 1 with one line on standard error otherwise.\n";

namespace {

struct Args {
    std::string verb;
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
    bool json = false;
};

const std::set<std::string> kValueOptions = {"--socket", "--command", "--delay", "--reply-command",
                                             "--since"};

struct Failure {
    std::string text;
};

[[noreturn]] void failWith(std::string text) {
    throw Failure{std::move(text)};
}

Args parse(const std::vector<std::string>& in) {
    Args a;
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& w = in[i];
        if (w == "--json") {
            a.json = true;
        } else if (kValueOptions.count(w)) {
            if (i + 1 >= in.size()) {
                failWith(w + " needs a value");
            }
            a.options[w] = in[++i];
        } else if (w.size() > 2 && w.rfind("--", 0) == 0) {
            failWith("unknown option " + w);
        } else if (a.verb.empty()) {
            a.verb = w;
        } else {
            a.words.push_back(w);
        }
    }
    return a;
}

void allow(const Args& a, size_t minWords, size_t maxWords, std::set<std::string> options, bool json) {
    if (a.words.size() < minWords) {
        failWith(a.verb + ": missing argument (see portmux-sim --help)");
    }
    if (a.words.size() > maxWords) {
        failWith(a.verb + ": unexpected argument '" + a.words[maxWords] + "'");
    }
    options.insert("--socket");
    for (const auto& [name, value] : a.options) {
        if (!options.count(name)) {
            failWith(a.verb + ": no option " + name);
        }
    }
    if (a.json && !json) {
        failWith(a.verb + ": no option --json");
    }
}

long long number(const std::string& what, const std::string& text, long long min, long long max) {
    long long v = 0;
    if (!parseNumber(text, min, max, v)) {
        failWith(what + " must be a number from " + std::to_string(min) + " to " + std::to_string(max) +
                 ", not '" + text + "'");
    }
    return v;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hex(std::span<const uint8_t> bytes, const char* separator) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        if (i > 0) {
            out += separator;
        }
        out += buf;
    }
    return out;
}

const std::array<std::pair<const char*, Area>, 6> kAreas = {{
    {"config", Area::Config},
    {"settings", Area::Settings},
    {"keys", Area::KeyBlocks},
    {"default-keys", Area::DefaultKeyBlock},
    {"macros", Area::Macros},
    {"colours", Area::Colours},
}};

const std::array<std::pair<const char*, FaultKind>, 10> kFaults = {{
    {"busy-ff", FaultKind::BusyFF},
    {"busy-fe", FaultKind::BusyFE},
    {"other-command", FaultKind::WrongCommand},
    {"no-reply", FaultKind::NoReply},
    {"drop-reply", FaultKind::DropReply},
    {"late-reply", FaultKind::LateReply},
    {"refuse-write", FaultKind::RefuseWrite},
    {"unplug-after", FaultKind::Unplug},
    {"ack-drop", FaultKind::AckDrop},
    {"pass", FaultKind::Pass},
}};

class Verbs {
public:
    Verbs(const Args& a, std::ostream& out) : a_(a), out_(out) {}

    void run() {
        static const std::map<std::string, std::function<void(Verbs&)>> table = {
            {"plug", [](Verbs& v) { v.plug(true); }},
            {"unplug", [](Verbs& v) { v.plug(false); }},
            {"cons", [](Verbs& v) { v.consumer(); }},
            {"layer", [](Verbs& v) { v.consumer(0x02FF); }},
            {"lighting", [](Verbs& v) { v.consumer(0x0401); }},
            {"latency", [](Verbs& v) { v.latency(); }},
            {"fault", [](Verbs& v) { v.fault(); }},
            {"update-return", [](Verbs& v) { v.updateReturn(); }},
            {"reports", [](Verbs& v) { v.reports(); }},
            {"violations", [](Verbs& v) { v.violations(); }},
            {"flash", [](Verbs& v) { v.flash(); }},
            {"reset", [](Verbs& v) { v.reset(); }},
            {"status", [](Verbs& v) { v.status(); }},
        };
        auto it = table.find(a_.verb);
        if (it == table.end()) {
            failWith("unknown verb '" + a_.verb + "' (see portmux-sim --help)");
        }
        it->second(*this);
    }

private:
    ControlClient& client() {
        if (!client_) {
            auto o = a_.options.find("--socket");
            const std::string path = o != a_.options.end() ? o->second : socketPathFromEnvironment();
            if (path.empty()) {
                failWith("no socket: PORTMUX_SIM_SOCKET is empty");
            }
            std::string why;
            client_ = ControlClient::connect(path, &why);
            if (!client_) {
                failWith(why.rfind("no server", 0) == 0 ? why + " (start one with: portmux-sim serve)" : why);
            }
        }
        return *client_;
    }

    wire::ControlResult call(const wire::Control& c) {
        auto r = client().call(c);
        if (!r) {
            failWith("the server did not answer");
        }
        return *r;
    }

    wire::ControlResult call(wire::Op op) {
        wire::Control c;
        c.op = op;
        return call(c);
    }

    void plug(bool in) {
        allow(a_, 0, 0, {}, false);
        const auto r = call(in ? wire::Op::Plug : wire::Op::Unplug);
        const auto* changed = std::get_if<wire::Changed>(&r.payload);
        if (!r.ok || !changed) {
            failWith("the server refused");
        }
        out_ << (in ? (changed->changed ? "keyboard plugged in\n" : "keyboard already plugged in\n")
                    : (changed->changed ? "keyboard unplugged\n" : "keyboard already unplugged\n"));
    }

    void consumer(std::optional<uint16_t> fixed = std::nullopt) {
        allow(a_, fixed ? 0 : 1, fixed ? 0 : 1, {}, false);
        wire::Control c;
        c.op = wire::Op::Consumer;
        c.value = fixed ? *fixed : static_cast<uint32_t>(number("CODE", a_.words[0], 0, 0xFFFF));
        if (!call(c).ok) {
            failWith(a_.verb + ": the keyboard is unplugged");
        }
    }

    void latency() {
        allow(a_, 1, 1, {}, false);
        wire::Control c;
        c.op = wire::Op::Latency;
        c.value = static_cast<uint32_t>(number("MS", a_.words[0], 0, 60000));
        call(c);
    }

    void fault() {
        allow(a_, 1, 2, {"--command", "--delay", "--reply-command"}, false);
        wire::Control c;
        c.op = wire::Op::Fault;
        bool known = false;
        for (const auto& [name, kind] : kFaults) {
            if (a_.words[0] == name) {
                c.fault.kind = kind;
                known = true;
            }
        }
        if (!known) {
            failWith("fault: unknown kind '" + a_.words[0] + "' (see portmux-sim --help)");
        }
        const long long minCount = c.fault.kind == FaultKind::Unplug ? 0 : 1;
        c.fault.count =
            a_.words.size() > 1 ? static_cast<uint32_t>(number("COUNT", a_.words[1], minCount, 1000000)) : 1;
        if (auto o = a_.options.find("--command"); o != a_.options.end()) {
            c.fault.command = static_cast<uint8_t>(number("--command", o->second, 1, 0xFF));
            // It would wait forever for a report it never takes.
            if (c.fault.kind == FaultKind::AckDrop && !isFlashWrite(c.fault.command)) {
                failWith("fault: ack-drop takes write commands only (0x04, 0x06, 0x08, 0x0A, 0x11)");
            }
        }
        if (auto o = a_.options.find("--reply-command"); o != a_.options.end()) {
            if (c.fault.kind != FaultKind::WrongCommand) {
                failWith("fault: --reply-command goes with other-command");
            }
            c.fault.replyCommand = static_cast<uint8_t>(number("--reply-command", o->second, 0, 0xFF));
        }
        if (auto o = a_.options.find("--delay"); o != a_.options.end()) {
            if (c.fault.kind != FaultKind::LateReply) {
                failWith("fault: --delay goes with late-reply");
            }
            c.fault.delayMs = static_cast<uint32_t>(number("--delay", o->second, 0, 60000));
        }
        if (!call(c).ok) {
            failWith("fault: the server refused it");
        }
    }

    void updateReturn() {
        allow(a_, 1, 1, {}, false);
        wire::Control c;
        c.op = wire::Op::UpdateReturn;
        c.delayMs = static_cast<int32_t>(number("MS", a_.words[0], -1, 600000));
        call(c);
    }

    uint64_t since() {
        auto o = a_.options.find("--since");
        return o == a_.options.end() ? 0 : static_cast<uint64_t>(number("--since", o->second, 0, INT64_MAX));
    }

    void reports() {
        allow(a_, 0, 0, {"--since"}, true);
        uint64_t first = 0;
        auto list = client().reports(since(), &first);
        if (!list) {
            failWith("the server did not answer");
        }
        if (a_.json) {
            out_ << "[";
        }
        for (size_t i = 0; i < list->size(); ++i) {
            const Report& r = (*list)[i];
            const unsigned address = r[5] | (r[6] << 8);
            if (a_.json) {
                out_ << (i ? ",\n " : "") << "{\"n\": " << first + i << ", \"command\": " << unsigned{r[3]}
                     << ", \"length\": " << unsigned{r[4]} << ", \"address\": " << address
                     << ", \"bytes\": \"" << hex(r, "") << "\"}";
            } else {
                char head[64];
                std::snprintf(head, sizeof head,
                              "%llu: cmd 0x%02X len %u addr %u:", static_cast<unsigned long long>(first + i),
                              r[3], unsigned{r[4]}, address);
                out_ << head << ' ' << hex(r, " ") << '\n';
            }
        }
        if (a_.json) {
            out_ << "]\n";
        }
    }

    void violations() {
        allow(a_, 0, 0, {"--since"}, true);
        uint64_t first = 0;
        auto list = client().violations(since(), &first);
        if (!list) {
            failWith("the server did not answer");
        }
        if (a_.json) {
            out_ << "[";
        }
        for (size_t i = 0; i < list->size(); ++i) {
            const ViolationRecord& v = (*list)[i];
            if (a_.json) {
                out_ << (i ? ",\n " : "") << "{\"n\": " << first + i << ", \"code\": " << unsigned(v.reason)
                     << ", \"command\": " << unsigned{v.command} << ", \"length\": " << unsigned{v.length}
                     << ", \"address\": " << v.address << ", \"text\": " << jsonString(v.text) << "}";
            } else {
                out_ << first + i << ": " << v.text << '\n';
            }
        }
        if (a_.json) {
            out_ << "]\n";
        }
    }

    void flash() {
        allow(a_, 1, 1, {}, true);
        std::optional<Area> area;
        for (const auto& [name, a] : kAreas) {
            if (a_.words[0] == name) {
                area = a;
            }
        }
        if (!area) {
            failWith("flash: unknown area '" + a_.words[0] +
                     "' (config, settings, keys, default-keys, macros, colours)");
        }
        auto bytes = client().flash(*area);
        if (!bytes) {
            failWith("the server did not answer");
        }
        if (a_.json) {
            out_ << "{\"area\": " << jsonString(a_.words[0]) << ", \"size\": " << bytes->size()
                 << ", \"bytes\": [";
            for (size_t i = 0; i < bytes->size(); ++i) {
                out_ << (i ? ", " : "") << unsigned{(*bytes)[i]};
            }
            out_ << "]}\n";
            return;
        }
        for (size_t at = 0; at < bytes->size(); at += 16) {
            char head[24];
            std::snprintf(head, sizeof head, "%04zx:", at);
            const size_t n = std::min<size_t>(16, bytes->size() - at);
            out_ << head << ' ' << hex(std::span<const uint8_t>(bytes->data() + at, n), " ") << '\n';
        }
    }

    void reset() {
        allow(a_, 0, 0, {}, false);
        call(wire::Op::Reset);
    }

    void status() {
        allow(a_, 0, 0, {}, true);
        auto s = client().status();
        if (!s) {
            failWith("the server did not answer");
        }
        if (a_.json) {
            out_ << "{\"plugged\": " << (s->plugged ? "true" : "false") << ", \"clients\": " << s->clients
                 << ", \"latencyMs\": " << s->latencyMs << ", \"faultsPending\": " << s->faultsPending
                 << ", \"frameOpen\": " << (s->frameOpen ? "true" : "false")
                 << ", \"commits\": " << s->commits << ", \"reports\": " << s->reportTotal
                 << ", \"violations\": " << s->violations << ", \"recordLimit\": " << s->recordLimit
                 << ", \"updateReturnMs\": " << s->updateReturnMs
                 << ", \"updateTriggers\": " << s->updateTriggers << ", \"linkStatus\": ";
            if (s->hasLinkStatus) {
                out_ << '[' << unsigned{s->linkStatus[0]} << ", " << unsigned{s->linkStatus[1]} << ']';
            } else {
                out_ << "null";
            }
            out_ << ", \"stateFile\": " << (s->statePath.empty() ? "null" : jsonString(s->statePath))
                 << "}\n";
            return;
        }
        out_ << "keyboard: " << (s->plugged ? "plugged in" : "unplugged") << '\n'
             << "clients: " << s->clients << '\n'
             << "latency: " << s->latencyMs << " ms\n"
             << "faults pending: " << s->faultsPending << '\n'
             << "write frame open: " << (s->frameOpen ? "yes" : "no") << '\n'
             << "commits: " << s->commits << '\n'
             << "reports received: " << s->reportTotal << " (the newest " << s->recordLimit << " kept)\n"
             << "protocol violations: " << s->violations << '\n'
             << "link status: " << (s->hasLinkStatus ? hex(s->linkStatus, " ") : std::string("none")) << '\n'
             << "state file: " << (s->statePath.empty() ? std::string("not kept") : s->statePath) << '\n';
    }

    const Args& a_;
    std::ostream& out_;
    std::unique_ptr<ControlClient> client_;
};

} // namespace

bool parseNumber(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    const bool negative = text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const bool isHex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    const std::string body = isHex ? digits.substr(2) : digits;
    if (body.empty()) {
        return false;
    }
    for (char c : body) {
        const bool ok = isHex ? std::isxdigit(static_cast<unsigned char>(c))
                              : std::isdigit(static_cast<unsigned char>(c));
        if (!ok) {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(body.c_str(), &end, isHex ? 16 : 10);
    if (errno != 0 || *end != '\0') {
        return false;
    }
    value = negative ? -v : v;
    return value >= min && value <= max;
}

int runVerb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const Args a = parse(args);
        if (a.verb.empty()) {
            failWith("no verb (see portmux-sim --help)");
        }
        std::ostringstream text;
        Verbs(a, text).run();
        out << text.str();
        return 0;
    } catch (const Failure& f) {
        err << "portmux-sim: " << f.text << '\n';
        return 1;
    }
}

} // namespace portmux::sim
