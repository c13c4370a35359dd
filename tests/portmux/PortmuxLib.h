// Loads the built libportmux.so from the program folder once per process (as the program does, by
// dlopen), calls Init(0) once, and records every notification with the thread that delivered it.
#pragma once

#include "portmux/include/portmux.h"
#include "portmux/include/portmux_sim.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace portmux::test {

struct Lib {
    void* handle = nullptr;
    PortmuxInitFn Init = nullptr;
    PortmuxDebugFn Debug = nullptr;
    PortmuxEndFn End = nullptr;
    PortmuxGetDeviceCountFn RequestGetDeviceCount = nullptr;
    PortmuxAsyncReadFn RequestAsyncRead = nullptr;
    PortmuxStatusWriteFn RequestStatusWrite = nullptr;
    PortmuxWriteOneFn RequestWriteOne = nullptr;
    PortmuxWriteFn RequestWrite = nullptr;
    PortmuxStatusGetFn RequestStatusGet = nullptr;
    PortmuxStatusSetFeatureFn RequestStatusSetFeature = nullptr;
    PortmuxDeleteFn DeleteRequestFromUnitId = nullptr;
    PortmuxDeleteFn DeleteRequestFromHandle = nullptr;
    PortmuxSimControlGetFn SimControlGet = nullptr;
    int initResult = 0;

    // The loaded library (aborts the test program when it cannot be loaded).
    static Lib& get();
    PortmuxSimControl* sim() const { return SimControlGet ? SimControlGet() : nullptr; }
    // Resolves any name (to show that internal names are hidden).
    void* symbol(const char* name) const;
};

struct Note {
    uint32_t kind = 0;
    uint32_t tag = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;
    uint16_t usage = 0;
    bool hasUsage = false;
    std::thread::id thread;
};

// Every notification of every registration made with Recorder::callback.
class Recorder {
public:
    static Recorder& get();
    static int callback(const PortmuxNotification* n);
    void clear();
    std::vector<Note> notes();
    std::vector<Note> notes(uint32_t tag, uint32_t kind);
    // Waits until pred(notes) holds; pred runs under the recorder's lock and gets the notes as its argument.
    bool waitUntil(const std::function<bool(const std::vector<Note>&)>& pred,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Runs inside the callback, on the library's thread (for tests that act from the callback).
    void setHook(std::function<void(const PortmuxNotification*)> hook);

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Note> notes_;
    std::function<void(const PortmuxNotification*)> hook_;
};

using Report = std::array<uint8_t, 64>;

// Notes of one tag and kind in a list (for predicates of Recorder::waitUntil, which must not call back
// into the recorder).
size_t countOf(const std::vector<Note>& notes, uint32_t tag, uint32_t kind);

uint32_t checkOf(const UnitId& u, PortmuxCallback cb, uint32_t tag, const uint8_t* payload = nullptr,
                 size_t length = 0);
// A sealed request: byte 0 = 0x04, command, length, address, data from byte 8, checksum in bytes 1-2.
Report request(uint8_t command, uint8_t length = 0, uint16_t address = 0,
               const std::vector<uint8_t>& data = {});
uint16_t addressOf(const Report& r);

// Registers the callback on a collection; answers the handle (0 on failure).
uint32_t registerRead(const UnitId& u, uint32_t tag);
// Sends a report through RequestWriteOne with the right check value.
int writeOne(const Report& r);
// Sends a report and waits for the next CTRL reply (kind 1 on tag CTRL).
std::optional<Report> exchange(const Report& r,
                               std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

} // namespace portmux::test
