// The hid back end's logic against a fake transport, inside a Core as the exported functions use it:
// matching collections, counting keyboards as they come and go, routing input reports, writes.
#include "portmux/src/HidBackend.h"
#include "portmux/src/Core.h"
#include "tests/portmux/FakeTransport.h"
#include "tests/portmux/PortmuxLib.h"

#include <gtest/gtest.h>

namespace portmux::test {
namespace {

using namespace std::chrono_literals;

// Polls a condition that no notification announces (bounded).
bool eventually(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class PortmuxHid : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::get().setHook(nullptr);
        Recorder::get().clear();
    }
    void TearDown() override { core.end(); }

    void start() {
        auto backend = std::make_unique<hid::HidBackend>(std::make_unique<FakeTransport>(fake),
                                                         hid::HidOptions{10ms, 5});
        hidBackend = backend.get();
        ASSERT_EQ(core.init(std::move(backend)), 1);
        ctrl = reg(kConfigUnit, PORTMUX_TAG_CTRL);
        cons = reg(kConsumerUnit, PORTMUX_TAG_CONS);
        ASSERT_NE(ctrl, 0u);
        ASSERT_NE(cons, 0u);
    }
    uint32_t reg(const UnitId& u, uint32_t tag) {
        uint32_t handle = 0;
        return core.asyncRead(&u, &Recorder::callback, tag, checkOf(u, &Recorder::callback, tag), &handle) > 0
                   ? handle
                   : 0;
    }
    int count() {
        const UnitId u = kConfigUnit;
        return core.getDeviceCount(&u, nullptr, 0, checkOf(u, nullptr, 0), nullptr);
    }
    int write(const Report& r) {
        const UnitId u = kConfigUnit;
        return core.writeOne(&u, nullptr, 0, r.data(), 64, checkOf(u, nullptr, 0, r.data(), 64), nullptr);
    }
    int status(uint8_t mode) {
        const UnitId u = kStatusUnit;
        const uint8_t s[2] = {0x05, mode};
        uint32_t handle = 0;
        return core.statusWrite(&u, &Recorder::callback, PORTMUX_TAG_LED, s, 2,
                                checkOf(u, &Recorder::callback, PORTMUX_TAG_LED, s, 2), &handle);
    }
    std::vector<uint32_t> counts() {
        std::vector<uint32_t> out;
        for (const auto& n : Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET)) {
            out.push_back(n.count);
        }
        return out;
    }
    bool waitForCounts(size_t n) {
        return Recorder::get().waitUntil([&](const std::vector<Note>& notes) {
            return countOf(notes, PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET) >= n;
        });
    }
    bool waitForReports(uint32_t tag, size_t n) {
        return Recorder::get().waitUntil(
            [&](const std::vector<Note>& notes) { return countOf(notes, tag, PORTMUX_KIND_REPORT) >= n; });
    }
    // Lets the poll thread run a few rounds and every notification arrive.
    void settle() {
        hidBackend->rescan();
        std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(core.dispatcher()->waitIdle(2000ms));
    }

    std::shared_ptr<FakeHid> fake = std::make_shared<FakeHid>();
    Core core;
    hid::HidBackend* hidBackend = nullptr;
    uint32_t ctrl = 0;
    uint32_t cons = 0;
};

TEST_F(PortmuxHid, MatchesCollectionsByUsagePageAndUsage) {
    fake->addKeyboard("/fake/k1");
    fake->add({"/fake/k1-keys", 0x0C45, 0x8508, 0x0001, 0x0006, 0});      // the keyboard's typing collection
    fake->add({"/fake/k1-vendor", 0x0C45, 0x8508, 0xFF1C, 0x0093, 3});    // another usage of the page
    fake->add({"/fake/other-vendor", 0x1234, 0x8508, 0xFF1C, 0x0092, 1}); // someone else's device
    fake->add({"/fake/other-product", 0x0C45, 0x8509, 0xFF1C, 0x0092, 1});
    start();
    EXPECT_EQ(count(), 1);
    auto opened = fake->openedPaths();
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (std::vector<std::string>{"/fake/k1-cfg", "/fake/k1-cons", "/fake/k1-led"}));
    settle();
    EXPECT_TRUE(counts().empty()) << "the count found at start is not a change";
    EXPECT_EQ(fake->opens("/fake/k1-cfg"), 1) << "polling does not reopen a node";
}

