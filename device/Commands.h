// The keyboard's command set: one 64-byte request per exchange (or a series of 56-byte chunks), each with
// its checksum, and the result codes every operation returns.
#pragma once

#include "device/SequenceLock.h"
#include "device/SettingsShadow.h"
#include "device/Timing.h"
#include "device/WriteVerify.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace tarvik::device {

// Result codes of the command operations.
inline constexpr int kOk = 1;
inline constexpr int kBusyFF = -102;
inline constexpr int kBusyFE = -103;
inline constexpr int kBadBlock = -201;
// A data length or address the report cannot carry (more than 56 bytes in one report, an area beyond
// the 16-bit address range); nothing is sent.
inline constexpr int kBadLength = -202;
// Another thread or process held the keyboard for longer than the wait allows; nothing was sent. Not the
// same as no keyboard: the keyboard is there, only busy with someone else's sequence.
inline constexpr int kLinkBusy = -203;
// A reply with the right command code but too short to hold what the command reads (or its status).
inline constexpr int kShortReply = -204;
// The keyboard took every write of a sequence, but reading the written bytes back found one it did not
// keep (Commands::lastMismatch() says which).
inline constexpr int kVerifyMismatch = -205;
// The per-user lock file that keeps other processes' sequences apart cannot be had (its folder is another
// user's or not private); nothing was sent.
inline constexpr int kLockUnavailable = -206;
// transact's own results, passed through unchanged.
inline constexpr int kNoKeyboard = 0;
inline constexpr int kWriteRefused = -1;
inline constexpr int kNoReply = -2;

// "result N, WHAT IT MEANS" for a message: a vanished keyboard reads as such, not as a bare number.
std::string describeResult(int result);

inline constexpr size_t kReportSize = 64;
inline constexpr size_t kChunkSize = 56;
inline constexpr size_t kConfigSize = 44;
inline constexpr size_t kSettingsRecordSize = 42;
inline constexpr size_t kKeyBlockSize = 378;
inline constexpr size_t kColourProfileSize = 512;
inline constexpr unsigned kProfileCount = 3;
static_assert(kSettingsAreaSize == kProfileCount * kSettingsRecordSize);

// Fields of the configuration block.
inline constexpr size_t kConfigCurrentProfile = 10;
inline constexpr size_t kConfigMacroUnits = 11; // macro capacity in units of kMacroUnit bytes
inline constexpr size_t kConfigModes = 12;      // bytes 12..43: supported lighting modes, 0 = empty place
inline constexpr unsigned kMacroUnit = 128;
// Report rate index within a profile's settings record.
inline constexpr size_t kSettingsReportRate = 15;

// Report layout.
inline constexpr uint8_t kReportId = 0x04;
inline constexpr size_t kOffCommand = 3;
inline constexpr size_t kOffLength = 4;
inline constexpr size_t kOffAddress = 5;
inline constexpr size_t kOffStatus = 7;
inline constexpr size_t kOffData = 8;
inline constexpr uint8_t kStatusBusyFF = 0xFF;
inline constexpr uint8_t kStatusBusyFE = 0xFE;

enum Command : uint8_t {
    CMD_BEGIN_WRITE = 0x01,
    CMD_END_WRITE = 0x02,
    CMD_READ_CONFIG = 0x03,
    CMD_WRITE_CONFIG = 0x04,
    CMD_READ_SETTINGS = 0x05,
    CMD_WRITE_SETTINGS = 0x06,
    CMD_READ_KEYS = 0x07,
    CMD_WRITE_KEYS = 0x08,
    CMD_READ_MACROS = 0x09,
    CMD_WRITE_MACROS = 0x0A,
    // Four codes the keyboard accepts without data and answers without data; what they do inside it is
    // not known. Named for what is known on this side: this program never sends three of them, 0x0C
    // would go out after the same 10 ms pause as CMD_END_WRITE, and 0x0D belongs to a hidden test button
    // of the main window (control::kTestButton0D). The bare numbered names stay usable.
    CMD_UNSENT_0B = 0x0B,
    CMD_UNSENT_PAUSED_0C = 0x0C,
    CMD_TEST_BUTTON_0D = 0x0D,
    CMD_UNSENT_0E = 0x0E,
    CMD_0B = CMD_UNSENT_0B,
    CMD_0C = CMD_UNSENT_PAUSED_0C,
    CMD_0D = CMD_TEST_BUTTON_0D,
    CMD_0E = CMD_UNSENT_0E,
    CMD_READ_DEFAULT_KEYS = 0x0F,
    CMD_READ_COLOURS = 0x10,
    CMD_WRITE_COLOURS = 0x11,
};

