// SPDX-License-Identifier: MIT
// The values of a converted table, read back through the table engine.
#pragma once

#include <string>
#include <vector>

#include "shape/local_dbf.hpp"

namespace varnelo::testing {

// The value of `field` in each row of the .dbf at `path`, as the field gives it as text.
inline std::vector<std::string> DbfColumn(const std::string& path, const std::string& field) {
    TLocalDbf table;
    table.SetTableName(path);
    table.SetReadOnly(true);
    table.Open();
    std::vector<std::string> values;
    for (table.First(); !table.Eof(); table.Next()) {
        values.push_back(table.FieldByName(field).AsString());
    }
    return values;
}

}  // namespace varnelo::testing
