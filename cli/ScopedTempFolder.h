// A private folder for one command's temporary files (mode 0700), removed with everything in it when the
// scope ends, or by a second interrupting signal that ends the process at once.
#pragma once

#include "cli/Interruption.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tarvik::cli {

class ScopedTempFolder {
public:
    // Inside base; path() is empty when it could not be made.
    explicit ScopedTempFolder(const std::filesystem::path& base) {
        std::string pattern = (base / "tarvikctl-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            interruption::addTemporary(path_);
        }
    }
    ~ScopedTempFolder() {
        if (!path_.empty()) {
            interruption::removeTemporary(path_);
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace tarvik::cli
