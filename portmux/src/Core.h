// The library's core: the entry points' logic (check values, registrations, handles), the notification
// thread and the choice of back end. The exported C functions (Exports.cpp) forward to one Core; the
// tests build their own Core around a back end with a fake transport.
#pragma once

#include "portmux/include/portmux.h"
#include "portmux/src/Backend.h"
#include "portmux/src/Dispatcher.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace portmux {

// The three collections of the keyboard and whether a selector picks them.
enum class Collection { Config, Consumer, Status };
bool selects(const UnitId& unit, Collection collection);

class Core {
public:
    Core();
    ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // > 0: ready (also when already initialised). 0: the back end cannot start.
    int init(std::unique_ptr<Backend> backend);
    // 1: stopped (0 when called on the notification thread or when not initialised).
    int end();
    bool initialised() const;
    std::shared_ptr<Backend> backend() const;
    Dispatcher* dispatcher() { return &dispatcher_; }

    int getDeviceCount(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle);
    int asyncRead(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle);
    int statusWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* status, uint32_t length,
                    uint32_t check, uint32_t* handle);
    int writeOne(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* report, uint32_t length,
                 uint32_t check, uint32_t* handle);
    // Cancels a registration; once it returns, the registration's callback is not running and is not
    // called again (unless it is called from that very callback). 0 for 0 or an unknown handle.
    int deleteRequest(uint32_t handle);
    size_t registrationCount() const;

private:
    struct Registration {
        uint32_t handle;
        PortmuxCallback cb;
        uint32_t tag;
        UnitId unit;
    };
    void deliver(Event& event);
    uint32_t addRegistration(const UnitId& u, PortmuxCallback cb, uint32_t tag);

    mutable std::mutex m_;
    std::condition_variable callbackDone_;
    std::vector<Registration> regs_;
    uint32_t inCallback_ = 0; // handle whose callback is running now
    uint32_t nextHandle_ = 1;
    std::shared_ptr<Backend> backend_;
    Dispatcher dispatcher_;
};

} // namespace portmux
