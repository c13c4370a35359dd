// A recording service library for the link tests: it logs every entry-point call with its arguments
// and whether the check value was right, and answers reports from a script. Notifications go out on
// its own thread, like the real library's. Tests reach it through RecordingPortmuxGet().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecordedCall {
    std::string name;
    uint16_t usagePage = 0; // of the UnitId, 0 when the call has none
    uint32_t tag = 0;
    uint32_t handle = 0; // DeleteRequestFromUnitId: the handle given; registrations: the handle stored
    bool checkValid = true;
    std::vector<uint8_t> payload;
};

class RecordingPortmux {
public:
    // No registrations, no calls, one keyboard, writes accepted, every report echoed.
    virtual void reset() = 0;
    virtual std::vector<RecordedCall> calls() = 0;
    // Sets the keyboard count (RequestGetDeviceCount); notify: also tell the CTRL registrations.
    virtual void setDeviceCount(int count, bool notify) = 0;
    // What RequestWriteOne answers.
    virtual void setWriteResult(int result) = 0;
    // The answers to the next reports, in order: each entry is the received bytes of one CTRL report.
    // An empty entry means no answer. Once the script is used up every report is echoed: its own 64
    // bytes with status 0 in byte 7.
    virtual void scriptReplies(std::vector<std::vector<uint8_t>> replies) = 0;
    // A CTRL report nobody asked for, and a consumer-control code.
    virtual void sendControlReport(std::vector<uint8_t> bytes) = 0;
    virtual void sendConsumer(uint16_t usage) = 0;
    // Waits until every queued notification has been delivered.
    virtual bool waitIdle(int timeoutMs) = 0;

protected:
    ~RecordingPortmux() = default;
};

extern "C" RecordingPortmux* RecordingPortmuxGet(void);
using RecordingPortmuxGetFn = RecordingPortmux* (*)();
