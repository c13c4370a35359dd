// Any bytes as a user lighting file: every value of every slot is read, and the present slot is loaded
// into a colour table and sent to a keyboard that answers everything.
#include "device/Commands.h"
#include "lighting/UserLighting.h"
#include "lighting/UserLightingFile.h"
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class AnsweringKeyboard final : public tarvik::device::Exchanger {
public:
    int transact(std::span<const uint8_t> request, std::span<uint8_t, tarvik::device::kReportSize> reply,
                 size_t& delivered) override {
        reply[3] = request.size() > 3 ? request[3] : 0;
        delivered = reply.size();
        return tarvik::device::kOk;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarvik::lighting;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto file = UserLightingFile::fromIni(tarvik::IniFile::parse(bytes));

    int slot = file.presentSlot();
    if (slot < 0 || slot >= kSlotCount) {
        std::abort();
    }
    for (int s = 0; s < kSlotCount; ++s) {
        (void)file.slotName(s);
        SlotHeader h = file.header(s);
        (void)h;
        for (int position = 0; position < 126; ++position) {
            KeyValue v = file.key(s, position);
            (void)v;
        }
    }

    static AnsweringKeyboard keyboard;
    tarvik::device::LinkTiming timing;
    timing.endWritePause = tarvik::device::LinkTiming::ms{0};
    tarvik::device::Commands commands(keyboard, timing);
    UserLighting user(commands, {});
    if (user.uploadSlotOf(file, slot) != tarvik::device::kOk) {
        std::abort();
    }
    // A base colour change and a paint on what was loaded stay inside the table.
    user.setBaseColour(Rgb{1, 2, 3});
    (void)user.paint(0);
    return 0;
}
