#include "tests/portmux/PortmuxLib.h"
#include "tests/support/SimLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>

namespace portmux::test {

namespace {

template <typename F> void resolve(void* h, F& fn, const char* name) {
    fn = reinterpret_cast<F>(dlsym(h, name));
    if (!fn) {
        std::fprintf(stderr, "libportmux.so lacks %s\n", name);
        std::abort();
    }
}

} // namespace

Lib& Lib::get() {
    static Lib* lib = [] {
        auto* l = new Lib;
        // The test environment normally comes from CTest; the defaults keep a direct run of the test
        // program on the virtual keyboard and away from any state file.
        ::setenv("PORTMUX_BACKEND", "sim", 0);
        ::setenv("PORTMUX_SIM_STATE", "", 0);
        const std::string path = tarvik::testsupport::programFolder() + "/libportmux.so";
        l->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!l->handle) {
            std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
            std::abort();
        }
        resolve(l->handle, l->Init, "Init");
        resolve(l->handle, l->Debug, "Debug");
        resolve(l->handle, l->End, "End");
        resolve(l->handle, l->RequestGetDeviceCount, "RequestGetDeviceCount");
        resolve(l->handle, l->RequestAsyncRead, "RequestAsyncRead");
        resolve(l->handle, l->RequestStatusWrite, "RequestStatusWrite");
        resolve(l->handle, l->RequestWriteOne, "RequestWriteOne");
        resolve(l->handle, l->RequestWrite, "RequestWrite");
        resolve(l->handle, l->RequestStatusGet, "RequestStatusGet");
        resolve(l->handle, l->RequestStatusSetFeature, "RequestStatusSetFeature");
        resolve(l->handle, l->DeleteRequestFromUnitId, "DeleteRequestFromUnitId");
        resolve(l->handle, l->DeleteRequestFromHandle, "DeleteRequestFromHandle");
        resolve(l->handle, l->SimControlGet, "PortmuxSimControlGet");
        l->initResult = l->Init(0);
        return l;
    }();
    return *lib;
}

void* Lib::symbol(const char* name) const {
    return dlsym(handle, name);
}

Recorder& Recorder::get() {
    static Recorder* r = new Recorder;
    return *r;
}

int Recorder::callback(const PortmuxNotification* n) {
    Recorder& r = get();
    Note note;
    note.kind = n->kind;
    note.thread = std::this_thread::get_id();
    if (n->request) {
        note.tag = n->request->tag;
        note.count = n->request->count;
        if (n->kind == PORTMUX_KIND_REPORT && n->request->data) {
            note.bytes.assign(n->request->data, n->request->data + n->request->count);
        }
        if (n->kind == PORTMUX_KIND_REPORT && n->request->report && n->request->report->usage) {
            note.usage = *n->request->report->usage;
            note.hasUsage = true;
        }
    }
    std::function<void(const PortmuxNotification*)> hook;
    {
        std::lock_guard lock(r.m_);
        r.notes_.push_back(std::move(note));
        hook = r.hook_;
    }
    if (hook) {
        hook(n);
    }
    r.cv_.notify_all();
    return 1;
}

void Recorder::clear() {
    std::lock_guard lock(m_);
    notes_.clear();
}

std::vector<Note> Recorder::notes() {
    std::lock_guard lock(m_);
    return notes_;
}

std::vector<Note> Recorder::notes(uint32_t tag, uint32_t kind) {
    std::lock_guard lock(m_);
    std::vector<Note> out;
    for (const auto& n : notes_) {
        if (n.tag == tag && n.kind == kind) {
            out.push_back(n);
        }
    }
    return out;
}

bool Recorder::waitUntil(const std::function<bool(const std::vector<Note>&)>& pred,
                         std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return pred(notes_); });
}

void Recorder::setHook(std::function<void(const PortmuxNotification*)> hook) {
    std::lock_guard lock(m_);
    hook_ = std::move(hook);
}

size_t countOf(const std::vector<Note>& notes, uint32_t tag, uint32_t kind) {
    size_t n = 0;
    for (const auto& note : notes) {
        n += note.tag == tag && note.kind == kind ? 1 : 0;
    }
    return n;
}

uint32_t checkOf(const UnitId& u, PortmuxCallback cb, uint32_t tag, const uint8_t* payload, size_t length) {
    return portmuxCheckCall(&u, cb, tag, payload, length);
}

Report request(uint8_t command, uint8_t length, uint16_t address, const std::vector<uint8_t>& data) {
    Report r{};
    r[0] = 0x04;
    r[3] = command;
    r[4] = length;
    r[5] = static_cast<uint8_t>(address & 0xFF);
    r[6] = static_cast<uint8_t>(address >> 8);
    for (size_t i = 0; i < data.size() && 8 + i < r.size(); ++i) {
        r[8 + i] = data[i];
    }
    uint32_t sum = 0;
    for (size_t i = 3; i < r.size(); ++i) {
        sum += r[i];
    }
    r[1] = static_cast<uint8_t>(sum & 0xFF);
    r[2] = static_cast<uint8_t>((sum >> 8) & 0xFF);
    return r;
}

uint16_t addressOf(const Report& r) {
    return static_cast<uint16_t>(r[5] | (r[6] << 8));
}

uint32_t registerRead(const UnitId& u, uint32_t tag) {
    uint32_t handle = 0;
    const int ok = Lib::get().RequestAsyncRead(&u, &Recorder::callback, tag,
                                               checkOf(u, &Recorder::callback, tag), &handle);
    return ok > 0 ? handle : 0;
}

int writeOne(const Report& r) {
    const UnitId u = kConfigUnit;
    return Lib::get().RequestWriteOne(&u, nullptr, 0, r.data(), 64, checkOf(u, nullptr, 0, r.data(), 64),
                                      nullptr);
}

std::optional<Report> exchange(const Report& r, std::chrono::milliseconds timeout) {
    const size_t before = Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).size();
    if (writeOne(r) <= 0) {
        return std::nullopt;
    }
    std::optional<Report> reply;
    Recorder::get().waitUntil(
        [&](const std::vector<Note>& notes) {
            size_t seen = 0;
            for (const auto& n : notes) {
                if (n.tag == PORTMUX_TAG_CTRL && n.kind == PORTMUX_KIND_REPORT && seen++ == before) {
                    Report out{};
                    for (size_t i = 0; i < out.size() && i < n.bytes.size(); ++i) {
                        out[i] = n.bytes[i];
                    }
                    reply = out;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return reply;
}

} // namespace portmux::test
