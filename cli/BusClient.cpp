#include "cli/BusClient.h"

#include "cli/Watch.h"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace tarvik::cli::service {

namespace {

// A call waits behind every call queued before it and any Apply of the program; this bounds the wait.
constexpr uint64_t kCallTimeoutUsec = 300ull * 1000 * 1000;

std::string str(std::string_view s) {
    return std::string(s);
}

bool appendArguments(sd_bus_message* m, const Call& call, bool json) {
    for (const Argument& a : call.arguments) {
        int r = 0;
        if (const auto* i = std::get_if<int32_t>(&a)) {
            r = sd_bus_message_append(m, "i", *i);
        } else if (const auto* b = std::get_if<bool>(&a)) {
            r = sd_bus_message_append(m, "b", static_cast<int>(*b));
        } else if (const auto* s = std::get_if<std::string>(&a)) {
            r = sd_bus_message_append(m, "s", s->c_str());
        } else {
            r = sd_bus_message_open_container(m, 'a', "s");
            for (const std::string& w : std::get<std::vector<std::string>>(a)) {
                if (r >= 0) {
                    r = sd_bus_message_append(m, "s", w.c_str());
                }
            }
            if (r >= 0) {
                r = sd_bus_message_close_container(m);
            }
        }
        if (r < 0) {
            return false;
        }
    }
    return sd_bus_message_append(m, "a{sv}", 1, "json", "b", static_cast<int>(json)) >= 0;
}

struct Watching {
    bool json = false;
    std::ostream* out = nullptr;
    bool ownerGone = false;
};

void print(Watching& w, const std::string& line) {
    *w.out << line << '\n';
    w.out->flush();
}

int onSignal(sd_bus_message* m, void* data, sd_bus_error*) {
    auto& w = *static_cast<Watching*>(data);
    const std::string member = sd_bus_message_get_member(m) != nullptr ? sd_bus_message_get_member(m) : "";
    using watch::Event;
    int32_t value = 0;
    if (member == "Attached" || member == "Detached" || member == "Layer" || member == "ProfileChanged") {
        sd_bus_message_read(m, "i", &value);
        const Event::Kind kind = member == "Attached"   ? Event::Attached
                                 : member == "Detached" ? Event::Detached
                                 : member == "Layer"    ? Event::Layer
                                                        : Event::Profile;
        print(w, watch::formatEvent({kind, value}, w.json));
    } else if (member == "LightingChanged") {
        print(w, watch::formatEvent({Event::Lighting, 0}, w.json));
    } else if (member == "Written") {
        const char* method = "";
        sd_bus_message_read(m, "s", &method);
        print(w, w.json ? std::string(R"({"event": "written", "method": ")") + method + "\"}"
                        : std::string("written ") + method);
    }
    return 0;
}

int onOwnerChanged(sd_bus_message* m, void* data, sd_bus_error*) {
    const char* name = "";
    const char* before = "";
    const char* after = "";
    if (sd_bus_message_read(m, "sss", &name, &before, &after) >= 0 && kBusName == name && after[0] == '\0') {
        static_cast<Watching*>(data)->ownerGone = true;
    }
    return 0;
}

// A member of one line of JSON, for the few numbers of the status object.
std::optional<int> jsonNumber(const std::string& json, const std::string& member) {
    const auto at = json.find("\"" + member + "\": ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::string rest = json.substr(at + member.size() + 4);
    if (rest.empty() || rest[0] < '0' || rest[0] > '9') {
        return std::nullopt;
    }
    return std::atoi(rest.c_str());
}

} // namespace

bool BusClient::watch(bool json, std::ostream& out, const std::function<bool()>& stop) {
    Watching w{json, &out, false};
    sd_bus_slot* signals = nullptr;
    sd_bus_slot* owner = nullptr;
    const std::string name(kBusName), path(kObjectPath), interface(kInterface);
    if (sd_bus_match_signal(bus_, &signals, name.c_str(), path.c_str(), interface.c_str(), nullptr, onSignal,
                            &w) < 0 ||
        sd_bus_match_signal(bus_, &owner, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameOwnerChanged", onOwnerChanged, &w) < 0) {
        sd_bus_slot_unref(signals);
        return false;
    }
    // The current state first, as the watch on its own says it.
    const Reply status = call(Call{"Status", {}, {}}, true);
    if (!status.delivered) {
        sd_bus_slot_unref(signals);
        sd_bus_slot_unref(owner);
        return false;
    }
    const std::optional<int> keyboards = jsonNumber(status.outcome.output, "keyboards");
    if (keyboards.value_or(0) == 0) {
        print(w, watch::formatEvent({watch::Event::Detached, 0}, json));
    } else {
        print(w, watch::formatEvent({watch::Event::Attached, *keyboards}, json));
        if (auto profile = jsonNumber(status.outcome.output, "profile")) {
            print(w, watch::formatEvent({watch::Event::Profile, *profile}, json));
        }
    }
    while (!stop() && !w.ownerGone) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r < 0) {
            w.ownerGone = true; // the bus itself went
        } else if (r == 0) {
            sd_bus_wait(bus_, 200 * 1000); // bounded, so a stop is seen
        }
    }
    sd_bus_slot_unref(signals);
    sd_bus_slot_unref(owner);
    return !w.ownerGone;
}

