// Gives each test its own home, documents, configuration and runtime folders inside the build tree's test
// home, so tests that create or remove the data folder or the settings file can run side by side.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarvik::testing {

inline std::filesystem::path useOwnHome() {
    static const std::string base = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/tmp";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path home =
        std::filesystem::path(base) / "own" / (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    // Its own runtime folder too, so that the keyboard lock file of tests running side by side (each on
    // its own virtual keyboard) does not make them wait for each other.
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    return home;
}

} // namespace tarvik::testing
