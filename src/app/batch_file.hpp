// SPDX-License-Identifier: MIT
// The batch list file: a text file of CR LF lines, the product word, the format mark "200",
// the combine flag, the combined file's name, then one line per entry of three quoted fields
// (conversion type, source .mif, target .shp) separated by TAB. Statuses are not stored.
#pragma once

#include <string>
#include <string_view>

#include "app/batch_list.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"

namespace varnelo {

// A file whose first lines are not those of a batch list.
class EInvalidBatchList : public Exception {
  public:
    EInvalidBatchList() : Exception(Text(TText::kAppInvalidBatchList)) {}
};

// Writes the list to `path`, replacing any file there: in the system's code page, or in UTF-8
// after its byte-order mark when that code page cannot hold a character of a path. A double
// quote inside a quoted field is written doubled. Raises, before anything is written, when a
// path holds a line break or a zero byte, which no line of the file can keep; raises
// EInOutError when the file cannot be written.
void SaveBatchList(const TBatchList& list, const std::string& path);

// Reads the file at `path` into `list`: its entries are appended, Combine and CombineFile set.
// The file is read as UTF-8 when it begins with the byte-order mark or is all well-formed
// UTF-8 beyond ASCII, else in the system's code page. Raises EInOutError when the file cannot
// be read, EInvalidBatchList for fewer than four lines or a wrong first or second line,
// EConvertError for a third line that is no Boolean, an entry whose type is no whole number
// from 0 to 4, or a path that does not read in the list's encoding (naming its line). What
// was read before an error stays in `list`.
void LoadBatchList(const std::string& path, TBatchList& list);

// Line 3 of the file: a number (true unless zero) or True or False in any letter case, with
// blanks around it allowed. Raises EConvertError "'<text>' は正しい論理型ではありません".
bool BatchListBoolean(std::string_view text);

}  // namespace varnelo
