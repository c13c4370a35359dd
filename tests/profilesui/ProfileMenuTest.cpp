#include "profiles/ProfileMenu.h"

#include "platform/Paths.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

namespace tarvik::profiles {
namespace {

const std::u16string kDefault = u"<Default Profile>";
const std::u16string kTip = u"The current contextual  mode: ";

TEST(ProfileMenu, TheCurrentProfileIsCheckedAndNamesTheManagerButton) {
    testing::useOwnHome();
    ProfileMenu m = buildProfileMenu(1, kDefault, kTip);
    // Every on-board profile lives in the one cache file, so each entry carries its name.
    const std::vector<ProfileMenuItem> expected{{kMenuDefaultProfile, kDefault, false},
                                                {kMenuSeparator, u"", false},
                                                {9001, u"$Profile0", false},
                                                {9002, u"$Profile0", true},
                                                {9003, u"$Profile0", false}};
    EXPECT_EQ(m.items, expected);
    EXPECT_EQ(m.buttonCaption, u"$Profile0");
    EXPECT_EQ(m.buttonTip, kTip + u"$Profile0");
}

TEST(ProfileMenu, AnUnknownProfileChecksTheDefaultEntry) {
    testing::useOwnHome();
    for (int current : {-1, 3, 200}) {
        ProfileMenu m = buildProfileMenu(current, kDefault, kTip);
        ASSERT_EQ(m.items.size(), 5u);
        int checked = 0;
        for (const auto& item : m.items) {
            checked += item.checked ? 1 : 0;
        }
        EXPECT_EQ(checked, 1) << current;
        EXPECT_TRUE(m.items[0].checked) << current;
        EXPECT_EQ(m.buttonCaption, kDefault) << current;
        EXPECT_EQ(m.buttonTip, kTip + kDefault) << current;
    }
}

TEST(ProfileMenu, CommandsMapToProfilesByTheirDistanceFrom9001) {
    const std::pair<int, std::optional<int>> cases[] = {
        {8999, std::nullopt}, {9000, -1},           {9001, 0},           {9003, 2}, {9004, 3},
        {9200, 199},          {9201, std::nullopt}, {1135, std::nullopt}};
    for (const auto& [id, profile] : cases) {
        EXPECT_EQ(profileOfMenuCommand(id), profile) << id;
    }
}

} // namespace
} // namespace tarvik::profiles
