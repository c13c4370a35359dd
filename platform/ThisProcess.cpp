#include "platform/ThisProcess.h"

#include <unistd.h>

namespace tarvik {

UserId currentUserId() {
    return static_cast<UserId>(::getuid());
}

ProcessId currentProcessId() {
    return static_cast<ProcessId>(::getpid());
}

void exitAtOnce(int code) {
    ::_exit(code);
}

} // namespace tarvik
