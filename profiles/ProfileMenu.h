// The profile menu of the main window: <Default Profile>, a separator, then one entry per on-board
// profile, the one the keyboard runs with a check mark; and the caption and tooltip the profile-manager
// button takes from the checked entry. Rebuilt after every switch.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

inline constexpr int kMenuDefaultProfile = 9000;
inline constexpr int kMenuFirstProfile = 9001; // + p for on-board profile p
inline constexpr int kMenuLastCommand = 9200;
inline constexpr int kMenuSeparator = 0;
inline constexpr int kOnBoardProfiles = 3;

struct ProfileMenuItem {
    int id = kMenuSeparator; // kMenuSeparator for the separator
    std::u16string text;
    bool checked = false;
    friend bool operator==(const ProfileMenuItem&, const ProfileMenuItem&) = default;
};

struct ProfileMenu {
    std::vector<ProfileMenuItem> items;
    std::u16string buttonCaption; // the checked entry's text
    std::u16string buttonTip;     // PROFILE_TIP followed by it
};

// currentProfile: the keyboard's current on-board profile as cached (-1 when not read, which checks
// <Default Profile>). defaultName: DEFAULT_PROFILE_NAME; tipPrefix: PROFILE_TIP. Each profile entry
// shows the file name of the keyboard cache file, which is the one file of every profile.
ProfileMenu buildProfileMenu(int currentProfile, std::u16string_view defaultName,
                             std::u16string_view tipPrefix);

// The profile a menu command switches to: id - 9001 for 9000..9200 (-1 for <Default Profile>, which
// selects nothing), nothing for any other id.
std::optional<int> profileOfMenuCommand(int id);

} // namespace tarvik::profiles
