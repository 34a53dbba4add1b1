// SPDX-License-Identifier: MIT
#include "engine/mid_rows.hpp"

#include <string_view>

namespace varnelo {

namespace {

// True when a line read inside an open quoted value closes it: it holds a double quote that
// is not one of a doubled pair.
bool ClosesQuote(std::string_view line) noexcept {
    for (std::size_t q = line.find('"'); q != std::string_view::npos; q = line.find('"', q + 2)) {
        if (q + 1 == line.size() || line[q + 1] != '"') {
            return true;
        }
    }
    return false;
}

}  // namespace

TMidRowReader::TMidRowReader(TLineReader& mid, char delimiter, std::size_t maxValues,
                             TCharacterSet characters)
    : mid_(mid), splitter_(delimiter, maxValues, characters) {}

const TMidRowSplitter& TMidRowReader::ReadRow() {
    const std::int64_t lineBefore = mid_.LineNumber();
    const std::string_view line = mid_.ReadLineView();
    // A read at the end of the file counts no line.
    rowLine_ = mid_.LineNumber() != lineBefore ? mid_.LineNumber() : 0;
    if (splitter_.Split(line)) {
        return splitter_;
    }
    // The line is copied before the reader looks further, which may reuse its bytes. The
    // lines are joined, and each new one is only searched for the closing quote, so that a
    // long value over many lines is split once, not once per line.
    joined_.assign(line);
    splitter_.Continue(joined_);
    if (mid_.Eof()) {
        return splitter_;
    }
    ++rowsOverSeveralLines_;
    do {
        joined_ += mid_.LastLineEnd();
        const std::string_view next = mid_.ReadLineView();
        joined_ += next;
        if (ClosesQuote(next) && splitter_.Continue(joined_)) {
            return splitter_;
        }
    } while (!mid_.Eof());
    splitter_.Continue(joined_);
    return splitter_;
}

}  // namespace varnelo
