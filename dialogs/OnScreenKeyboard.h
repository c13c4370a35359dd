// The on-screen keyboard the key assignment dialog can start: the first of onboard and florence found on
// the search path.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace tarvik::dialogs {

// The program to start, searched in the folders of pathVariable (a PATH value: folders separated by ':';
// empty entries and relative folders are skipped). Nothing when neither is installed.
std::optional<std::filesystem::path> findOnScreenKeyboard(std::string_view pathVariable);

} // namespace tarvik::dialogs