TEST_F(PortmuxHid, CountsKeyboardsAsTheyComeAndGo) {
    start();
    EXPECT_EQ(count(), 0);
    fake->addKeyboard("/fake/k1");
    ASSERT_TRUE(waitForCounts(1));
    EXPECT_EQ(count(), 1);
    fake->addKeyboard("/fake/k2");
    ASSERT_TRUE(waitForCounts(2));
    fake->removePrefix("/fake/k1");
    ASSERT_TRUE(waitForCounts(3));
    fake->removePrefix("/fake/k2");
    ASSERT_TRUE(waitForCounts(4));
    settle();
    EXPECT_EQ(counts(), (std::vector<uint32_t>{1, 2, 1, 0}));
    EXPECT_EQ(count(), 0);
    EXPECT_TRUE(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_DEVICE_SET).empty());
    EXPECT_EQ(fake->openConnections(), 0) << "nodes of keyboards that left are closed";
}

TEST_F(PortmuxHid, AConsumerNodeAloneIsNoKeyboard) {
    fake->add({"/fake/c", 0x0C45, 0x8508, 0x000C, 0x0001, 2});
    start();
    EXPECT_EQ(count(), 0);
    fake->push("/fake/c", {0x03, 0x11, 0x18});
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CONS, 1));
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT)[0].usage, 0x1811);
}

TEST_F(PortmuxHid, RoutesInputReportsToTheirRegistrations) {
    fake->addKeyboard("/fake/k1");
    start();
    Report reply = request(0x03, 44);
    reply[7] = 0;
    fake->push("/fake/k1-cfg", std::vector<uint8_t>(reply.begin(), reply.end()));
    fake->push("/fake/k1-cons", {0x03, 0xFF, 0x02});
    fake->push("/fake/k1-cons", {0x03, 0x01, 0x04});
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CTRL, 1));
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CONS, 2));
    settle();
    const auto ctrlNotes = Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT);
    ASSERT_EQ(ctrlNotes.size(), 1u);
    EXPECT_EQ(ctrlNotes[0].count, 64u);
    EXPECT_EQ(ctrlNotes[0].bytes, std::vector<uint8_t>(reply.begin(), reply.end()));
    const auto consNotes = Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT);
    ASSERT_EQ(consNotes.size(), 2u);
    EXPECT_EQ(consNotes[0].usage, 0x02FF);
    EXPECT_EQ(consNotes[0].count, 3u);
    EXPECT_EQ(consNotes[1].usage, 0x0401);
    for (const auto& n : Recorder::get().notes()) {
        EXPECT_NE(n.thread, std::this_thread::get_id());
    }
}

TEST_F(PortmuxHid, ANodeWithBothCollectionsIsOpenedOnceAndSplitByReportId) {
    fake->add({"/fake/both", 0x0C45, 0x8508, 0xFF1C, 0x0092, 1});
    fake->add({"/fake/both", 0x0C45, 0x8508, 0x000C, 0x0001, 1});
    start();
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(fake->opens("/fake/both"), 1);
    Report reply = request(0x05, 56);
    fake->push("/fake/both", std::vector<uint8_t>(reply.begin(), reply.end()));
    fake->push("/fake/both", {0x03, 0x10, 0x18});
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CTRL, 1));
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CONS, 1));
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT)[0].bytes[3], 0x05);
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT)[0].usage, 0x1810);
}

TEST_F(PortmuxHid, WritesGoToTheFirstKeyboardsNodes) {
    fake->addKeyboard("/fake/k2");
    fake->addKeyboard("/fake/k1");
    start();
    EXPECT_EQ(count(), 2);
    const Report r = request(0x03, 44);
    ASSERT_EQ(write(r), 1);
    ASSERT_GT(status(0x03), 0);
    const auto writes = fake->writes("/fake/k1-cfg");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], std::vector<uint8_t>(r.begin(), r.end())) << "the 64 bytes, report id 0x04 first";
    EXPECT_EQ(fake->writes("/fake/k1-led"), (std::vector<std::vector<uint8_t>>{{0x05, 0x03}}));
    EXPECT_TRUE(fake->writes("/fake/k2-cfg").empty());
    EXPECT_TRUE(fake->writes("/fake/k1-cons").empty());
}

TEST_F(PortmuxHid, WritesFailWithoutAKeyboardOrWhenTheNodeRefuses) {
    start();
    EXPECT_EQ(write(request(0x03, 44)), 0);
    EXPECT_EQ(status(0x02), 0);
    fake->addKeyboard("/fake/k1");
    ASSERT_TRUE(waitForCounts(1));
    fake->setFailWrites("/fake/k1-cfg", true);
    EXPECT_EQ(write(request(0x03, 44)), 0);
    fake->setFailWrites("/fake/k1-cfg", false);
    EXPECT_EQ(write(request(0x03, 44)), 1);
    // The check value is verified before anything is written.
    const UnitId u = kConfigUnit;
    const Report r = request(0x03, 44);
    EXPECT_EQ(core.writeOne(&u, nullptr, 0, r.data(), 64, checkOf(u, nullptr, 0, r.data(), 64) + 1, nullptr),
              0);
    EXPECT_EQ(fake->writes("/fake/k1-cfg").size(), 1u);
}

