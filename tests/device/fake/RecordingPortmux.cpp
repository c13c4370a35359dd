#include "tests/device/fake/RecordingPortmux.h"

#include "portmux/include/portmux.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace {

struct Registration {
    uint32_t handle;
    PortmuxCallback cb;
    uint32_t tag;
    uint16_t usagePage;
};

class Library final : public RecordingPortmux {
public:
    // RECORDING_PORTMUX_COUNT sets the keyboard count at load; RECORDING_PORTMUX_LOG names a file that
    // gets one line per call, for tests that run a program against this library.
    Library() : thread_([this] { run(); }) {
        if (const char* n = std::getenv("RECORDING_PORTMUX_COUNT"); n != nullptr && *n != '\0') {
            count_ = std::atoi(n);
        }
        if (const char* path = std::getenv("RECORDING_PORTMUX_LOG"); path != nullptr && *path != '\0') {
            log_ = std::fopen(path, "w");
        }
    }
    // The library lives as long as the process; its thread ends with it.
    ~Library() {
        {
            std::lock_guard lock(m_);
            stop_ = true;
            wake_.notify_all();
        }
        thread_.join();
    }

    void reset() override {
        waitIdle(2000);
        std::lock_guard lock(m_);
        calls_.clear();
        regs_.clear();
        script_.clear();
        count_ = 1;
        writeResult_ = 1;
    }
    std::vector<RecordedCall> calls() override {
        std::lock_guard lock(m_);
        return calls_;
    }
    void setDeviceCount(int count, bool notify) override {
        std::lock_guard lock(m_);
        count_ = count;
        if (notify) {
            queueLocked(PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET, {}, static_cast<uint32_t>(count), 0);
        }
    }
    void setWriteResult(int result) override {
        std::lock_guard lock(m_);
        writeResult_ = result;
    }
    void scriptReplies(std::vector<std::vector<uint8_t>> replies) override {
        std::lock_guard lock(m_);
        script_.assign(replies.begin(), replies.end());
    }
    void sendControlReport(std::vector<uint8_t> bytes) override {
        std::lock_guard lock(m_);
        uint32_t n = static_cast<uint32_t>(bytes.size());
        queueLocked(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT, std::move(bytes), n, 0);
    }
    void sendConsumer(uint16_t usage) override {
        std::lock_guard lock(m_);
        queueLocked(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT, {0x03, uint8_t(usage), uint8_t(usage >> 8)}, 3,
                    usage);
    }
    bool waitIdle(int timeoutMs) override {
        std::unique_lock lock(m_);
        return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return queue_.empty() && !delivering_; });
    }

    // Entry points.
    void record(RecordedCall entry) {
        std::lock_guard lock(m_);
        if (log_ != nullptr) {
            std::fprintf(log_, "%s %04x %08x%s\n", entry.name.c_str(), entry.usagePage, entry.tag,
                         entry.checkValid ? "" : " bad-check");
            std::fflush(log_);
        }
        calls_.push_back(std::move(entry));
    }
    int count() {
        std::lock_guard lock(m_);
        return count_;
    }
    uint32_t addRegistration(PortmuxCallback cb, uint32_t tag, uint16_t page) {
        std::lock_guard lock(m_);
        uint32_t h = nextHandle_++;
        regs_.push_back({h, cb, tag, page});
        return h;
    }
    int removeRegistration(uint32_t handle) {
        std::lock_guard lock(m_);
        auto it = std::find_if(regs_.begin(), regs_.end(),
                               [&](const Registration& r) { return r.handle == handle; });
        if (it == regs_.end()) {
            return 0;
        }
        regs_.erase(it);
        return 1;
    }
    int writeOne(const uint8_t* report) {
        std::lock_guard lock(m_);
        if (writeResult_ <= 0) {
            return writeResult_;
        }
        std::vector<uint8_t> reply;
        if (!script_.empty()) {
            reply = std::move(script_.front());
            script_.pop_front();
        } else {
            reply.assign(report, report + PORTMUX_REPORT_SIZE);
            reply[7] = 0;
        }
        if (!reply.empty()) {
            uint32_t n = static_cast<uint32_t>(reply.size());
            queueLocked(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT, std::move(reply), n, 0);
        }
        return writeResult_;
    }