std::unique_ptr<BusClient> BusClient::connectToProgram() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) {
        return nullptr;
    }
    sd_bus_error error{}; // the same as SD_BUS_ERROR_NULL, whose compound literal is not C++
    sd_bus_message* reply = nullptr;
    int owned = 0;
    const int r =
        sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", &error, &reply, "s", str(kBusName).c_str());
    if (r >= 0) {
        sd_bus_message_read(reply, "b", &owned);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (owned == 0) {
        sd_bus_flush_close_unref(bus);
        return nullptr;
    }
    return std::unique_ptr<BusClient>(new BusClient(bus));
}

BusClient::~BusClient() {
    sd_bus_flush_close_unref(bus_);
}

BusClient::Reply BusClient::call(const Call& call, bool json) {
    Reply result;
    const MethodInfo* method = findMethod(call.member);
    sd_bus_message* m = nullptr;
    if (method == nullptr ||
        sd_bus_message_new_method_call(bus_, &m, str(kBusName).c_str(), str(kObjectPath).c_str(),
                                       str(kInterface).c_str(), call.member.c_str()) < 0) {
        return result;
    }
    if (!appendArguments(m, call, json)) {
        sd_bus_message_unref(m);
        return result;
    }
    sd_bus_error error{}; // the same as SD_BUS_ERROR_NULL, whose compound literal is not C++
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call(bus_, m, kCallTimeoutUsec, &error, &reply);
    sd_bus_message_unref(m);
    if (r >= 0) {
        const char* out = nullptr;
        const char* messages = nullptr;
        if (sd_bus_message_read(reply, "ss", &out, &messages) >= 0) {
            result.delivered = true;
            result.outcome.output = out;
            result.outcome.messages = messages;
        }
    } else if (sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
               sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
        // The program ended between the look and the call.
    } else {
        result.delivered = true;
        const std::string name = error.name != nullptr ? error.name : "";
        const std::string text = error.message != nullptr ? error.message : std::strerror(-r);
        result.outcome.exitCode = exitCodeOfError(name);
        // Our own errors carry tarvikctl's lines; anything else (no answer in time, the program gone
        // during the call) is said the same way.
        if (name.rfind(str(kInterface) + ".Error.", 0) == 0) {
            result.outcome.messages = text + '\n';
        } else {
            result.outcome.messages = "tarvikctl: " + str(method->command) +
                                      ": the running program did not answer (" + name + ": " + text + ")\n";
        }
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return result;
}

} // namespace tarvik::cli::service
