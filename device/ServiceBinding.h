// Loading the HID service library and resolving its twelve entry points. The program and tarvikctl bind
// through the same function, so both make the same calls in the same order; only what a failure does
// differs.
#pragma once

#include "portmux/include/portmux.h"

#include <filesystem>
#include <string>

namespace tarvik::device {

inline constexpr const char* kServiceLibraryName = "libportmux.so";

// The module and its entry points, named as the library exports them.
struct ServiceTable {
    void* module = nullptr;
    PortmuxDebugFn Debug = nullptr;
    PortmuxInitFn Init = nullptr;
    PortmuxEndFn End = nullptr;
    PortmuxGetDeviceCountFn RequestGetDeviceCount = nullptr;
    PortmuxDeleteFn DeleteRequestFromUnitId = nullptr;
    PortmuxDeleteFn DeleteRequestFromHandle = nullptr;
    PortmuxWriteFn RequestWrite = nullptr;
    PortmuxWriteOneFn RequestWriteOne = nullptr;
    PortmuxStatusWriteFn RequestStatusWrite = nullptr;
    PortmuxStatusGetFn RequestStatusGet = nullptr;
    PortmuxAsyncReadFn RequestAsyncRead = nullptr;
    PortmuxStatusSetFeatureFn RequestStatusSetFeature = nullptr;
};

// AlreadyOpen: LinkSession::open() on a session that was opened before (nothing is done).
enum class BindResult { Ok, NoLibrary, MissingEntryPoint, InitFailed, AlreadyOpen };

// Loads libportmux.so from programFolder, else from the default search path; resolves the twelve names
// in their fixed order; calls Init(0). On failure the library is unloaded again and detail names what
// was missing.
BindResult bindService(ServiceTable& table, const std::filesystem::path& programFolder, std::string* detail);

// The program's binding: any failure ends the process at once with exit code 0 and no message.
void bindServiceOrExit(ServiceTable& table, const std::filesystem::path& programFolder);

// One line saying why binding failed, for tarvikctl.
std::string describeBindFailure(BindResult result, const std::string& detail);

} // namespace tarvik::device
