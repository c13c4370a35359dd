// Facts about this process and its way out, for the few places that need them.
#pragma once

namespace tarvik {

using UserId = unsigned;
using ProcessId = long;

// The user this process runs as, in the numbers the system names users by.
UserId currentUserId();
ProcessId currentProcessId();

// Ends the process at once with code: no destructors, no atexit handlers, no buffers flushed. For the
// moments when running them could hang or touch a half-built state.
[[noreturn]] void exitAtOnce(int code);

} // namespace tarvik
