// The keyboard's current on-board profile and its macro capacity, both read from the configuration
// block and kept in AppLinkState.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"

namespace tarvik::device {

// The cached current profile; when the cache holds -1, reads the configuration block and caches its
// byte 10. Returns -1 when the read fails or names no profile 0..2 (the cache then stays -1).
int currentOnBoardProfile(Commands& commands, AppLinkState& state);

// Makes profile p the keyboard's current one: readConfig, byte 10 = p, writeConfig (no write frame).
// p < 0 does nothing and returns 1; p > 2 gives -201 and sends nothing. The cache becomes p when the
// write succeeds and -1 otherwise. Returns the failing command's result or 1.
int selectOnBoardProfile(Commands& commands, AppLinkState& state, int p);

// Reads the configuration block and stores its macro capacity (byte 11 x 128). A failed read leaves the
// capacity as it was. Returns readConfig's result.
int refreshMacroCapacity(Commands& commands, AppLinkState& state);

} // namespace tarvik::device
