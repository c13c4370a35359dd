// The C contract of libportmux.so as the program sees it: check values, registrations, handles,
// notification threads and order, the entry points the program never calls, End and Init again.
#include "tests/portmux/SimFixture.h"

#include <atomic>
#include <string>

namespace portmux::test {
namespace {

class PortmuxContract : public SimLibTest {};

int otherCallback(const PortmuxNotification* n) {
    return Recorder::callback(n);
}

TEST_F(PortmuxContract, InitIsReadyAndRepeatable) {
    EXPECT_GT(lib->initResult, 0);
    EXPECT_GT(lib->Init(0), 0) << "a second Init keeps the library ready";
    EXPECT_NE(lib->sim(), nullptr);
}

TEST_F(PortmuxContract, OnlyTheContractIsExported) {
    for (const char* name :
         {"Init", "Debug", "End", "RequestGetDeviceCount", "DeleteRequestFromUnitId",
          "DeleteRequestFromHandle", "RequestWrite", "RequestWriteOne", "RequestStatusWrite",
          "RequestStatusGet", "RequestAsyncRead", "RequestStatusSetFeature", "PortmuxSimControlGet"}) {
        EXPECT_NE(lib->symbol(name), nullptr) << name;
    }
    // Internal names stay hidden, the inline helpers of the header are not symbols of the library.
    for (const char* name : {"portmuxCheckCall", "portmuxCheckTable", "_ZN7portmux4CoreC1Ev",
                             "_ZN7portmux4Core3endEv", "_ZN7portmux3sim12factoryFlashEv"}) {
        EXPECT_EQ(lib->symbol(name), nullptr) << name;
    }
}

TEST_F(PortmuxContract, CheckTableIsTheAgreedPermutation) {
    std::array<bool, 256> seen{};
    for (unsigned b = 0; b < 256; ++b) {
        EXPECT_EQ(portmuxCheckTable[b], static_cast<uint8_t>((167 * b + 13) % 256));
        seen[portmuxCheckTable[b]] = true;
    }
    for (bool s : seen) {
        EXPECT_TRUE(s);
    }
    // The check of a write: UnitId, 8 zero bytes of the null callback, 4 zero bytes of tag 0, the report.
    const UnitId u = kConfigUnit;
    const Report r = request(sim::kReadConfig, 44);
    uint32_t sum = checkValue({std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&u), sizeof u)});
    sum += 12u * portmuxCheckTable[0];
    sum = portmuxCheckAdd(sum, r.data(), r.size());
    EXPECT_EQ(checkOf(u, nullptr, 0, r.data(), r.size()), sum);
}

TEST_F(PortmuxContract, WrongCheckValuesAreRefused) {
    const UnitId cfg = kConfigUnit;
    const UnitId stat = kStatusUnit;
    const Report r = request(sim::kReadConfig, 44);
    const uint8_t status[2] = {0x05, 0x02};
    const uint32_t goodCount = checkOf(cfg, nullptr, 0);
    const uint32_t goodRead = checkOf(cfg, &Recorder::callback, 0x1234);
    const uint32_t goodStatus = checkOf(stat, &Recorder::callback, PORTMUX_TAG_LED, status, 2);
    const uint32_t goodWrite = checkOf(cfg, nullptr, 0, r.data(), 64);
    for (uint32_t delta : {1u, 0xFFFFFFFFu, 0x100u, 0x80000000u}) {
        SCOPED_TRACE(delta);
        EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, goodCount + delta, nullptr), 0);
        uint32_t handle = 0xDEADBEEF;
        EXPECT_EQ(lib->RequestAsyncRead(&cfg, &Recorder::callback, 0x1234, goodRead + delta, &handle), 0);
        EXPECT_EQ(handle, 0xDEADBEEFu) << "no handle for a refused registration";
        handle = 0xDEADBEEF;
        EXPECT_EQ(lib->RequestStatusWrite(&stat, &Recorder::callback, PORTMUX_TAG_LED, status, 2,
                                          goodStatus + delta, &handle),
                  0);
        EXPECT_EQ(handle, 0xDEADBEEFu);
        EXPECT_EQ(lib->RequestWriteOne(&cfg, nullptr, 0, r.data(), 64, goodWrite + delta, nullptr), 0);
    }
    // The check covers every block: the same value with another tag, callback or payload is wrong.
    EXPECT_EQ(lib->RequestAsyncRead(&cfg, &Recorder::callback, 0x1235, goodRead, nullptr), 0);
    EXPECT_EQ(lib->RequestAsyncRead(&cfg, &otherCallback, 0x1234, goodRead, nullptr), 0);
    const uint8_t otherStatus[2] = {0x05, 0x03};
    EXPECT_EQ(lib->RequestStatusWrite(&stat, &Recorder::callback, PORTMUX_TAG_LED, otherStatus, 2, goodStatus,
                                      nullptr),
              0);
    Report changed = r;
    changed[20] = 1;
    EXPECT_EQ(lib->RequestWriteOne(&cfg, nullptr, 0, changed.data(), 64, goodWrite, nullptr), 0);
    EXPECT_EQ(sim->reportCount(), 0u) << "refused writes never reach the keyboard";
    EXPECT_FALSE(sim->hasLinkStatus());

    // And the right values are accepted.
    EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, goodCount, nullptr), 1);
    uint32_t handle = 0;
    EXPECT_EQ(lib->RequestAsyncRead(&cfg, &Recorder::callback, 0x1234, goodRead, &handle), 1);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(handle), 1);
    EXPECT_GT(
        lib->RequestStatusWrite(&stat, &Recorder::callback, PORTMUX_TAG_LED, status, 2, goodStatus, &handle),
        0);
    EXPECT_GT(lib->RequestWriteOne(&cfg, nullptr, 0, r.data(), 64, goodWrite, nullptr), 0);
    EXPECT_EQ(sim->reportCount(), 1u);
}

