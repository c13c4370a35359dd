// The keyboard's current on-board profile and its macro capacity, both read from the configuration
// block and kept in AppLinkState.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"

namespace tarvik::device {

// The cached current profile; when the cache holds -1, reads the configuration block and caches its
// byte 10. Returns -1 when the read fails or names no profile 0..2 (the cache then stays -1).
int currentOnBoardProfile(Commands& commands, AppLinkState& state);

// Makes profile p the keyboard's current one: readConfig, byte 10 = p, writeConfig (no write frame, but
// both under one Commands::Frame so no other sequence lands between them). p < 0 does nothing and
// returns 1; p > 2 gives -201 and sends nothing. The cache becomes p when the write succeeds and -1
// otherwise. Returns the failing command's result or 1.
int selectOnBoardProfile(Commands& commands, AppLinkState& state, int p);

// Report rates are indexes 0..3 into the keyboard's list of rates.
inline constexpr int kReportRateCount = 4;

// Writes report rate index r into profile p's settings record (byte 15) as one write sequence
// (Commands::writeSequence). p outside 0..2 or r outside 0..3 gives -201 and sends nothing. Returns 1
// only when the keyboard took the whole sequence.
int writeReportRate(Commands& commands, int p, int r);

// Reads the configuration block and stores its macro capacity (byte 11 x 128). A failed read leaves the
// capacity as it was. Returns readConfig's result.
int refreshMacroCapacity(Commands& commands, AppLinkState& state);

} // namespace tarvik::device
