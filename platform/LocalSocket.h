// Stream sockets between processes of one machine, addressed by a file path, as plain descriptors; and a
// wake-up pipe that ends a wait for a client from another thread. Every descriptor is close-on-exec.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tarvik {

// The longest socket path the address takes.
size_t localSocketPathLimit();
// A connection to the socket at path; -1 when nobody listens there or the path is too long.
int connectLocalSocket(const std::filesystem::path& path);
// Listens at path, replacing a file left there; the socket file is readable and writable by its owner
// only. -1 on failure.
int listenLocalSocket(const std::filesystem::path& path);
void removeLocalSocket(const std::filesystem::path& path);
// The next client of a listening socket; -1 when none could be taken.
int acceptLocalClient(int listenFd);
// The client's process runs as this process's user.
bool peerIsThisUser(int fd);
// Reads exactly n bytes before the deadline; false on end of stream, error or time out.
bool receiveAll(int fd, uint8_t* out, size_t n, std::chrono::steady_clock::time_point deadline);
bool sendAll(int fd, const uint8_t* data, size_t n);

// fds[0] is read, fds[1] written; neither blocks.
bool openWakePipe(int fds[2]);
void wake(int writeFd);
enum class WaitResult { Readable, Woken, Failed };
// Waits without a limit until fd has something to read or wakeFd was written to; a signal does not end
// the wait.
WaitResult waitReadableOrWoken(int fd, int wakeFd);

// Closes a descriptor (when it is one) and marks it closed.
void closeDescriptor(int& fd);

// Takes an advisory lock on file (created with mode 0600, never through a link) without waiting: the
// descriptor that holds it, or -1 with heldElsewhere telling whether another process holds it. Closing
// the descriptor lets the lock go.
int tryLockFileNow(const std::filesystem::path& file, bool& heldElsewhere);

} // namespace tarvik
