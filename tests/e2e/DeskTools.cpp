#include "tests/e2e/DeskTools.h"

#include "tests/e2e/Process.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace tarvik::e2e {

std::filesystem::path which(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return name;
}

std::string nameOf(const std::string& assignment) {
    return assignment.substr(0, assignment.find('='));
}

void assign(std::vector<std::string>& env, const std::vector<std::string>& entries) {
    for (const std::string& e : entries) {
        const std::string name = nameOf(e);
        std::erase_if(env, [&](const std::string& old) { return nameOf(old) == name; });
        env.push_back(e);
    }
}

std::string tail(const std::filesystem::path& log) {
    const std::string text = readFile(log);
    return text.size() > 600 ? text.substr(text.size() - 600) : text;
}

std::string safeName(const std::string& what) {
    std::string out;
    for (char c : what) {
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    }
    return out;
}

} // namespace tarvik::e2e
