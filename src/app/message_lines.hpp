// SPDX-License-Identifier: MIT
// How a message box's text is laid out: the windows' own boxes would break a Japanese line
// anywhere, even inside a word, so the text reaches them already broken where a reader
// expects it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnelo {

// The widest line of a message box, in columns: a full-width character takes two, an ASCII
// one one.
inline constexpr std::size_t kMessageColumns = 64;

// `text` with every line wider than `columns` broken at the last "。", "、" or space that
// keeps the part before it within `columns` (or, when none does, at the first there is); a
// space where a line is broken is dropped. The text's own line ends stay, and a line with no
// such place stays whole.
std::string MessageLines(std::string_view text, std::size_t columns = kMessageColumns);

}  // namespace varnelo
