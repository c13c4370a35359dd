// Which help page the program opens (help button, F1): the Chinese page for the Chinese language when the
// program folder has it, the English page otherwise.
#pragma once

#include <filesystem>
#include <system_error>

namespace tarvik {

inline constexpr const char* kHelpFolderName = "Help";
inline constexpr const char* kHelpPageEnglish = "index.html";
inline constexpr const char* kHelpPageChinese = "index_zh.html";

// programFolder / "Help" / the page for the language; empty when the folder holds neither page.
inline std::filesystem::path helpPageFor(const std::filesystem::path& programFolder, bool chinese) {
    const std::filesystem::path folder = programFolder / kHelpFolderName;
    std::error_code ec;
    const std::filesystem::path zh = folder / kHelpPageChinese;
    const std::filesystem::path en = folder / kHelpPageEnglish;
    if (chinese && std::filesystem::is_regular_file(zh, ec)) {
        return zh;
    }
    if (std::filesystem::is_regular_file(en, ec)) {
        return en;
    }
    // An English page missing from a damaged install: the Chinese one is still better than nothing.
    if (std::filesystem::is_regular_file(zh, ec)) {
        return zh;
    }
    return {};
}

} // namespace tarvik