// The synchronous request/reply exchange the commands rest on. The device link implements it over the
// service library; tests may implement it directly.
class Exchanger {
public:
    virtual ~Exchanger() = default;
    // Sends request (up to 64 bytes, zero-filled to 64) and waits for the reply with the same command
    // code. Returns 1, 0 (no keyboard / wait failed), -1 (write refused) or -2 (no matching reply);
    // delivered is the number of reply bytes copied into reply.
    virtual int transact(std::span<const uint8_t> request, std::span<uint8_t, kReportSize> reply,
                         size_t& delivered) = 0;
};

// Fills the checksum of a built request: the sum of bytes 3..63, low 16 bits, little-endian in bytes 1-2.
void setChecksum(std::span<uint8_t, kReportSize> report);

// Which step of a write sequence did not succeed.
enum class SequenceStep { None, Begin, Write, End, Verify };

struct SequenceResult {
    int result = kOk; // 1, or the first failing step's result
    SequenceStep step = SequenceStep::None;
    // Step Verify with kVerifyMismatch: the first byte the keyboard did not keep.
    std::optional<WriteMismatch> mismatch = std::nullopt;
    bool ok() const { return result == kOk; }
};

// The command operations. Every one returns 1, -102, -103, -201 (key blocks only), -202 (a length the
// report cannot carry), -203 (another sequence held the keyboard too long), -204 (a short reply) or
// transact's result. Chunked operations stop at the first chunk that does not give 1; read buffers then
// hold only the chunks that arrived, so callers discard them on any other result.
//
// Sequences: a begin...end sequence, and any other operation made of several reports that must not be
// split (a profile switch's read and write, the reads on a keyboard's arrival), holds a Frame for its whole
// span. While one thread holds it, the commands of every other thread wait (up to LinkTiming::sequenceWait)
// and so do those of other processes that use the same lock file. Every single operation takes the frame
// too, so it never lands inside another thread's sequence. The frame is re-entrant on its thread.
class Commands {
public:
    // lockFile: the per-user lock file shared with other processes (paths::deviceLockFile()); empty keeps
    // only the threads of this process apart.
    explicit Commands(Exchanger& exchanger, const LinkTiming& timing = LinkTiming{},
                      const std::filesystem::path& lockFile = {})
        : ex_(exchanger), endWritePause_(timing.endWritePause), sequenceWait_(timing.sequenceWait),
          sequence_(lockFile) {}
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    // The keyboard held for one sequence; let go when the object goes. When it could not be taken (held
    // elsewhere for too long, or the commands are closed) nothing may be sent: result() says why.
    class [[nodiscard]] Frame {
    public:
        Frame(Frame&& other) noexcept : lock_(other.lock_), result_(other.result_) { other.lock_ = nullptr; }
        Frame& operator=(Frame&&) = delete;
        Frame(const Frame&) = delete;
        ~Frame() {
            if (lock_ != nullptr) {
                lock_->leave();
            }
        }
        explicit operator bool() const { return lock_ != nullptr; }
        // 1 when held; kLinkBusy when the wait ran out; kLockUnavailable without the lock file;
        // kNoKeyboard once the commands are closed.
        int result() const { return result_; }

    private:
        friend class Commands;
        Frame(SequenceLock* lock, int result) : lock_(lock), result_(result) {}
        SequenceLock* lock_;
        int result_;
    };
    Frame frame();

