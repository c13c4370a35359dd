#include "ui/FileFilter.h"

#include <algorithm>

namespace tarvik::ui {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A Qt filter ends in its pattern list in parentheses; characters that would end or split that list are
// not taken from a text file.
bool usablePattern(std::string_view p) {
    return !p.empty() && p.find_first_of("()|; \t") == std::string_view::npos;
}

std::vector<std::string> splitPatterns(std::string_view list) {
    std::vector<std::string> out;
    while (true) {
        const size_t semi = list.find(';');
        std::string_view p = trim(list.substr(0, semi));
        if (p == "*.*") {
            p = "*";
        }
        if (usablePattern(p) && std::find(out.begin(), out.end(), p) == out.end()) {
            out.emplace_back(p);
        }
        if (semi == std::string_view::npos) {
            break;
        }
        list.remove_prefix(semi + 1);
    }
    return out;
}

std::string joined(const std::vector<std::string>& patterns, std::string_view separator) {
    std::string out;
    for (const std::string& p : patterns) {
        if (!out.empty()) {
            out += separator;
        }
        out += p;
    }
    return out;
}

} // namespace

std::vector<FileFilter> parseWindowsFilter(std::string_view filter) {
    std::vector<std::string_view> parts;
    while (!filter.empty()) {
        const size_t bar = filter.find('|');
        parts.push_back(filter.substr(0, bar));
        if (bar == std::string_view::npos) {
            break;
        }
        filter.remove_prefix(bar + 1);
    }
    std::vector<FileFilter> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty()) {
            break; // the "||" that ends the list
        }
        FileFilter f;
        f.patterns = splitPatterns(parts[i + 1]);
        if (f.patterns.empty()) {
            continue;
        }
        std::string_view description = trim(parts[i]);
        // "(*.tvk)" says no more than the pattern list that follows it.
        const std::string rawPatterns = "(" + std::string(trim(parts[i + 1])) + ")";
        if (description != rawPatterns && description != "(" + joined(f.patterns, ";") + ")") {
            // Parentheses would be taken for the pattern list by the dialog.
            std::string d;
            for (char c : description) {
                d.push_back(c == '(' ? '[' : c == ')' ? ']' : c);
            }
            f.description = d;
        }
        out.push_back(std::move(f));
    }
    const bool takesAll = std::any_of(out.begin(), out.end(), [](const FileFilter& f) {
        return std::find(f.patterns.begin(), f.patterns.end(), "*") != f.patterns.end();
    });
    if (!takesAll) {
        out.push_back(FileFilter{{}, {"*"}});
    }
    return out;
}

std::string qtFilterString(const std::vector<FileFilter>& filters) {
    std::string out;
    for (const FileFilter& f : filters) {
        if (!out.empty()) {
            out += ";;";
        }
        if (!f.description.empty()) {
            out += f.description + " ";
        }
        out += "(" + joined(f.patterns, " ") + ")";
    }
    return out;
}

std::string defaultSuffix(const std::vector<FileFilter>& filters) {
    if (filters.empty() || filters.front().patterns.empty()) {
        return {};
    }
    const std::string& p = filters.front().patterns.front();
    if (p.size() < 3 || p.compare(0, 2, "*.") != 0) {
        return {};
    }
    const std::string ext = p.substr(2);
    const bool plain = std::all_of(ext.begin(), ext.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    return plain ? ext : std::string();
}

} // namespace tarvik::ui