TEST_F(PortmuxHid, ANodeThatCannotBeOpenedIsNotCounted) {
    fake->setFailOpen("/fake/k1-cfg", true);
    fake->addKeyboard("/fake/k1");
    start();
    EXPECT_EQ(count(), 0);
    fake->setFailOpen("/fake/k1-cfg", false);
    ASSERT_TRUE(waitForCounts(1));
    EXPECT_EQ(counts(), (std::vector<uint32_t>{1}));
}

TEST_F(PortmuxHid, ABrokenNodeIsReopened) {
    fake->addKeyboard("/fake/k1");
    start();
    fake->breakNode("/fake/k1-cfg");
    ASSERT_TRUE(eventually([&] { return fake->opens("/fake/k1-cfg") == 2; }));
    settle();
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(counts().empty()) << "reopened in the same scan: the count never changed";
    Report reply = request(0x03, 44);
    fake->push("/fake/k1-cfg", std::vector<uint8_t>(reply.begin(), reply.end()));
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CTRL, 1));
}

TEST_F(PortmuxHid, EndClosesEveryNodeAndStopsReporting) {
    fake->addKeyboard("/fake/k1");
    start();
    EXPECT_EQ(fake->openConnections(), 3);
    ASSERT_EQ(core.end(), 1);
    EXPECT_EQ(fake->openConnections(), 0);
    fake->addKeyboard("/fake/k2");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(counts().empty());
    EXPECT_EQ(count(), 0);
}

// A keyboard interface as such keyboards have one: typing (report 1, 16 bytes), system control (report 2,
// 1 byte) and consumer control (report 3, one 16-bit code) on one node.
const std::vector<uint8_t> kKeyboardInterface = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25,
    0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x19, 0x00, 0x29, 0x77, 0x95, 0x78, 0x81, 0x02, 0xC0, 0x05,
    0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
    0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,
    0x15, 0x00, 0x26, 0xFF, 0x1F, 0x19, 0x00, 0x2A, 0xFF, 0x1F, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
};

// Typing with byte 1-2 = FF 02: read blindly as a consumer code, that would be the layer key 0x02FF.
std::vector<uint8_t> typingReport() {
    std::vector<uint8_t> r(17, 0);
    r[0] = 0x01;
    r[1] = 0xFF;
    r[2] = 0x02;
    return r;
}

TEST_F(PortmuxHid, OnlyTheConsumerCollectionsReportsAreConsumerCodes) {
    fake->addKeyboard("/fake/k1");
    fake->setDescriptor("/fake/k1-cons", kKeyboardInterface);
    start();
    fake->push("/fake/k1-cons", typingReport());
    fake->push("/fake/k1-cons", {0x01, 0xFF, 0x02});       // report 1, but as short as a consumer report
    fake->push("/fake/k1-cons", {0x02, 0x01});             // system control
    fake->push("/fake/k1-cons", {0x03, 0x01, 0x04, 0x00}); // report 3, one byte too long
    fake->push("/fake/k1-cons", {0x03, 0x01, 0x04});
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CONS, 1));
    settle();
    const auto notes = Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].usage, 0x0401);
    EXPECT_TRUE(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).empty());
}

TEST_F(PortmuxHid, ANodeWithBothCollectionsDropsItsOtherReports) {
    fake->add({"/fake/both", 0x0C45, 0x8508, 0xFF1C, 0x0092, 1});
    fake->add({"/fake/both", 0x0C45, 0x8508, 0x000C, 0x0001, 1});
    fake->setDescriptor("/fake/both", kKeyboardInterface);
    start();
    fake->push("/fake/both", typingReport());
    Report reply = request(0x03, 44);
    fake->push("/fake/both", std::vector<uint8_t>(reply.begin(), reply.end()));
    fake->push("/fake/both", {0x03, 0xFF, 0x02});
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CTRL, 1));
    ASSERT_TRUE(waitForReports(PORTMUX_TAG_CONS, 1));
    settle();
    ASSERT_EQ(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).size(), 1u);
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT)[0].bytes[3], 0x03);
    ASSERT_EQ(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT).size(), 1u);
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT)[0].usage, 0x02FF);
}

