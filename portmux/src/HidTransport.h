// The seam between the hid back end and hidapi: enumerate, open, read with a timeout, write, close. The
// back end's logic is tested against a fake transport; HidapiTransport.cpp is the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace portmux::hid {

// One HID collection of a device node, as enumeration reports it.
struct DeviceInfo {
    std::string path; // the node to open (one node may carry several collections)
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    int interfaceNumber = -1;
};

// An open node. read() and write() may run at the same time on two threads; destroying it closes it.
class Connection {
public:
    virtual ~Connection() = default;
    // One input report (with its report id first for numbered reports): > 0 its length, 0 timeout,
    // < 0 the node is gone or broken.
    virtual int read(uint8_t* buffer, size_t capacity, int timeoutMs) = 0;
    // One output report, report id in byte 0: the bytes written, < 0 on failure.
    virtual int write(const uint8_t* data, size_t length) = 0;
};

class Transport {
public:
    virtual ~Transport() = default;
    // The collections of the devices with this vendor and product id.
    virtual std::vector<DeviceInfo> enumerate(uint16_t vendor, uint16_t product) = 0;
    // nullptr when the node cannot be opened.
    virtual std::unique_ptr<Connection> open(const std::string& path) = 0;
    // The node's HID report descriptor; empty when it cannot be read.
    virtual std::vector<uint8_t> reportDescriptor(const std::string& path) = 0;
};

// hidapi (hidraw); nullptr when hidapi cannot start.
std::unique_ptr<Transport> makeHidapiTransport();

} // namespace portmux::hid
