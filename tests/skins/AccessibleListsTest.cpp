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
        // The entries are there to be read, the selected one among them.
        ASSERT_EQ(reader->childCount(), editable ? 2 : 1);
        QAccessibleInterface* entries = reader->child(0);
        ASSERT_NE(entries, nullptr);
        EXPECT_EQ(reader->indexOfChild(entries), 0);
        EXPECT_GT(entries->childCount(), 0);
        if (editable) {
            list.lineEdit()->setText(QStringLiteral("Typed"));
            EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("Typed"));
        }
    }
}

} // namespace
} // namespace tarvik::ui
