// Carrying the working copy to the keyboard: the applied copy is made from it, the macro image is sized
// against the keyboard's macro capacity (dropping the names when only that makes it fit) and sent with
// the key blocks as one write sequence: beginWrite, writeMacroArea, writeKeyBlock for the current or all
// on-board profiles, endWrite.
//
// Nothing here shows a message: the outcome names the messages, and the caller shows them
// (showDownloadMessages) once it holds no lock of the store, since a message box runs a nested event
// loop that could enter the store again.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "keyboard/DefaultLayout.h"
#include "macros/MacroRecord.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/KeyboardGuard.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace tarvik::profiles {

// The step at which a download stopped.
enum class DownloadStep {
    None,           // it did not stop: the keyboard took everything
    Skipped,        // not attempted (Apply: the cache file could not be prepared)
    Prepare,        // out of memory while making the applied copy or the image; nothing sent
    Fit,            // the image does not fit the macro capacity even without names; nothing sent
    Keyboard,       // the keyboard could not be held for the sequence (busy elsewhere, or closed)
    Check,          // what the keyboard holds could not be read to compare it with what was last seen
    CurrentProfile, // only the current profile was to be written and it could not be read; nothing sent
    BeginWrite,
    MacroArea,
    KeyBlock, // failedBlock says which
    EndWrite,
    Verify, // the keyboard took the sequence, but reading it back failed or found a byte it did not keep
};

struct DownloadOutcome {
    // 1 when the keyboard took everything; otherwise the first failing step's result (0 when nothing
    // was sent).
    int result = 0;
    bool namesDropped = false; // EXTRA_PROFILE_SPACE_TIGHT to be shown
    bool tooLong = false;      // EXTRA_MACRO_TOO_LONG to be shown
    DownloadStep failedStep = DownloadStep::Skipped;
    unsigned failedBlock = 0; // failedStep KeyBlock: the on-board profile whose block was refused
    // failedStep Verify with result kVerifyMismatch: the area and first byte the keyboard did not keep.
    std::optional<device::WriteMismatch> mismatch = std::nullopt;
    // Another program had changed the keyboard; its changes were merged into what was sent
    // (MAIN_KEYBOARD_CHANGED to be shown, once).
    bool merged = false;
    // Another program had changed the lighting or report rate settings: what shows them is to be read again
    // (and MAIN_KEYBOARD_CHANGED shown, once with merged).
    bool settingsChanged = false;
    bool keyboardChanged() const { return merged || settingsChanged; }
    bool succeeded() const { return result == device::kOk; }
    // The keyboard acknowledged everything and then read back otherwise: EXTRA_VERIFY_FAILED to be shown.
    bool verifyFailed() const { return failedStep == DownloadStep::Verify && mismatch.has_value(); }
};

// A short name of the step, for command-line output ("endWrite", "key block 2", ...).
const char* describe(DownloadStep step);
// Why a download failed, for command-line output: "result -205 at the read-back check: key block 1,
// offset 56: sent 0x05, read 0x00", "result -102 at endWrite".
std::string describeFailure(const DownloadOutcome& outcome);

// How a macro set goes into a macro area of capacity bytes: with names when they fit, else without.
struct MacroImageFit {
    bool fits = false;      // even without names it does not fit: EXTRA_MACRO_TOO_LONG
    bool withNames = false; // false: the names are dropped (EXTRA_PROFILE_SPACE_TIGHT)
    size_t size = 0;        // the image's size
};
MacroImageFit fitMacroImage(std::span<const macros::MacroRecord> set, size_t capacity);

// The keyboard's own default layout when it has delivered one, else the process-wide one.
keyboard::DefaultLayout keyboardLayout(const device::AppLinkState& state);

// Replaces the applied copy by the working copy: records, header for its macro count and text sum, macro
// set, and the texts packed into the pool (which sets the text offsets in the working copy's records, as
// saving does). Takes both locks. False when memory ran out; the applied copy is then released.
bool prepareAppliedCopy(AssignmentStore& store);

// The download. Holds the keyboard (device::Commands::Frame) for the whole of it, then both store locks
// (re-entrantly: its caller may hold the key-data lock, and then takes the frame before that lock, the
// order every path keeps). First the keyboard is checked for another writer's changes, which are merged
// into the working copy (checkKeyboard); a keyboard that cannot be read for it gets nothing. Everything that
// can refuse the download does so before anything is sent: the fit of the image, memory, and the current
// on-board profile when only that one is written. Then beginWrite, every data write and endWrite must
// succeed; after a failing write or endWrite the staged writes are discarded
// (device::Commands::discardWrites), so the keyboard keeps its old configuration whole. The sequence stops at
// once when the keyboard is gone. With verifying on (device::Commands:: setVerifyWrites), the written key
// blocks and the written part of the macro area are read back after endWrite, inside the same frame; a byte
// the keyboard did not keep fails the download (step Verify).
DownloadOutcome download(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                         bool allProfiles);
// The download after its check (KeyboardGuard.h), for callers that must run the check before something
// else (staging the cache file of the merged copy). The caller holds the frame and the key-data lock.
// Until the keyboard has taken the new contents the applied copy and the fingerprint stay the base they
// were; then they become what was sent.
DownloadOutcome downloadChecked(AssignmentStore& store, device::Commands& commands,
                                device::AppLinkState& state, bool allProfiles, const KeyboardCheck& check);
// The check of a download (checkKeyboard), skipped when the working copy's macros cannot fit the keyboard
// anyway (the download then refuses them without a report sent). The caller holds the frame and the
// key-data lock.
KeyboardCheck checkBeforeDownload(AssignmentStore& store, device::Commands& commands,
                                  device::AppLinkState& state);
// The outcome of a download whose check could not read the keyboard: nothing was sent.
DownloadOutcome checkFailed(const KeyboardCheck& check);

// The apply step of Apply and import: the applied copy, then the download; its outcome.
DownloadOutcome makeAppliedCopy(AssignmentStore& store, device::Commands& commands,
                                device::AppLinkState& state, bool allProfiles);

// The messages an outcome names, as the user has always seen them: EXTRA_MACRO_TOO_LONG (nothing was
// sent) or EXTRA_PROFILE_SPACE_TIGHT (after the transfer), then EXTRA_VERIFY_FAILED when the keyboard
// did not keep what it took, then MAIN_KEYBOARD_CHANGED when the keyboard's own changes were merged.
// Call it with no lock of the store held.
void showDownloadMessages(const DownloadOutcome& outcome, Prompter& prompter);

} // namespace tarvik::profiles
