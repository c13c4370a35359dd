// What the library's core needs from a back end (`hid` or `sim`).
#pragma once

#include "portmux/src/Dispatcher.h"

#include <cstdint>
#include <span>

namespace portmux {

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    // Starts the back end's threads; events go to the dispatcher. False: the back end cannot run.
    virtual bool start(Dispatcher& dispatcher) = 0;
    // Stops and joins the back end's threads; afterwards every call fails safely.
    virtual void stop() = 0;
    // Number of keyboards attached now.
    virtual uint32_t deviceCount() = 0;
    // Sends one 64-byte report to the configuration collection. False: refused.
    virtual bool writeReport(std::span<const uint8_t, 64> report) = 0;
    // Sends the status report (usually 2 bytes {0x05, mode}) to the status collection.
    virtual bool writeStatus(std::span<const uint8_t> status) = 0;
};

} // namespace portmux
