#include "profiles/ProfileMenu.h"

#include "profiles/DataFolder.h"

namespace tarvik::profiles {

ProfileMenu buildProfileMenu(int currentProfile, std::u16string_view defaultName,
                             std::u16string_view tipPrefix) {
    ProfileMenu menu;
    const bool known = currentProfile >= 0 && currentProfile < kOnBoardProfiles;
    menu.items.push_back({kMenuDefaultProfile, std::u16string(defaultName), !known});
    menu.items.push_back({kMenuSeparator, {}, false});
    for (int p = 0; p < kOnBoardProfiles; ++p) {
        menu.items.push_back(
            {kMenuFirstProfile + p, cacheFilePath(p).filename().u16string(), p == currentProfile});
    }
    for (const ProfileMenuItem& item : menu.items) {
        if (item.checked) {
            menu.buttonCaption = item.text;
        }
    }
    menu.buttonTip = std::u16string(tipPrefix) + menu.buttonCaption;
    return menu;
}

std::optional<int> profileOfMenuCommand(int id) {
    if (id < kMenuDefaultProfile || id > kMenuLastCommand) {
        return std::nullopt;
    }
    return id - kMenuFirstProfile;
}

} // namespace tarvik::profiles
