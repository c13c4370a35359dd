// The keyboard's replies as the link and the command set take them: any bytes, any length, replies to
// other commands, busy answers, consumer codes and device counts in between. Runs the real DeviceLink
// over a service table whose RequestWriteOne answers at once from the input, so nothing waits.
#include "device/Commands.h"
#include "device/DeviceLink.h"
#include "device/OnBoardProfile.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace tarvik::device;

const uint8_t* g_data = nullptr;
size_t g_size = 0;

uint8_t take() {
    if (g_size == 0) {
        return 0;
    }
    --g_size;
    return *g_data++;
}

void notify(uint32_t kind, uint32_t tag, const uint8_t* bytes, uint32_t count, uint16_t usage) {
    PortmuxReportRecord report{};
    report.usage = &usage;
    PortmuxRequestRecord request{tag, count, bytes, &report};
    PortmuxNotification n{kind, 0, &request};
    DeviceLink::callback(&n);
}

// Each report is answered by the next record of the input: what kind of notification, then its bytes.
int writeOne(const UnitId*, PortmuxCallback, uint32_t, const uint8_t* report, uint32_t, uint32_t, uint32_t*) {
    const uint8_t what = take();
    const uint8_t length = take();
    std::vector<uint8_t> bytes(length);
    for (auto& b : bytes) {
        b = take();
    }
    switch (what % 6) {
    case 0:
        break; // no answer
    case 1:    // an answer of any length
        notify(PORTMUX_KIND_REPORT, PORTMUX_TAG_CTRL, bytes.data(), length, 0);
        break;
    case 2: { // a well-formed answer to this report with the input as data and status
        std::array<uint8_t, 64> reply{};
        reply[3] = report[3];
        reply[7] = length % 4 == 0 ? 0xFF : (length % 4 == 1 ? 0xFE : 0);
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), 56), reply.begin() + 8);
        notify(PORTMUX_KIND_REPORT, PORTMUX_TAG_CTRL, reply.data(), 64, 0);
        break;
    }
    case 3:
        notify(PORTMUX_KIND_REPORT, PORTMUX_TAG_CONS, bytes.data(), length, uint16_t(length << 8 | what));
        break;
    case 4:
        notify(PORTMUX_KIND_DEVICE_SET, PORTMUX_TAG_CTRL, nullptr, length % 3, 0);
        break;
    default:
        notify(what, length, bytes.data(), length, 0); // kinds and tags nobody registered
        break;
    }
    return what == 0xFF ? 0 : 1;
}

int deviceCount(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t*) {
    return g_size == 0 ? 0 : 1;
}
int asyncRead(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t* handle) {
    *handle = 1;
    return 1;
}
int statusWrite(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                uint32_t* handle) {
    *handle = 2;
    return 1;
}
int deleteRequest(uint32_t) {
    return 1;
}

class Events final : public LinkEvents {
public:
    void onConsumerCode(uint16_t) override {}
    void onDeviceCount(int) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ServiceTable service = [] {
        ServiceTable t;
        t.RequestGetDeviceCount = deviceCount;
        t.RequestAsyncRead = asyncRead;
        t.RequestStatusWrite = statusWrite;
        t.RequestWriteOne = writeOne;
        t.DeleteRequestFromUnitId = deleteRequest;
        return t;
    }();
    LinkTiming timing;
    timing.takeOver = timing.replyWait = timing.retryPause = timing.endWritePause = LinkTiming::ms{0};
    g_data = data;
    g_size = size;

    AppLinkState state;
    Events events;
    DeviceLink link(service, state, timing);
    link.startChannel(events);
    Commands c(link, timing);
    std::array<uint8_t, kConfigSize> config{};
    std::array<uint8_t, kChunkSize> chunk{};
    std::array<uint8_t, kKeyBlockSize> block{};
    std::vector<uint8_t> macros(1024);
    while (g_size > 0) {
        switch (take() % 9) {
        case 0:
            c.readConfig(config);
            break;
        case 1:
            c.readSettings(chunk, take(), take());
            break;
        case 2:
            c.readKeyBlock(block, take() % 4);
            break;
        case 3:
            c.readMacroArea(std::span(macros).first(take() * 4u));
            break;
        case 4:
            c.readDefaultKeyBlock(block);
            break;
        case 5:
            c.readColours(chunk, take(), take(), take() % 4);
            break;
        case 6:
            currentOnBoardProfile(c, state);
            state.currentProfile = -1;
            break;
        case 7:
            selectOnBoardProfile(c, state, take() % 5 - 1);
            break;
        default:
            refreshMacroCapacity(c, state);
            link.switchLayer();
            break;
        }
    }
    return 0;
}
