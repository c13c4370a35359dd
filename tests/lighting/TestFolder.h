// A fresh data folder per test inside the test's HOME (which the test runner points into the build tree).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvik::lighting::test {

inline std::filesystem::path freshFolder(const std::string& leaf = "Velmora") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const char* home = std::getenv("HOME");
    std::filesystem::path root = home != nullptr ? home : std::filesystem::temp_directory_path().string();
    auto folder = root / "lighting" / info->test_suite_name() / info->name() / leaf;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

} // namespace tarvik::lighting::test
