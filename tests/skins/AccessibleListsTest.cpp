#include "ui/Accessibility.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

// A drop-down list reads as its name with its entry as the value, editable or not; without a name the
// entry stands in as before.
TEST(AccessibleLists, NameStaysTheNameAndTheEntryIsTheValue) {
    installAccessibleControls();
    for (const bool editable : {false, true}) {
        QComboBox list;
        list.setEditable(editable);
        list.addItems({QStringLiteral("Wave"), QStringLiteral("Static")});
        list.setCurrentIndex(1);
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&list);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->role(), QAccessible::ComboBox);
        EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Static")) << editable;

        list.setAccessibleName(QStringLiteral("Lighting mode"));
        EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Lighting mode")) << editable;
        EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("Static")) << editable;
        if (editable) {
            list.lineEdit()->setText(QStringLiteral("Typed"));
            EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("Typed"));
        }
    }
}

} // namespace
} // namespace tarvik::ui