private:
    struct Pending {
        uint32_t tag;
        uint32_t kind;
        std::vector<uint8_t> bytes;
        uint32_t count;
        uint16_t usage;
    };

    void queueLocked(uint32_t tag, uint32_t kind, std::vector<uint8_t> bytes, uint32_t count,
                     uint16_t usage) {
        queue_.push_back({tag, kind, std::move(bytes), count, usage});
        wake_.notify_all();
    }

    void run() {
        std::unique_lock lock(m_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            Pending p = std::move(queue_.front());
            queue_.pop_front();
            delivering_ = true;
            std::vector<Registration> targets;
            for (const auto& r : regs_) {
                if (r.tag == p.tag) {
                    targets.push_back(r);
                }
            }
            lock.unlock();
            PortmuxReportRecord report{};
            report.usage = &p.usage;
            PortmuxRequestRecord request{p.tag, p.count, p.bytes.data(), &report};
            PortmuxNotification n{p.kind, 0, &request};
            for (const auto& r : targets) {
                r.cb(&n);
            }
            lock.lock();
            delivering_ = false;
            idle_.notify_all();
        }
    }

    std::mutex m_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<RecordedCall> calls_;
    std::vector<Registration> regs_;
    std::deque<std::vector<uint8_t>> script_;
    std::deque<Pending> queue_;
    bool delivering_ = false;
    bool stop_ = false;
    int count_ = 1;
    int writeResult_ = 1;
    uint32_t nextHandle_ = 1;
    FILE* log_ = nullptr;
    std::thread thread_;
};

Library& lib() {
    static Library* instance = new Library; // never destroyed: callbacks may run until the process ends
    return *instance;
}

RecordedCall call(std::string name, uint16_t page = 0, uint32_t tag = 0, uint32_t handle = 0, bool ok = true,
                  std::vector<uint8_t> payload = {}) {
    return RecordedCall{std::move(name), page, tag, handle, ok, std::move(payload)};
}

bool checkOk(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* payload, size_t n,
             uint32_t check) {
    return u != nullptr && portmuxCheckCall(u, cb, tag, payload, n) == check;
}

} // namespace

extern "C" {

RecordingPortmux* RecordingPortmuxGet(void) {
    return &lib();
}

int Debug(int) {
    lib().record(call("Debug"));
    return 1;
}
int Init(int zero) {
    lib().record(call("Init", 0, static_cast<uint32_t>(zero)));
    return 1;
}
int End(void) {
    lib().record(call("End"));
    return 1;
}
int RequestGetDeviceCount(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t*) {
    bool ok = checkOk(u, cb, tag, nullptr, 0, check);
    lib().record(call("RequestGetDeviceCount", u ? u->usagePage : uint16_t{0}, tag, 0, ok));
    return ok ? lib().count() : 0;
}
int RequestAsyncRead(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle) {
    bool ok = checkOk(u, cb, tag, nullptr, 0, check);
    uint32_t h = ok ? lib().addRegistration(cb, tag, u->usagePage) : 0;
    if (handle != nullptr) {
        *handle = h;
    }
    lib().record(call("RequestAsyncRead", u ? u->usagePage : uint16_t{0}, tag, h, ok));
    return ok ? 1 : 0;
}
int RequestStatusWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* status,
                       uint32_t length, uint32_t check, uint32_t* handle) {
    bool ok = status != nullptr && checkOk(u, cb, tag, status, length, check);
    uint32_t h = ok ? lib().addRegistration(cb, tag, u->usagePage) : 0;
    if (handle != nullptr) {
        *handle = h;
    }
    std::vector<uint8_t> payload;
    if (status != nullptr) {
        payload.assign(status, status + length);
    }
    lib().record(call("RequestStatusWrite", u ? u->usagePage : uint16_t{0}, tag, h, ok, payload));
    return ok ? 1 : 0;
}
int RequestWriteOne(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* report, uint32_t length,
                    uint32_t check, uint32_t*) {
    bool ok =
        report != nullptr && length == PORTMUX_REPORT_SIZE && checkOk(u, cb, tag, report, length, check);
    std::vector<uint8_t> payload;
    if (report != nullptr) {
        payload.assign(report, report + length);
    }
    lib().record(call("RequestWriteOne", u ? u->usagePage : uint16_t{0}, tag, 0, ok, payload));
    return ok ? lib().writeOne(report) : 0;
}
int RequestWrite(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t, uint32_t*) {
    lib().record(call("RequestWrite"));
    return 0;
}
int RequestStatusGet(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*) {
    lib().record(call("RequestStatusGet"));
    return 0;
}
int RequestStatusSetFeature(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                            uint32_t*) {
    lib().record(call("RequestStatusSetFeature"));
    return 0;
}
int DeleteRequestFromUnitId(uint32_t handle) {
    lib().record(call("DeleteRequestFromUnitId", 0, 0, handle));
    return lib().removeRegistration(handle);
}
int DeleteRequestFromHandle(uint32_t handle) {
    lib().record(call("DeleteRequestFromHandle", 0, 0, handle));
    return lib().removeRegistration(handle);
}
}
