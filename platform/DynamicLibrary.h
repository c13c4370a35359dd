// Libraries loaded at run time: the program's service library is found in the program folder or on the
// loader's search path and resolved entry point by entry point.
#pragma once

#include <filesystem>
#include <string>

namespace tarvik {

// The library at file (a bare name is looked up on the loader's search path), every symbol bound at once
// and kept to itself; null when it cannot be loaded, with the loader's reason in why (if given).
void* loadLibrary(const std::filesystem::path& file, std::string* why = nullptr);
// An exported symbol of a loaded library; null when it has none of that name.
void* librarySymbol(void* library, const char* name);
void unloadLibrary(void* library);

} // namespace tarvik