TEST(PortmuxHidRouting, RouteAndUsageOfInputReports) {
    const auto described = hid::ConsumerReports::fromDescriptor(kKeyboardInterface);
    const hid::ConsumerReports undescribed; // no descriptor could be read: {id, low, high} only
    // Consumer control without report ids, one 8-bit code.
    const auto noIds = hid::ConsumerReports::fromDescriptor(
        std::vector<uint8_t>{0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00, 0xC0});
    ASSERT_TRUE(described.described());
    ASSERT_TRUE(noIds.described());
    struct Case {
        const hid::ConsumerReports* reports;
        bool config;
        bool consumer;
        std::vector<uint8_t> report;
        hid::Route route;
        uint16_t usage;
    };
    const Case cases[] = {
        {&undescribed, true, false, {0x05, 0x01}, hid::Route::Control, 0},
        {&undescribed, false, true, {0x04, 0xFF, 0x02}, hid::Route::Consumer, 0x02FF},
        {&undescribed, true, true, {0x04, 0x00}, hid::Route::Control, 0},
        {&undescribed, true, true, {0x03, 0x11, 0x18}, hid::Route::Consumer, 0x1811},
        {&undescribed, false, true, {0xFF, 0x02}, hid::Route::Ignore, 0},
        {&undescribed, false, true, {0x7A}, hid::Route::Ignore, 0},
        {&undescribed, false, true, typingReport(), hid::Route::Ignore, 0},
        {&undescribed, true, true, {}, hid::Route::Ignore, 0},
        {&described, false, true, {0x03, 0xFF, 0x02}, hid::Route::Consumer, 0x02FF},
        {&described, false, true, {0x01, 0xFF, 0x02}, hid::Route::Ignore, 0},
        {&described, false, true, typingReport(), hid::Route::Ignore, 0},
        {&described, false, true, {0x02, 0x01}, hid::Route::Ignore, 0},
        {&described, true, true, {0x04, 0x00}, hid::Route::Control, 0},
        {&described, true, true, typingReport(), hid::Route::Ignore, 0},
        {&noIds, false, true, {0xE9}, hid::Route::Consumer, 0x00E9},
        {&noIds, false, true, {0x03, 0xE9}, hid::Route::Ignore, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(hid::routeOf(c.config, c.consumer, *c.reports, c.report.data(), c.report.size()), c.route);
        if (c.route == hid::Route::Consumer) {
            EXPECT_EQ(c.reports->usageOf(c.report.data(), c.report.size()), c.usage);
        }
    }
}

TEST(PortmuxHidDescriptor, InputReportsOfEachTopLevelCollection) {
    const auto reports = hid::inputReportsOf(kKeyboardInterface);
    ASSERT_TRUE(reports.has_value());
    EXPECT_EQ(*reports, (std::vector<hid::InputReport>{
                            {0x0001, 0x0006, 1, 128}, {0x0001, 0x0080, 2, 8}, {0x000C, 0x0001, 3, 16}}));
    // A 4-byte usage names its own page; Push and Pop keep the globals.
    const std::vector<uint8_t> extended = {0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0x85, 0x07, 0x75, 0x08,
                                           0x95, 0x02, 0xA4, 0x75, 0x20, 0x95, 0x01, 0xB4, 0x81, 0x00, 0xC0};
    EXPECT_EQ(hid::inputReportsOf(extended), (std::vector<hid::InputReport>{{0x000C, 0x0001, 7, 16}}));
}

TEST(PortmuxHidDescriptor, MalformedDescriptorsAreRefused) {
    std::vector<uint8_t> deep;
    for (int i = 0; i < 33; ++i) {
        deep.insert(deep.end(), {0xA1, 0x01});
    }
    std::vector<uint8_t> pushes;
    for (int i = 0; i < 17; ++i) {
        pushes.push_back(0xA4);
    }
    const std::vector<std::vector<uint8_t>> cases = {
        {0x05},                   // item data past the end
        {0x27, 0xFF, 0xFF},       // a 4-byte item with 2 bytes
        {0xC0},                   // End Collection without a collection
        {0xA1, 0x01},             // a collection never closed
        {0x85, 0x00},             // report id 0
        {0xB4},                   // Pop without Push
        {0xFE, 0x05, 0x00, 0x01}, // long item past the end
        {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x00, 0xC0}, // huge
        std::vector<uint8_t>(4097, 0x00), // longer than any descriptor
        deep,
        pushes,
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(hid::inputReportsOf(cases[i]).has_value());
        EXPECT_FALSE(hid::ConsumerReports::fromDescriptor(cases[i]).described());
    }
}

} // namespace
} // namespace portmux::test
