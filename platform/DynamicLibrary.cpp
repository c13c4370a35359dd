#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace tarvik {

void* loadLibrary(const std::filesystem::path& file, std::string* why) {
    void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && why != nullptr) {
        const char* reason = ::dlerror();
        *why = reason != nullptr ? reason : "";
    }
    return library;
}

void* librarySymbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

void unloadLibrary(void* library) {
    ::dlclose(library);
}

} // namespace tarvik
