#include "lighting/ParamsIo.h"

#include <algorithm>
#include <array>

namespace tarvik::lighting {

int writeParams(device::Commands& commands, std::span<const ParamWrite> pieces) {
    return writeFramed(commands, [&] {
        for (const auto& piece : pieces) {
            if (int rc = commands.writeSettings(piece.bytes, piece.address); rc != device::kOk) {
                return rc;
            }
        }
        return device::kOk;
    });
}

int writeParams(device::Commands& commands, std::initializer_list<ParamWrite> pieces) {
    return writeParams(commands, std::span<const ParamWrite>(pieces.begin(), pieces.size()));
}

int readAllParams(device::Commands& commands, ParamsBlocks& blocks) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return held.result();
    }
    int result = device::kOk;
    commands.beginWrite();
    for (int p = 0; p < kProfileCount; ++p) {
        std::array<uint8_t, device::kChunkSize> buffer{};
        int rc = commands.readSettings(buffer, static_cast<uint8_t>(device::kChunkSize), paramAddress(p, 0));
        if (rc != device::kOk) {
            result = rc;
            break;
        }
        std::copy_n(buffer.begin(), kParamsSize, blocks[static_cast<size_t>(p)].begin());
    }
    commands.endWrite();
    return result;
}

} // namespace tarvik::lighting
