// SPDX-License-Identifier: MIT
// A field of a table's current record as viewers show it, one rule for the command-line
// listing and the window's table.
#pragma once

#include <string>

#include "shape/local_dbf.hpp"

namespace varnelo {

// Field `index` of the current record: text as stored (bytes of the table's code page, for
// the caller to decode), numbers with the decimals the field stores, logicals "T" or "F",
// dates "yyyy/mm/dd", and "" when the field has no value.
std::string ShownFieldValue(const TLocalDbf& table, int index);

}  // namespace varnelo
