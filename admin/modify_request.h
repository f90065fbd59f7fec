#pragma once
// What the form expert hands to the data modification windows: the table, the columns chosen
// with their roles, the rows wanted and the layout, with the login of the window that started
// the expert (each data modification window opens a connection of its own with it).

#include <QString>
#include <QStringList>

namespace ostrim {

enum class ModifyLayout { Grid = 1, Vertical = 2, Horizontal = 3 };

struct ModifyLogin {
    QString server, user, password, database;
};

struct ModifyRequest {
    QString table;         // at most 30 characters
    QStringList columns;   // every selected column, the keys first
    QStringList keys;      // the key columns, at least one
    QStringList updatable; // the selected columns that are not keys
    QString where;         // the expert's WHERE text, as typed
    QString selectText;    // the grid window's select
    ModifyLayout layout = ModifyLayout::Grid;
    ModifyLogin login;
};

} // namespace ostrim