    // beginWrite, writes() (returning 1 or the first failing result), endWrite, all under one frame, and
    // with verifying on the read-back of what was written (verifyWritten). Succeeds only when all of them
    // did. A failing beginWrite sends nothing more; after a failing write or endWrite the staged writes
    // are discarded (discardWrites), never committed.
    template <typename Writes> SequenceResult writeSequence(Writes&& writes) {
        Frame held = frame();
        if (!held) {
            return {held.result(), SequenceStep::Begin};
        }
        if (int rc = beginWrite(); rc != kOk) {
            return {rc, SequenceStep::Begin};
        }
        if (int rc = writes(); rc != kOk) {
            discardWrites(rc);
            return {rc, SequenceStep::Write};
        }
        if (int rc = endWrite(); rc != kOk) {
            discardWrites(rc);
            return {rc, SequenceStep::End};
        }
        if (VerifyResult checked = verifyWritten(); !checked.ok()) {
            return {checked.result, SequenceStep::Verify, checked.mismatch};
        }
        return {};
    }
    // After a write sequence failed (failure is its result): the keyboard keeps the writes staged so far
    // until its next beginWrite restarts the frame from its flash. An endWrite now would commit them
    // beside the old contents of what was not written. Instead the frame is restarted (beginWrite) and
    // closed empty (endWrite): nothing of the failed sequence is committed, and no frame stays open (a
    // profile switch's configuration write would be staged in it, and reads inside it see the staged
    // bytes). Nothing is sent when the keyboard is gone or the keyboard could not be held.
    void discardWrites(int failure);

    // Ends every wait for the frame and refuses every later one (the operations then return 0 and send
    // nothing). For closing the link.
    void close() { sequence_.close(); }

    int beginWrite();
    int endWrite(); // pauses 10 ms first
    int readConfig(std::span<uint8_t, kConfigSize> out);
    int writeConfig(std::span<const uint8_t, kConfigSize> config);
    // Always delivers the reply's 56 data bytes, whatever length was asked for.
    int readSettings(std::span<uint8_t, kChunkSize> out, uint8_t length, uint16_t address);
    int writeSettings(std::span<const uint8_t> data, uint16_t address); // 0..56 bytes
    int readKeyBlock(std::span<uint8_t, kKeyBlockSize> out, unsigned block);
    int writeKeyBlock(std::span<const uint8_t, kKeyBlockSize> data, unsigned block);
    int readMacroArea(std::span<uint8_t> out);         // out.size() bytes; 0 sends nothing
    int writeMacroArea(std::span<const uint8_t> data); // 0 bytes sends nothing
    int readDefaultKeyBlock(std::span<uint8_t, kKeyBlockSize> out);
    int readColours(std::span<uint8_t, kChunkSize> out, uint8_t length, unsigned key, unsigned profile);
    int writeColours(std::span<const uint8_t> data, unsigned key, unsigned profile); // 0..56 bytes

    // Read-back verify. While it is on, the data writes since the last beginWrite are kept, and
    // verifyWritten, called after the sequence's endWrite and inside the same frame, reads them back from
    // the keyboard and compares them byte for byte: at most one read per written chunk. Off by default
    // here; the program and tarvikctl turn it on unless the user turned it off.
    void setVerifyWrites(bool on) { verify_.store(on, std::memory_order_relaxed); }
    bool verifyWrites() const { return verify_.load(std::memory_order_relaxed); }
    // 1 when verifying is off, nothing was written, or every written byte reads back as sent; the result
    // of a read that failed; or kVerifyMismatch with the first byte that differs. Forgets the writes.
    VerifyResult verifyWritten();
    // The mismatch the last verifyWritten of any thread found, if it found one.
    std::optional<WriteMismatch> lastMismatch() const;

    Exchanger& exchanger() { return ex_; }

    // What this process last read from or had committed to the settings area (SettingsShadow). The
    // caller holds the frame.
    SettingsShadow settingsSeen() const { return settings_; }

private:
    // One report: builds it, exchanges it and maps the reply's status. reply holds the reply on return;
    // a reply shorter than replyBytes (the status byte and the data the caller reads) is refused.
    int exchange(uint8_t command, uint8_t length, uint16_t address, std::span<const uint8_t> data,
                 std::span<uint8_t, kReportSize> reply, size_t replyBytes = kOffStatus + 1);
    int readChunked(uint8_t command, uint32_t base, std::span<uint8_t> out);
    int writeChunked(uint8_t command, uint32_t base, std::span<const uint8_t> data);
    // Keeps a write the keyboard took, for verifyWritten (only while verifying is on).
    void noteWritten(uint8_t command, uint32_t address, std::span<const uint8_t> data);

    Exchanger& ex_;
    std::chrono::milliseconds endWritePause_;
    std::chrono::milliseconds sequenceWait_;
    SequenceLock sequence_;
    std::atomic<bool> verify_{false};
    WriteLog written_;        // touched only by the thread holding the frame
    SettingsShadow settings_; // the same
    mutable std::mutex mismatchMutex_;
    std::optional<WriteMismatch> lastMismatch_;
};

} // namespace tarvik::device
