// Reading and writing the per-profile settings records: a write is one begin/end frame around one or more
// settings writes; a read takes all three records in one frame.
#pragma once

#include "device/Commands.h"
#include "lighting/ProfileParams.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace tarvik::lighting {

struct ParamWrite {
    uint16_t address; // within the settings area
    std::span<const uint8_t> bytes;
};

// beginWrite; one writeSettings per piece, in order; endWrite. A piece the keyboard does not take ends
// the sequence (the frame is still closed). Returns 1 or that piece's result.
int writeParams(device::Commands& commands, std::initializer_list<ParamWrite> pieces);
int writeParams(device::Commands& commands, std::span<const ParamWrite> pieces);

// beginWrite; readSettings of 56 bytes at 0, 42 and 84, keeping the first 42 of each; endWrite. A failing
// read ends the sequence; the records not read keep their previous contents. Returns 1 or that result.
int readAllParams(device::Commands& commands, ParamsBlocks& blocks);

} // namespace tarvik::lighting
