#include "dialogs/OnScreenKeyboard.h"

#include "platform/FileChecks.h"

#include <string>
#include <system_error>

namespace tarvik::dialogs {

std::optional<std::filesystem::path> findOnScreenKeyboard(std::string_view pathVariable) {
    for (const char* program : {"onboard", "florence"}) {
        size_t start = 0;
        while (start <= pathVariable.size()) {
            const size_t end = std::min(pathVariable.find(':', start), pathVariable.size());
            const std::filesystem::path folder(std::string(pathVariable.substr(start, end - start)));
            // An empty or relative entry would search the working folder.
            if (folder.is_absolute() && isExecutableFile(folder / program)) {
                return folder / program;
            }
            start = end + 1;
        }
    }
    return std::nullopt;
}

} // namespace tarvik::dialogs
