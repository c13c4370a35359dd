// A scripted stand-in for hidapi: devices are added and removed by the test, input reports are pushed
// into a node, writes are recorded. No test reaches a real /dev/hidraw node.
#pragma once

#include "portmux/src/HidTransport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace portmux::test {

class FakeHid {
public:
    struct Node {
        std::deque<std::vector<uint8_t>> input;
        std::vector<std::vector<uint8_t>> writes;
        int generation = 0; // a connection of an older generation is broken
        int opens = 0;
        int openConnections = 0;
        bool failOpen = false;
        bool failWrites = false;
        std::vector<uint8_t> descriptor; // empty: the node's descriptor cannot be read
    };

    void add(const hid::DeviceInfo& info) {
        std::lock_guard lock(m);
        devices.push_back(info);
    }
    // A keyboard with its three collections on three nodes: prefix-cfg, prefix-cons, prefix-led.
    void addKeyboard(const std::string& prefix) {
        add({prefix + "-cfg", 0x0C45, 0x8508, 0xFF1C, 0x0092, 1});
        add({prefix + "-cons", 0x0C45, 0x8508, 0x000C, 0x0001, 2});
        add({prefix + "-led", 0x0C45, 0x8508, 0x0008, 0x0089, 0});
    }
    void removePrefix(const std::string& prefix) {
        std::lock_guard lock(m);
        std::erase_if(devices, [&](const hid::DeviceInfo& d) { return d.path.rfind(prefix, 0) == 0; });
        for (auto& [path, node] : nodes) {
            if (path.rfind(prefix, 0) == 0) {
                ++node.generation;
            }
        }
        cv.notify_all();
    }
    // Reads of the node's open connections fail from now on (the node stays enumerated).
    void breakNode(const std::string& path) {
        std::lock_guard lock(m);
        ++nodes[path].generation;
        cv.notify_all();
    }
    void push(const std::string& path, std::vector<uint8_t> bytes) {
        std::lock_guard lock(m);
        nodes[path].input.push_back(std::move(bytes));
        cv.notify_all();
    }
    std::vector<std::vector<uint8_t>> writes(const std::string& path) {
        std::lock_guard lock(m);
        return nodes[path].writes;
    }
    int opens(const std::string& path) {
        std::lock_guard lock(m);
        return nodes[path].opens;
    }
    int openConnections() {
        std::lock_guard lock(m);
        int n = 0;
        for (const auto& [path, node] : nodes) {
            n += node.openConnections;
        }
        return n;
    }
    std::vector<std::string> openedPaths() {
        std::lock_guard lock(m);
        return opened;
    }
    void setFailOpen(const std::string& path, bool fail) {
        std::lock_guard lock(m);
        nodes[path].failOpen = fail;
    }
    void setFailWrites(const std::string& path, bool fail) {
        std::lock_guard lock(m);
        nodes[path].failWrites = fail;
    }
    void setDescriptor(const std::string& path, std::vector<uint8_t> descriptor) {
        std::lock_guard lock(m);
        nodes[path].descriptor = std::move(descriptor);
    }

    std::mutex m;
    std::condition_variable cv;
    std::vector<hid::DeviceInfo> devices;
    std::map<std::string, Node> nodes;
    std::vector<std::string> opened;
};

class FakeConnection final : public hid::Connection {
public:
    FakeConnection(std::shared_ptr<FakeHid> hid, std::string path, int generation)
        : hid_(std::move(hid)), path_(std::move(path)), generation_(generation) {}
    ~FakeConnection() override {
        std::lock_guard lock(hid_->m);
        --hid_->nodes[path_].openConnections;
    }
    int read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
        std::unique_lock lock(hid_->m);
        auto& node = hid_->nodes[path_];
        hid_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return node.generation != generation_ || !node.input.empty(); });
        if (node.generation != generation_) {
            return -1;
        }
        if (node.input.empty()) {
            return 0;
        }
        std::vector<uint8_t> report = std::move(node.input.front());
        node.input.pop_front();
        const size_t n = std::min(capacity, report.size());
        std::copy_n(report.begin(), n, buffer);
        return static_cast<int>(n);
    }
    int write(const uint8_t* data, size_t length) override {
        std::lock_guard lock(hid_->m);
        auto& node = hid_->nodes[path_];
        if (node.generation != generation_ || node.failWrites) {
            return -1;
        }
        node.writes.emplace_back(data, data + length);
        return static_cast<int>(length);
    }

private:
    std::shared_ptr<FakeHid> hid_;
    std::string path_;
    int generation_;
};

class FakeTransport final : public hid::Transport {
public:
    explicit FakeTransport(std::shared_ptr<FakeHid> hid) : hid_(std::move(hid)) {}
    // Like hidapi, enumeration is asked for one vendor and product; the fake returns every device it
    // has, so the back end's own matching is what is tested.
    std::vector<hid::DeviceInfo> enumerate(uint16_t, uint16_t) override {
        std::lock_guard lock(hid_->m);
        return hid_->devices;
    }
    std::unique_ptr<hid::Connection> open(const std::string& path) override {
        if (path.rfind("/dev/hidraw", 0) == 0) {
            ADD_FAILURE() << "a test tried to open a real device: " << path;
            return nullptr;
        }
        std::lock_guard lock(hid_->m);
        hid_->opened.push_back(path);
        auto& node = hid_->nodes[path];
        const bool listed = std::any_of(hid_->devices.begin(), hid_->devices.end(),
                                        [&](const hid::DeviceInfo& d) { return d.path == path; });
        if (!listed || node.failOpen) {
            return nullptr;
        }
        ++node.opens;
        ++node.openConnections;
        return std::make_unique<FakeConnection>(hid_, path, node.generation);
    }
    std::vector<uint8_t> reportDescriptor(const std::string& path) override {
        std::lock_guard lock(hid_->m);
        return hid_->nodes[path].descriptor;
    }

private:
    std::shared_ptr<FakeHid> hid_;
};

} // namespace portmux::test
