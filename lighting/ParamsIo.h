// Reading and writing the per-profile settings records: a write is one begin/end frame around one or more
// settings writes; a read takes all three records in one frame.
#pragma once

#include "device/Commands.h"
#include "lighting/ProfileParams.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>

namespace tarvik::lighting {

// beginWrite, the writes, endWrite, as one sequence no other thread or process can split
// (device::Commands::writeSequence). A frame the keyboard did not open is not written into (the writes
// would land outside any frame); writes stop at the first one not taken, and what was staged is dropped,
// not committed. The keyboard keeps a frame's writes only once it has taken the endWrite, so its result
// counts too; with verifying on, so does the read-back of the written settings and colour bytes
// (device::kVerifyMismatch when the keyboard did not keep one; Commands::lastMismatch says which).
// Returns 1 or the first result that was not 1.
template <typename Writes> int writeFramed(device::Commands& commands, Writes&& writes) {
    return commands.writeSequence(std::forward<Writes>(writes)).result;
}

struct ParamWrite {
    uint16_t address; // within the settings area
    std::span<const uint8_t> bytes;
};

// One writeSettings per piece, in order, in one frame (writeFramed).
int writeParams(device::Commands& commands, std::initializer_list<ParamWrite> pieces);
int writeParams(device::Commands& commands, std::span<const ParamWrite> pieces);

// beginWrite; readSettings of 56 bytes at 0, 42 and 84, keeping the first 42 of each; endWrite. A failing
// read ends the sequence; the records not read keep their previous contents. Returns 1 or that result.
int readAllParams(device::Commands& commands, ParamsBlocks& blocks);

} // namespace tarvik::lighting