TEST_F(PortmuxContract, BadArgumentsAreRefused) {
    const UnitId cfg = kConfigUnit;
    const Report r = request(sim::kReadConfig, 44);
    EXPECT_EQ(lib->RequestGetDeviceCount(nullptr, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(lib->RequestAsyncRead(nullptr, &Recorder::callback, 1, 0, nullptr), 0);
    EXPECT_EQ(lib->RequestAsyncRead(&cfg, nullptr, 1, checkOf(cfg, nullptr, 1), nullptr), 0) << "no callback";
    EXPECT_EQ(lib->RequestWriteOne(&cfg, nullptr, 0, nullptr, 64, checkOf(cfg, nullptr, 0), nullptr), 0);
    EXPECT_EQ(
        lib->RequestWriteOne(&cfg, nullptr, 0, r.data(), 0, checkOf(cfg, nullptr, 0, r.data(), 0), nullptr),
        0);
    uint8_t big[65] = {};
    EXPECT_EQ(lib->RequestWriteOne(&cfg, nullptr, 0, big, 65, checkOf(cfg, nullptr, 0, big, 65), nullptr), 0);
    // A write must address the configuration collection, a status write the status collection.
    const UnitId cons = kConsumerUnit;
    EXPECT_EQ(lib->RequestWriteOne(&cons, nullptr, 0, r.data(), 64, checkOf(cons, nullptr, 0, r.data(), 64),
                                   nullptr),
              0);
    const uint8_t status[2] = {0x05, 0x02};
    EXPECT_EQ(
        lib->RequestStatusWrite(&cfg, nullptr, 0, status, 2, checkOf(cfg, nullptr, 0, status, 2), nullptr),
        0);
    // Another keyboard's selector matches nothing.
    UnitId other = kConfigUnit;
    other.product = 0x1234;
    EXPECT_EQ(lib->RequestGetDeviceCount(&other, nullptr, 0, checkOf(other, nullptr, 0), nullptr), 0);
    EXPECT_EQ(lib->RequestAsyncRead(&other, &Recorder::callback, 7, checkOf(other, &Recorder::callback, 7),
                                    nullptr),
              0);
    EXPECT_EQ(sim->reportCount(), 0u);
}

TEST_F(PortmuxContract, NeverCalledEntryPointsFailSafely) {
    const UnitId cfg = kConfigUnit;
    const Report r = request(sim::kReadConfig, 44);
    uint32_t handle = 77;
    EXPECT_EQ(
        lib->RequestWrite(&cfg, nullptr, 0, r.data(), 64, checkOf(cfg, nullptr, 0, r.data(), 64), &handle),
        0);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(lib->RequestWrite(nullptr, nullptr, 0, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(lib->RequestStatusGet(&cfg, nullptr, 0, checkOf(cfg, nullptr, 0), nullptr), 0);
    EXPECT_EQ(lib->RequestStatusGet(nullptr, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(lib->RequestStatusSetFeature(&cfg, nullptr, 0, r.data(), 64, 0, nullptr), 0);
    EXPECT_EQ(lib->RequestStatusSetFeature(nullptr, nullptr, 0, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(lib->DeleteRequestFromHandle(0), 0);
    EXPECT_EQ(lib->DeleteRequestFromHandle(0xFFFFFFF0u), 0);
    EXPECT_GT(lib->Debug(0), 0);
    EXPECT_EQ(sim->reportCount(), 0u);
}

TEST_F(PortmuxContract, RegistrationsStoreDistinctHandles) {
    const uint32_t a = registerRead(kConfigUnit, 0xA);
    const uint32_t b = registerRead(kConfigUnit, 0xB);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(a, ctrl);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(a), 1);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(b), 1);
}

TEST_F(PortmuxContract, CancelledRegistrationGetsNoMoreNotifications) {
    const uint32_t extra = registerRead(kConfigUnit, 0x5E5E);
    ASSERT_NE(extra, 0u);
    ASSERT_TRUE(exchange(request(sim::kReadConfig, 44)).has_value());
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(Recorder::get().notes(0x5E5E, PORTMUX_KIND_REPORT).size(), 1u);

    EXPECT_EQ(lib->DeleteRequestFromUnitId(extra), 1);
    ASSERT_TRUE(exchange(request(sim::kReadConfig, 44)).has_value());
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(Recorder::get().notes(0x5E5E, PORTMUX_KIND_REPORT).size(), 1u) << "no reply after cancelling";
    EXPECT_TRUE(Recorder::get().notes(0x5E5E, PORTMUX_KIND_DEVICE_SET).empty()) << "no device change either";
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).size(), 2u)
        << "the other one still hears";

    // Harmless for 0, for an unknown handle and for one already cancelled.
    EXPECT_EQ(lib->DeleteRequestFromUnitId(0), 0);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(extra), 0);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(0x7FFFFFFFu), 0);
}

TEST_F(PortmuxContract, RegisteringAgainAfterCancellingTheSlot) {
    // As the program registers: cancel the slot's previous handle, then register into the slot.
    uint32_t slot = 0;
    for (int round = 0; round < 3; ++round) {
        lib->DeleteRequestFromUnitId(slot);
        slot = registerRead(kConsumerUnit, 0xC0C0);
        ASSERT_NE(slot, 0u);
    }
    ASSERT_TRUE(sim->sendConsumer(0x1801));
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(Recorder::get().notes(0xC0C0, PORTMUX_KIND_REPORT).size(), 1u)
        << "one live registration, one notification";
    lib->DeleteRequestFromUnitId(slot);
}

TEST_F(PortmuxContract, NotificationsArriveOnTheLibrarysThread) {
    ASSERT_TRUE(exchange(request(sim::kReadConfig, 44)).has_value());
    ASSERT_TRUE(sim->sendConsumer(0x0401));
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(2000));
    const auto notes = Recorder::get().notes();
    ASSERT_EQ(notes.size(), 4u);
    for (const auto& n : notes) {
        EXPECT_NE(n.thread, std::this_thread::get_id());
    }
}

TEST_F(PortmuxContract, NotificationsKeepArrivalOrder) {
    std::vector<uint16_t> sent;
    for (uint16_t i = 0; i < 200; ++i) {
        const uint16_t usage = static_cast<uint16_t>(0x1000 + i);
        ASSERT_TRUE(sim->sendConsumer(usage));
        sent.push_back(usage);
        if (i % 50 == 0) {
            ASSERT_GT(writeOne(request(sim::kReadConfig, 44)), 0);
        }
    }
    ASSERT_TRUE(sim->waitIdle(3000));
    std::vector<uint16_t> got;
    for (const auto& n : Recorder::get().notes(PORTMUX_TAG_CONS, PORTMUX_KIND_REPORT)) {
        ASSERT_TRUE(n.hasUsage);
        got.push_back(n.usage);
    }
    EXPECT_EQ(got, sent);
    EXPECT_EQ(Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).size(), 4u);
}

