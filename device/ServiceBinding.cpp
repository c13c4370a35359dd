#include "device/ServiceBinding.h"

#include "platform/DynamicLibrary.h"

#include <cstdlib>
#include <cstring>

namespace tarvik::device {

namespace {
// Resolves one entry point; false when the library lacks it.
template <typename Fn> bool resolve(void* module, const char* name, Fn& out, std::string* detail) {
    void* symbol = librarySymbol(module, name);
    if (symbol == nullptr) {
        if (detail != nullptr) {
            *detail = name;
        }
        return false;
    }
    static_assert(sizeof(Fn) == sizeof(symbol), "entry points are plain function pointers");
    std::memcpy(&out, &symbol, sizeof out);
    return true;
}

void* openLibrary(const std::filesystem::path& programFolder, std::string* detail) {
    void* module = nullptr;
    if (!programFolder.empty()) {
        module = loadLibrary(programFolder / kServiceLibraryName);
    }
    if (module == nullptr) {
        module = loadLibrary(kServiceLibraryName, detail);
    }
    return module;
}
} // namespace

BindResult bindService(ServiceTable& table, const std::filesystem::path& programFolder, std::string* detail) {
    table = ServiceTable{};
    void* module = openLibrary(programFolder, detail);
    if (module == nullptr) {
        return BindResult::NoLibrary;
    }
    ServiceTable t;
    t.module = module;
    // The fixed order of the names; the first one missing ends the binding.
    bool complete = resolve(module, "Debug", t.Debug, detail) && resolve(module, "Init", t.Init, detail) &&
                    resolve(module, "End", t.End, detail) &&
                    resolve(module, "RequestGetDeviceCount", t.RequestGetDeviceCount, detail) &&
                    resolve(module, "DeleteRequestFromUnitId", t.DeleteRequestFromUnitId, detail) &&
                    resolve(module, "DeleteRequestFromHandle", t.DeleteRequestFromHandle, detail) &&
                    resolve(module, "RequestWrite", t.RequestWrite, detail) &&
                    resolve(module, "RequestWriteOne", t.RequestWriteOne, detail) &&
                    resolve(module, "RequestStatusWrite", t.RequestStatusWrite, detail) &&
                    resolve(module, "RequestStatusGet", t.RequestStatusGet, detail) &&
                    resolve(module, "RequestAsyncRead", t.RequestAsyncRead, detail) &&
                    resolve(module, "RequestStatusSetFeature", t.RequestStatusSetFeature, detail);
    if (!complete) {
        unloadLibrary(module);
        return BindResult::MissingEntryPoint;
    }
    if (t.Init(0) <= 0) {
        unloadLibrary(module);
        return BindResult::InitFailed;
    }
    table = t;
    return BindResult::Ok;
}

void bindServiceOrExit(ServiceTable& table, const std::filesystem::path& programFolder) {
    if (bindService(table, programFolder, nullptr) != BindResult::Ok) {
        std::exit(0);
    }
}

std::string describeBindFailure(BindResult result, const std::string& detail) {
    switch (result) {
    case BindResult::Ok:
        return "";
    case BindResult::NoLibrary:
        return std::string("cannot load ") + kServiceLibraryName;
    case BindResult::MissingEntryPoint:
        return std::string(kServiceLibraryName) + " has no entry point " + detail;
    case BindResult::InitFailed:
        return std::string(kServiceLibraryName) + " failed to initialise";
    case BindResult::AlreadyOpen:
        return "the keyboard link was opened before";
    }
    return "";
}

} // namespace tarvik::device
