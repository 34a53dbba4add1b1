// SPDX-License-Identifier: MIT
// The .mid file read row by row. A row is one line, or several when a double-quoted value
// holds line ends, as other producers write values of more than one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/line_reader.hpp"
#include "engine/text_ops.hpp"

namespace varnelo {

class TMidRowReader {
  public:
    // Rows are split at `delimiter` (kCommaOrTab when the header declares none), never inside
    // a character of `characters`; only the first `maxValues` values of a row are kept.
    TMidRowReader(TLineReader& mid, char delimiter, std::size_t maxValues,
                  TCharacterSet characters = TCharacterSet::ShiftJis);

    // Reads and splits the next row. While a quoted value is open at the end of a line the
    // row goes on over the next one, the line end kept in the value as the file has it; a
    // quote never closed ends at the end of the file. At the end of the file the row is
    // empty. The values stay valid until the next call.
    const TMidRowSplitter& ReadRow();

    // The line the row last read begins on; 0 for a row read at the end of the file.
    std::int64_t RowLine() const noexcept { return rowLine_; }
    // Rows read so far that went on over more than one line.
    std::int64_t RowsOverSeveralLines() const noexcept { return rowsOverSeveralLines_; }

  private:
    TLineReader& mid_;
    TMidRowSplitter splitter_;
    std::string joined_;  // the lines of a row over several lines
    std::int64_t rowLine_ = 0;
    std::int64_t rowsOverSeveralLines_ = 0;
};

}  // namespace varnelo
