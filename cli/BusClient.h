// tarvikctl's road through the running program: a client of its session-bus service (sd-bus, so the
// tool stays free of Qt). When no session bus answers or nobody owns the program's name, there is no
// client and the command opens the keyboard itself.
#pragma once

#include "cli/ServiceCalls.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

struct sd_bus;

namespace tarvik::cli::service {

class BusClient {
public:
    // A client when the session bus answers and the program owns its name there, else null.
    static std::unique_ptr<BusClient> connectToProgram();
    ~BusClient();
    BusClient(const BusClient&) = delete;
    BusClient& operator=(const BusClient&) = delete;

    struct Reply {
        // False when the program left the bus before it took the call: nothing was done, so the
        // command may take the direct road.
        bool delivered = false;
        Outcome outcome;
    };
    Reply call(const Call& call, bool json);

    // tarvikctl watch through the program: the keyboard's state first, then a line for each of its
    // signals (and "written METHOD" for a client's write), until stop() says so. False when the program
    // left the bus first: the watch then goes on by itself.
    bool watch(bool json, std::ostream& out, const std::function<bool()>& stop);

private:
    explicit BusClient(sd_bus* bus) : bus_(bus) {}
    sd_bus* bus_;
};

} // namespace tarvik::cli::service
