#include "platform/PrivateFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::paths {

namespace {

void note(std::string* why, const std::string& text) {
    if (why) {
        *why += (why->empty() ? "" : "; ") + text;
    }
}

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::filesystem::path cacheHome() {
    if (const char* c = std::getenv("XDG_CACHE_HOME"); c && *c == '/') {
        return c;
    }
    if (const char* h = std::getenv("HOME"); h && *h == '/') {
        return std::filesystem::path(h) / ".cache";
    }
    return {};
}

} // namespace

bool isPrivateFolder(const std::filesystem::path& folder, std::string* why) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        note(why, "cannot look at " + folder.string() + ": " + std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        note(why, folder.string() + " is not a folder");
        return false;
    }
    if (st.st_uid != ::getuid()) {
        note(why, folder.string() + " belongs to another user (uid " + std::to_string(st.st_uid) + ")");
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        note(why, "others may enter " + folder.string() + " (mode " + modeText(st.st_mode) + ", not 0700)");
        return false;
    }
    return true;
}

bool ensurePrivateFolder(const std::filesystem::path& folder, std::string* why) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        note(why, "cannot create " + folder.string() + ": " + std::strerror(errno));
        return false;
    }
    return isPrivateFolder(folder, why);
}

std::filesystem::path privateFallbackFolder(const std::string& name, std::string* why) {
    const std::string own = name + "-" + std::to_string(::getuid());
    const std::filesystem::path shared = std::filesystem::path("/tmp") / own;
    if (ensurePrivateFolder(shared, why)) {
        return shared;
    }
    // A name in /tmp can be taken by anyone; the cache folder is the user's alone.
    const std::filesystem::path cache = cacheHome();
    if (cache.empty()) {
        note(why, "no HOME for a folder of its own");
        return {};
    }
    std::error_code ec;
    std::filesystem::create_directories(cache, ec);
    const std::filesystem::path mine = cache / (own + "-runtime");
    if (ensurePrivateFolder(mine, why)) {
        return mine;
    }
    return {};
}

std::filesystem::path privateRuntimeFolder(const std::string& name, std::string* why) {
    if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x == '/') {
        // The runtime folder itself need only keep others from adding or replacing entries; the folder
        // made inside it is private in full.
        const std::filesystem::path runtime(x);
        struct stat st {};
        const bool own = ::lstat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                         st.st_uid == ::getuid() && (st.st_mode & 022) == 0;
        if (!own) {
            note(why,
                 "XDG_RUNTIME_DIR " + runtime.string() + " is missing, another user's or writable by others");
        } else {
            const std::filesystem::path folder = runtime / name;
            if (ensurePrivateFolder(folder, why)) {
                return folder;
            }
        }
    }
    return privateFallbackFolder(name, why);
}

} // namespace tarvik::paths
