// SPDX-License-Identifier: MIT
// The small byte-string operations every MIF and MID reader rests on. Text is bytes of
// code page 932 and is never converted; positions are 1-based where the callers count
// that way. Every operation is linear in its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shape/ascii_text.hpp"
#include "shape/character_set.hpp"
#include "shape/letter_case.hpp"

namespace varnelo {

// Bytes 0-32 are removed by Trim (IsTrimmable); bytes 1-32 separate fields in SplitString.
constexpr bool IsBlank(unsigned char b) noexcept {
    return b >= 1 && b <= 32;
}

// Removes every byte 0-32 from both ends. The view form returns a part of `text`.
constexpr std::string_view TrimView(std::string_view text) noexcept {
    return TrimBlanks(text);
}
std::string Trim(std::string_view text);

// Head and tail of a text cut at the first `delimiter`, both trimmed; when the delimiter
// does not occur the head is the trimmed text and the tail is empty.
struct THeadTailView {
    std::string_view Head;
    std::string_view Tail;
};
struct THeadTail {
    std::string Head;
    std::string Tail;
};
THeadTailView SplitAtFirstView(char delimiter, std::string_view text) noexcept;
THeadTail SplitAtFirst(char delimiter, std::string_view text);
// The same cut at the first space or TAB, whichever comes first: the first word of a header
// or column line, however its producer separated it from the rest.
THeadTailView SplitAtFirstBlankView(std::string_view text) noexcept;

// 1-based position of the first `sub` starting at or after `start` (below 1 counts as 1);
// 0 when there is none, when `start` lies beyond the text, or when `sub` is empty.
std::size_t PosFrom(std::int64_t start, std::string_view sub, std::string_view text) noexcept;

// Number of non-overlapping occurrences of `sub` from `start` on; 0 for an empty `sub`.
std::size_t CountOccurrences(std::string_view sub, std::string_view text,
                             std::int64_t start) noexcept;

// Turns every run of spaces (byte 32) into one space; tabs and other blanks stay.
std::string CollapseBlanks(std::string_view text);
// The same into a caller's buffer, which `text` must not point into.
void CollapseBlanksInto(std::string_view text, std::string& out);

// Walks the fields of a text one by one, by the field rules of SplitString: blanks and
// the delimiter separate fields, a double-quoted field keeps its blanks and delimiters
// with each doubled quote read as one, a two-byte character is never cut.
class TFieldScanner {
  public:
    TFieldScanner(std::string_view text, char delimiter) noexcept;

    // Moves to the next field; false when there is none left.
    bool Next();
    // The current field. It points into the text, or into the scanner when a quoted
    // field had doubled quotes, and stays valid until the next call of Next.
    std::string_view Field() const noexcept { return field_; }

  private:
    void SkipBlanks() noexcept;
    void ScanPlainField() noexcept;

    std::string_view text_;
    char delimiter_;
    std::size_t pos_ = 0;
    bool trailingEmptyField_ = false;
    std::string_view field_;
    std::string unquoted_;
};

// The delimiter of .mid rows when the header declares none: a comma or a TAB.
inline constexpr char kCommaOrTab = '\0';

// Splits .mid rows into their values. A row is split at its delimiter outside double quotes;
// blanks and control characters around a value are removed, blanks inside an unquoted value
// are kept; a value that begins with a double quote is a quoted string (a doubled quote is one
// quote, delimiters and line ends inside are kept), and anything after its closing quote, up
// to the delimiter, is added to it. No byte inside a character of the source's character set
// is taken for a delimiter. Values beyond the `maxValues` first are read past without being
// kept.
class TMidRowSplitter {
  public:
    explicit TMidRowSplitter(char delimiter = ',', std::size_t maxValues = SIZE_MAX,
                             TCharacterSet characters = TCharacterSet::ShiftJis);

    // Splits a whole row. False when the row ends inside a quoted value, whose content then
    // runs to the end of the row.
    bool Split(std::string_view row);
    // Splits on after an open quoted value: `row` is the row last split with more text
    // added after it. Only the open value and what follows it are read again.
    bool Continue(std::string_view row);

    std::size_t Count() const noexcept { return values_.size(); }
    // Value `index` (from 0, below Count), valid until the next Split or Continue; points
    // into the row or into the splitter.
    std::string_view Value(std::size_t index) const noexcept {
        const TValue& v = values_[index];
        return {(v.Unquoted ? unquoted_.data() : row_.data()) + v.Offset, v.Length};
    }
    // True when value `index` was a quoted string in the row: its quotes are gone already.
    bool WasQuoted(std::size_t index) const noexcept { return values_[index].Quoted; }
    std::string_view Row() const noexcept { return row_; }

  private:
    struct TValue {
        std::size_t Offset;
        std::size_t Length;
        bool Unquoted;  // held in `unquoted_` rather than in the row
        bool Quoted;
    };

    bool SplitFrom(std::size_t pos);
    template <class TFindDelimiter>
    bool SplitValues(std::size_t pos, TFindDelimiter findDelimiter);
    std::size_t EndOfText(std::size_t from, std::size_t end) const noexcept;
    bool IsDelimiter(char c) const noexcept {
        const auto b = static_cast<unsigned char>(c);
        return b == first_ || b == second_;
    }
    void AddQuotedValue(std::string_view content, std::string_view after);
    TValue CopiedValue(std::string_view content, std::string_view after);

    char delimiter_;
    unsigned char first_;   // the delimiter, or a comma when there is none
    unsigned char second_;  // the delimiter, or a TAB when there is none
    bool byWords_;          // the delimiter can be sought eight bytes at a time
    TCharacterSet characters_;
    std::size_t maxValues_;
    std::string_view row_;
    std::vector<TValue> values_;
    std::string unquoted_;  // contents that are no longer a part of the row
    std::string doubled_;   // a quoted content with its doubled quotes reduced
    // Where the quoted value left open by the last split begins, and the size of
    // `unquoted_` and `values_` before it.
    std::size_t openAt_ = 0;
    std::size_t openUnquoted_ = 0;
    std::size_t openValues_ = 0;
};

// Field number `index` (from 1) of `text`; empty when index is below 1 or the text has
// fewer fields. Only the first byte of a delimiter counts, so it is passed as one byte.
std::string SplitString(std::string_view text, std::int64_t index, char delimiter);

// The quoted string at the start of `text` when it begins with `quote` and its content is
// not empty; otherwise `text` unchanged.
std::string Dequote(std::string_view text, char quote);
// The same without a copy: the result points into `text`, or into `scratch` when doubled
// quotes had to be reduced (so `text` must not point into `scratch`).
// DequoteView of a text that begins with the quote.
std::string_view DequoteQuotedView(std::string_view text, char quote, std::string& scratch);
inline std::string_view DequoteView(std::string_view text, char quote, std::string& scratch) {
    // Most values do not begin with the quote; they are answered without a call.
    return !text.empty() && text.front() == quote ? DequoteQuotedView(text, quote, scratch) : text;
}

// Keyword comparison by the one letter-case rule (SameIgnoringCase): the same characters,
// ASCII letters compared ignoring case.
constexpr bool SameKeyword(std::string_view a, std::string_view b) noexcept {
    return SameIgnoringCase(a, b);
}
// True when `text` begins with `keyword` by the same rule; a shorter text never does.
constexpr bool StartsWithKeyword(std::string_view text, std::string_view keyword) noexcept {
    return StartsWithIgnoringCase(text, keyword);
}

}  // namespace varnelo
