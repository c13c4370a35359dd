// The skin's geometry and the keyboard layout name the same buttons at the same LED positions.
#include "keyboard/Layout.h"
#include "tools/skingen/KeyboardGeometry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tarvik::skingen {
namespace {

TEST(KeyboardLayoutAgreement, SkinNamesAndLedPositionsMatch) {
    std::map<std::string, int> skin;
    for (const KeyGeometry& k : keyButtons()) {
        skin[k.skinName] = k.ledPosition;
    }
    ASSERT_EQ(keyboard::KeyButtons().size(), skin.size());
    for (const keyboard::KeyButton& b : keyboard::KeyButtons()) {
        const std::string name = keyboard::SkinNameOfButton(b.controlId);
        ASSERT_EQ(skin.count(name), 1u) << name;
        EXPECT_EQ(skin[name], b.ledPosition) << name;
        EXPECT_EQ(keyboard::LedPositionOfButton(b.controlId), b.ledPosition) << name;
    }
    for (size_t n = 0; n < keyboard::GButtons().size(); ++n) {
        EXPECT_EQ(keyboard::SkinNameOfButton(keyboard::GButtons()[n].controlId), gButtons()[n].skinName);
        EXPECT_EQ(keyboard::LedPositionOfButton(keyboard::GButtons()[n].controlId),
                  gButtons()[n].ledPosition);
    }
    EXPECT_EQ(fnButton().ledPosition, keyboard::kFnLedPosition);
    EXPECT_EQ(keyboard::LedPositionOfButton(keyboard::kFnButtonId), fnButton().ledPosition);
}

} // namespace
} // namespace tarvik::skingen
