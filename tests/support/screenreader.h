#pragma once

// A screen reader's requests, made in process on accessible interfaces the
// way Qt's AT-SPI bridge makes them for a reader over D-Bus.
#include <QAccessible>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <gtest/gtest.h>

// The table requests that the bridge answers by calling through the cell
// cellAt() returns, unchecked: a child index turned into row and column (the
// row and column extents at an index), and every cell one past each end
// (selection, extents, headers), as a reader still holding the row count of
// a list that has since reloaded asks for them. `rowsBefore` adds the rows a
// reader read earlier.
inline void askLikeTheBridge(QAccessibleInterface* table, int rowsBefore = 0)
{
    QAccessibleTableInterface* t = table->tableInterface();
    ASSERT_NE(t, nullptr);
    const int rows = qMax(t->rowCount(), rowsBefore);
    const int columns = t->columnCount();
    const auto cellAt = [&](int row, int column) -> QAccessibleTableCellInterface* {
        QAccessibleInterface* cell = t->cellAt(row, column);
        return cell ? cell->tableCellInterface() : nullptr;
    };
    for (int i = 0; columns > 0 && i < table->childCount(); ++i) {
        QAccessibleTableCellInterface* cell = cellAt(i / columns, i % columns);
        ASSERT_NE(cell, nullptr) << "extents at child index " << i;
        cell->rowIndex();
        cell->columnIndex();
        cell->rowExtent();
        cell->columnExtent();
        cell->isSelected();
    }
    for (int r = -1; r <= rows; ++r) {
        for (int c = -1; c <= columns; ++c) {
            QAccessibleTableCellInterface* cell = cellAt(r, c);
            ASSERT_NE(cell, nullptr) << "cell " << r << "," << c;
            cell->isSelected();
            cell->rowExtent();
            cell->columnExtent();
            cell->rowHeaderCells();
            cell->columnHeaderCells();
            EXPECT_EQ(table->indexOfChild(t->cellAt(r, c)) >= 0,
                      r >= 0 && r < t->rowCount() && c >= 0 && c < columns)
                << "index of cell " << r << "," << c;
        }
    }
}

// Walks every accessible below `root` as a reader listing the whole tree
// does (name, role, state, bounds, actions, each child and its place in its
// parent) and asks every table like the bridge. Returns the tables found;
// `rowsBefore` holds each table's row count from the previous walk.
inline QList<QAccessibleInterface*> walkLikeAReader(QObject* root,
                                                    QHash<QObject*, int>* rowsBefore = nullptr)
{
    QList<QAccessibleInterface*> tables;
    QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(root)};
    int visited = 0;
    while (!pending.isEmpty() && visited < 20000) {
        QAccessibleInterface* iface = pending.takeLast();
        if (!iface || !iface->isValid())
            continue;
        ++visited;
        iface->text(QAccessible::Name);
        iface->text(QAccessible::Description);
        iface->role();
        iface->state();
        iface->rect();
        if (QAccessibleActionInterface* actions = iface->actionInterface())
            actions->actionNames();
        if (QAccessibleTextInterface* text = iface->textInterface())
            text->text(0, text->characterCount());
        if (iface->tableInterface()) {
            tables.append(iface);
            const int before = rowsBefore ? rowsBefore->value(iface->object()) : 0;
            askLikeTheBridge(iface, before);
            if (rowsBefore)
                rowsBefore->insert(iface->object(), iface->tableInterface()->rowCount());
        }
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface* child = iface->child(i);
            if (!child)
                continue;
            if (iface->tableInterface()) {
                EXPECT_EQ(iface->indexOfChild(child), i) << "child of a table";
            }
            pending.append(child);
        }
    }
    return tables;
}
