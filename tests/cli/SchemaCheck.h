// Runs tests/cli/check_profile_schema.py over files: the schema of docs/ against what the tests write.
#pragma once

#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarvik::testing {

inline std::filesystem::path sourceDir() {
    return TARVIK_SOURCE_DIR;
}

// Every file of valid must match the schema and every file of invalid must not.
inline void expectSchemaVerdicts(const std::vector<std::filesystem::path>& valid,
                                 const std::vector<std::filesystem::path>& invalid,
                                 const std::filesystem::path& scratch) {
    std::string words = "'" + (sourceDir() / "tests/cli/check_profile_schema.py").string() + "' '" +
                        (sourceDir() / "docs/profile-json.schema.json").string() + "'";
    for (const auto& f : valid) {
        words += " '" + f.string() + "'";
    }
    if (!invalid.empty()) {
        words += " --invalid";
        for (const auto& f : invalid) {
            words += " '" + f.string() + "'";
        }
    }
    const auto r = testsupport::runProgram(TARVIK_PYTHON3, words, "", scratch);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(std::to_string(valid.size() + invalid.size()) + " files checked, 0 not as expected"),
              std::string::npos)
        << r.out << r.err;
}

} // namespace tarvik::testing
