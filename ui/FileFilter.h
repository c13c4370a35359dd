// File-dialog filters as the program's texts give them, in the Windows form
// "Profile files (*.tvk)|*.tvk|All files (*.*)|*.*||" (pairs of description and pattern list, '|' between,
// "||" at the end), turned into what a Qt file dialog takes. No Qt here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::ui {

struct FileFilter {
    std::string description;
    std::vector<std::string> patterns; // "*.tvk"; "*" for every file

    bool operator==(const FileFilter&) const = default;
};

// The pairs in order. "*.*" means every file (on Linux a name need not have a dot), so it becomes "*";
// an entry without a pattern is dropped; a description that is empty or only the patterns in
// parentheses is left empty. When no entry takes every file, one is added at the end: programs and
// other files without an extension must stay choosable.
std::vector<FileFilter> parseWindowsFilter(std::string_view filter);

// "Description (*.tvk *.bak);;(*)": the filter string of a Qt file dialog.
std::string qtFilterString(const std::vector<FileFilter>& filters);

// The extension a name typed without one gets in a save dialog: that of the first filter when its first
// pattern is "*.ext" with a plain extension; empty otherwise.
std::string defaultSuffix(const std::vector<FileFilter>& filters);

} // namespace tarvik::ui
