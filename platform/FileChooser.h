// How the core and the windows ask for a file name without knowing about dialogs: QFileDialog in the
// program, a scripted answer in tests. Filters come in the Windows form "(*.tvk)|*.tvk|(*.*)|*.*||" and
// are translated by the implementation.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarvik {

class FileChooser {
public:
    enum class Mode { Open, Save };
    virtual ~FileChooser() = default;
    // The chosen path, or nothing when the user cancelled. startFolder may be empty; defaultName is the
    // proposed file name of a Save.
    virtual std::optional<std::filesystem::path> choose(Mode mode, const std::string& windowsFilter,
                                                        const std::filesystem::path& startFolder,
                                                        const std::string& defaultName = {}) = 0;
};

} // namespace tarvik
