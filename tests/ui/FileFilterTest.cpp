#include "ui/FileFilter.h"

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

struct FilterCase {
    const char* windows;
    const char* qt;
    const char* suffix;
};

class WindowsFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(WindowsFilter, BecomesAQtFilterThatStillTakesEveryFile) {
    const FilterCase& c = GetParam();
    const auto filters = parseWindowsFilter(c.windows);
    EXPECT_EQ(qtFilterString(filters), c.qt);
    EXPECT_EQ(defaultSuffix(filters), c.suffix);
}

INSTANTIATE_TEST_SUITE_P(
    Values, WindowsFilter,
    ::testing::Values(
        // The profile files of import and export.
        FilterCase{"(*.tvk)|*.tvk|(*.*)|*.*||", "(*.tvk);;(*)", "tvk"},
        // Update programs: Linux programs have no extension, so every file stays choosable.
        FilterCase{"(*.exe)|*.exe||", "(*.exe);;(*)", "exe"},
        FilterCase{"Profile files (*.tvk)|*.tvk;*.bak|All files|*.*||",
                   "Profile files [*.tvk] (*.tvk *.bak);;All files (*)", "tvk"},
        // Without the closing "||" and with an entry that has no usable pattern.
        FilterCase{"Text|*.txt|Broken|(x)|Any|*", "Text (*.txt);;Any (*)", "txt"}, FilterCase{"", "(*)", ""},
        FilterCase{"|||", "(*)", ""},
        // A pattern that is not a plain extension gives no suffix.
        FilterCase{"Dumps|dump-*|(*.*)|*.*||", "Dumps (dump-*);;(*)", ""},
        FilterCase{"Any|*.*;*.*||", "Any (*)", ""}));

TEST(WindowsFilter, KeepsPatternOrderAndDropsDuplicates) {
    const auto filters = parseWindowsFilter("X|*.a;*.b;*.a||");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.a", "*.b"}));
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*"}));
}

} // namespace
} // namespace tarvik::ui