TEST_F(PortmuxContract, CancellingFromInsideTheCallbackDoesNotDeadlock) {
    const uint32_t self = registerRead(kConfigUnit, 0x5E1F);
    std::atomic<int> result{-1};
    Recorder::get().setHook([&](const PortmuxNotification* n) {
        if (n->request && n->request->tag == 0x5E1F) {
            result = Lib::get().DeleteRequestFromUnitId(self);
        }
    });
    ASSERT_TRUE(exchange(request(sim::kReadConfig, 44)).has_value());
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(result.load(), 1);
    ASSERT_TRUE(exchange(request(sim::kReadConfig, 44)).has_value());
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(Recorder::get().notes(0x5E1F, PORTMUX_KIND_REPORT).size(), 1u);
}

TEST_F(PortmuxContract, CancellingWaitsForARunningCallback) {
    const uint32_t slow = registerRead(kConsumerUnit, 0x510E);
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    Recorder::get().setHook([&](const PortmuxNotification* n) {
        if (n->request && n->request->tag == 0x510E) {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            finished = true;
        }
    });
    ASSERT_TRUE(sim->sendConsumer(0x1801));
    while (!inside) {
        std::this_thread::yield();
    }
    EXPECT_EQ(lib->DeleteRequestFromUnitId(slow), 1);
    EXPECT_TRUE(finished.load()) << "after the cancel returns, the callback is no longer running";
    ASSERT_TRUE(sim->sendConsumer(0x1802));
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(Recorder::get().notes(0x510E, PORTMUX_KIND_REPORT).size(), 1u);
}

