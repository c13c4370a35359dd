#include "macros/MacroActionList.h"
#include "tests/macros/RecordingPrompter.h"

#include <QAccessible>
#include <QAccessibleTableCellInterface>
#include <QTableView>

#include <gtest/gtest.h>

namespace tarvik::macros {
namespace {

// A reader meets the action list as a table: each cell under its column's caption and its row's number.
TEST(MacroActionTable, ReadsAsATableWithColumnAndRowHeaders) {
    testing::RecordingPrompter prompter;
    MacroPanelModel model(prompter, [](const MacroRecord&) { return false; });
    MacroRecord m;
    m.setName(u"Build");
    m.setId(1);
    m.setActions(std::vector<MacroAction>{{100, 0x1E, kPress}, {50, 0x1E, kRelease}});
    const MacroSet store{m};
    model.loadMacroList(store);
    model.selectMacro(0);
    model.showMacro();

    MacroActionTable table(model);
    table.setHeaders(QStringLiteral("Key"), QStringLiteral("Action"), QStringLiteral("Delay"));
    table.reload();
    QTableView view;
    view.setModel(&table);

    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::Table);
    QAccessibleTableInterface* grid = reader->tableInterface();
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(grid->rowCount(), 2);
    ASSERT_EQ(grid->columnCount(), 3);
    const QString columns[] = {QStringLiteral("Key"), QStringLiteral("Action"), QStringLiteral("Delay")};
    for (int column = 0; column < 3; ++column) {
        QAccessibleInterface* cell = grid->cellAt(1, column);
        ASSERT_NE(cell, nullptr);
        QAccessibleTableCellInterface* c = cell->tableCellInterface();
        ASSERT_NE(c, nullptr);
        const auto columnHeaders = c->columnHeaderCells();
        const auto rowHeaders = c->rowHeaderCells();
        ASSERT_EQ(columnHeaders.size(), 1);
        ASSERT_EQ(rowHeaders.size(), 1);
        EXPECT_EQ(columnHeaders[0]->text(QAccessible::Name), columns[column]);
        EXPECT_EQ(rowHeaders[0]->text(QAccessible::Name), QStringLiteral("2"));
    }
}

} // namespace
} // namespace tarvik::macros
