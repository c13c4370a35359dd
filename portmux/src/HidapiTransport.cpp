#include "portmux/src/HidTransport.h"

#include <hidapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace portmux::hid {

namespace {

class HidapiConnection final : public Connection {
public:
    explicit HidapiConnection(hid_device* device) : device_(device) {}
    ~HidapiConnection() override { hid_close(device_); }
    int read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
        return hid_read_timeout(device_, buffer, capacity, timeoutMs);
    }
    int write(const uint8_t* data, size_t length) override { return hid_write(device_, data, length); }

private:
    hid_device* device_;
};

class HidapiTransport final : public Transport {
public:
    std::vector<DeviceInfo> enumerate(uint16_t vendor, uint16_t product) override {
        // hid_enumerate is not documented as thread-safe; the back end calls it from one thread, the
        // lock keeps it so should a second transport ever be made.
        std::lock_guard lock(enumerateLock());
        std::vector<DeviceInfo> out;
        hid_device_info* list = hid_enumerate(vendor, product);
        for (hid_device_info* d = list; d; d = d->next) {
            DeviceInfo info;
            info.path = d->path ? d->path : "";
            info.vendor = d->vendor_id;
            info.product = d->product_id;
            info.usagePage = d->usage_page;
            info.usage = d->usage;
            info.interfaceNumber = d->interface_number;
            out.push_back(std::move(info));
        }
        hid_free_enumeration(list);
        return out;
    }
    std::unique_ptr<Connection> open(const std::string& path) override {
        hid_device* device = hid_open_path(path.c_str());
        if (!device) {
            return nullptr;
        }
        return std::make_unique<HidapiConnection>(device);
    }
    std::vector<uint8_t> reportDescriptor(const std::string& path) override {
        // hidraw publishes each node's descriptor in sysfs (/dev/hidrawN -> /sys/class/hidraw/hidrawN).
        const std::string node = std::filesystem::path(path).filename().string();
        if (node.rfind("hidraw", 0) != 0) {
            return {};
        }
        std::ifstream in("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
        std::vector<uint8_t> out(4097);
        in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        out.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        return out; // more than 4096 bytes is no HID descriptor: the parser refuses it
    }

private:
    static std::mutex& enumerateLock() {
        static std::mutex m;
        return m;
    }
};

} // namespace

std::unique_ptr<Transport> makeHidapiTransport() {
    // hid_init once for the process; hid_exit is never called (the library may be initialised again).
    static const int initialised = hid_init();
    if (initialised != 0) {
        return nullptr;
    }
    return std::make_unique<HidapiTransport>();
}

} // namespace portmux::hid