TEST_F(PortmuxContract, StatusWriteReachesTheKeyboardAndStoresAHandle) {
    const UnitId stat = kStatusUnit;
    const uint8_t status[2] = {0x05, 0x03};
    uint32_t handle = 0;
    ASSERT_GT(lib->RequestStatusWrite(&stat, &Recorder::callback, PORTMUX_TAG_LED, status, 2,
                                      checkOf(stat, &Recorder::callback, PORTMUX_TAG_LED, status, 2),
                                      &handle),
              0);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(sim->hasLinkStatus());
    EXPECT_EQ(sim->lastLinkStatus(), (sim::LinkStatusBytes{0x05, 0x03}));
    EXPECT_EQ(sim->linkStatusCount(), 1u);
    EXPECT_EQ(lib->DeleteRequestFromUnitId(handle), 1);
    ASSERT_TRUE(sim->unplug());
    const uint8_t again[2] = {0x05, 0x02};
    EXPECT_EQ(lib->RequestStatusWrite(&stat, &Recorder::callback, PORTMUX_TAG_LED, again, 2,
                                      checkOf(stat, &Recorder::callback, PORTMUX_TAG_LED, again, 2), &handle),
              0)
        << "no keyboard, no status";
    EXPECT_EQ(sim->lastLinkStatus(), (sim::LinkStatusBytes{0x05, 0x03}));
}

TEST_F(PortmuxContract, DeviceCountFollowsPlugging) {
    const UnitId cfg = kConfigUnit;
    const uint32_t check = checkOf(cfg, nullptr, 0);
    EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, check, nullptr), 1);
    ASSERT_TRUE(sim->unplug());
    EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, check, nullptr), 0);
    EXPECT_EQ(writeOne(request(sim::kReadConfig, 44)), 0) << "nothing to write to";
    ASSERT_TRUE(sim->plug());
    EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, check, nullptr), 1);
}

TEST_F(PortmuxContract, EndStopsEverythingAndInitStartsAgain) {
    ASSERT_EQ(lib->End(), 1);
    EXPECT_EQ(lib->sim(), nullptr);
    EXPECT_EQ(sim->keyboardCount(), 0) << "the control object stays valid and does nothing";
    EXPECT_FALSE(sim->plug());
    EXPECT_EQ(writeOne(request(sim::kReadConfig, 44)), 0);
    const UnitId cfg = kConfigUnit;
    EXPECT_EQ(lib->RequestGetDeviceCount(&cfg, nullptr, 0, checkOf(cfg, nullptr, 0), nullptr), 0);
    EXPECT_EQ(registerRead(kConfigUnit, 0x99), 0u);
    EXPECT_EQ(lib->End(), 0) << "ending twice is harmless";

    ASSERT_GT(lib->Init(0), 0);
    ASSERT_EQ(lib->sim(), sim);
    EXPECT_EQ(sim->keyboardCount(), 1);
    ctrl = registerRead(kConfigUnit, PORTMUX_TAG_CTRL);
    cons = registerRead(kConsumerUnit, PORTMUX_TAG_CONS);
    auto reply = exchange(request(sim::kReadConfig, 44));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[19], sim::kFactoryMacroUnits);
}

TEST_F(PortmuxContract, EndFromInsideTheCallbackIsRefused) {
    std::atomic<int> result{-1};
    Recorder::get().setHook([&](const PortmuxNotification*) { result = Lib::get().End(); });
    ASSERT_TRUE(sim->sendConsumer(0x1801));
    ASSERT_TRUE(sim->waitIdle(2000));
    Recorder::get().setHook(nullptr);
    EXPECT_EQ(result.load(), 0);
    EXPECT_NE(lib->sim(), nullptr);
}

} // namespace
} // namespace portmux::test
