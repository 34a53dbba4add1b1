// SPDX-License-Identifier: MIT
#include "engine/text_ops.hpp"

#include <algorithm>
#include <cstring>

#include "shape/character_set.hpp"
#include "shape/text_words.hpp"

namespace varnelo {

namespace {

// True when a two-byte character of code page 932 starts at `i`; its trail byte may look
// like an ASCII letter and must then not be compared loosely. A lead byte followed by
// anything else is read as a byte of its own, so a broken character can never swallow the
// blank or delimiter after it.
constexpr bool IsDoubleByteAt(std::string_view text, std::size_t i) noexcept {
    return CharBytesAt(TCharacterSet::ShiftJis, text, i) == 2;
}

// The quoted string whose opening quote stands at `open`. A doubled quote stands for one
// quote; the first single quote closes. Without a closing quote the content runs to the end
// of the text and `Closed` is false. `resume` becomes the index after the closing quote (the
// text's size when unclosed). The content points into `text` unless doubled quotes had to
// be reduced, in which case it points into `scratch`.
struct TQuoted {
    std::string_view Content;
    bool Closed;
};

// ScanQuoted past a first quote that is doubled or missing.
TQuoted ScanQuotedFurther(std::string_view text, std::size_t open, char quote, std::string& scratch,
                          std::size_t& resume) {
    const std::size_t n = text.size();
    std::size_t segment = open + 1;
    bool copying = false;
    for (;;) {
        const std::size_t q = text.find(quote, segment);
        if (q == std::string_view::npos) {
            resume = n;
            if (!copying) {
                return {text.substr(std::min(segment, n)), false};
            }
            scratch.append(text.substr(segment));
            return {scratch, false};
        }
        if (q + 1 < n && text[q + 1] == quote) {
            if (!copying) {
                scratch.clear();
                copying = true;
            }
            scratch.append(text.substr(segment, q + 1 - segment));  // keeps one quote
            segment = q + 2;
            continue;
        }
        resume = q + 1;
        if (!copying) {
            return {text.substr(segment, q - segment), true};
        }
        scratch.append(text.substr(segment, q - segment));
        return {scratch, true};
    }
}

// Most quoted strings hold no quote: the first quote after the opening one closes them.
inline TQuoted ScanQuoted(std::string_view text, std::size_t open, char quote, std::string& scratch,
                          std::size_t& resume) {
    const std::size_t q = text.find(quote, open + 1);
    if (q != std::string_view::npos && (q + 1 == text.size() || text[q + 1] != quote)) {
        resume = q + 1;
        return {text.substr(open + 1, q - open - 1), true};
    }
    return ScanQuotedFurther(text, open, quote, scratch, resume);
}

// The quoted-string rule of the field splitter and Dequote: as ScanQuoted, except that an
// unclosed string loses the last byte of the text.
std::string_view ExtractQuoted(std::string_view text, std::size_t open, char quote,
                               std::string& scratch, std::size_t& resume) {
    const TQuoted quoted = ScanQuoted(text, open, quote, scratch, resume);
    if (quoted.Closed || quoted.Content.empty()) {
        return quoted.Content;
    }
    if (quoted.Content.data() == scratch.data()) {
        scratch.pop_back();
        return scratch;
    }
    return quoted.Content.substr(0, quoted.Content.size() - 1);
}

}  // namespace

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

THeadTailView SplitAtFirstView(char delimiter, std::string_view text) noexcept {
    const std::size_t at = text.find(delimiter);
    if (at == std::string_view::npos) {
        return {TrimView(text), {}};
    }
    return {TrimView(text.substr(0, at)), TrimView(text.substr(at + 1))};
}

THeadTailView SplitAtFirstBlankView(std::string_view text) noexcept {
    // A plain scan: find_first_of looks each byte up in the set of two with a call.
    std::size_t at = 0;
    while (at < text.size() && text[at] != ' ' && text[at] != '\t') {
        ++at;
    }
    if (at == text.size()) {
        return {TrimView(text), {}};
    }
    return {TrimView(text.substr(0, at)), TrimView(text.substr(at + 1))};
}

THeadTail SplitAtFirst(char delimiter, std::string_view text) {
    const THeadTailView parts = SplitAtFirstView(delimiter, text);
    return {std::string(parts.Head), std::string(parts.Tail)};
}

std::size_t PosFrom(std::int64_t start, std::string_view sub, std::string_view text) noexcept {
    if (sub.empty()) {
        return 0;
    }
    if (start < 1) {
        start = 1;
    }
    if (static_cast<std::uint64_t>(start) > text.size()) {
        return 0;
    }
    const std::size_t at = text.find(sub, static_cast<std::size_t>(start - 1));
    return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t CountOccurrences(std::string_view sub, std::string_view text,
                             std::int64_t start) noexcept {
    std::size_t count = 0;
    for (std::size_t at = PosFrom(start, sub, text); at != 0;
         at = PosFrom(static_cast<std::int64_t>(at + sub.size()), sub, text)) {
        ++count;
    }
    return count;
}

void CollapseBlanksInto(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto* space =
            static_cast<const char*>(std::memchr(text.data() + i, ' ', text.size() - i));
        if (space == nullptr) {
            out.append(text.substr(i));
            break;
        }
        const auto at = static_cast<std::size_t>(space - text.data());
        out.append(text.substr(i, at + 1 - i));
        i = at + 1;
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
    }
}

std::string CollapseBlanks(std::string_view text) {
    std::string out;
    CollapseBlanksInto(text, out);
    return out;
}

// ---- TFieldScanner ----

TFieldScanner::TFieldScanner(std::string_view text, char delimiter) noexcept
    : text_(text), delimiter_(delimiter) {
    SkipBlanks();
}

void TFieldScanner::SkipBlanks() noexcept {
    while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) {
        ++pos_;
    }
}

void TFieldScanner::ScanPlainField() noexcept {
    const std::size_t start = pos_;
    const std::size_t n = text_.size();
    const auto delimiter = static_cast<unsigned char>(delimiter_);
    // Eight bytes at a time over the bytes that surely belong to the field: neither below
    // 33 (blanks, and the zero byte, which the loop below judges), nor from 0x80 on (a
    // possible lead byte), nor the delimiter.
    const char* const begin = text_.data();
    for (;;) {
        const std::uint64_t word = text_words::LoadTextWord(begin, begin + pos_, begin + n);
        const int plain = text_words::FirstMarked((word & text_words::kTopBits) |
                                                  text_words::BytesBelow(word, 33) |
                                                  text_words::BytesEqual(word, delimiter));
        pos_ += static_cast<std::size_t>(plain);
        if (plain < 8) {
            break;
        }
    }
    pos_ = std::min(pos_, n);
    while (pos_ < n) {
        const auto b = static_cast<unsigned char>(text_[pos_]);
        // Printable ASCII other than the delimiter, the bulk of every field, needs no more
        // questions: it is neither a blank nor the start of a two-byte character.
        if (b > 32 && b < 0x80 && b != delimiter) {
            ++pos_;
            continue;
        }
        if (b == delimiter || IsBlank(b)) {
            break;
        }
        pos_ += IsDoubleByteAt(text_, pos_) ? 2 : 1;
    }
    field_ = text_.substr(start, pos_ - start);
}

bool TFieldScanner::Next() {
    if (trailingEmptyField_) {
        trailingEmptyField_ = false;
        field_ = {};
        return true;
    }
    if (pos_ >= text_.size()) {
        return false;
    }
    if (text_[pos_] == '"') {
        field_ = ExtractQuoted(text_, pos_, '"', unquoted_, pos_);
    } else {
        ScanPlainField();
    }
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == delimiter_) {
        // A delimiter that ends the text still opens one more, empty, field.
        trailingEmptyField_ = pos_ + 1 == text_.size();
        ++pos_;
        SkipBlanks();
    }
    return true;
}

// ---- TMidRowSplitter ----

namespace {

// Index of the first byte that `marks` finds in `text` from `from` on; the text's size when
// there is none. Eight bytes are tested at a time; past the end a word holds zero bytes,
// which are never looked for.
template <class TMarks>
std::size_t FindMarkedByte(std::string_view text, std::size_t from, TMarks marks) noexcept {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin + from; p < end; p += 8) {
        const int at = text_words::FirstMarked(marks(text_words::LoadTextWord(begin, p, end)));
        if (at < 8) {
            return static_cast<std::size_t>(p - begin) + static_cast<std::size_t>(at);
        }
    }
    return text.size();
}

}  // namespace

// A double quote cannot be a delimiter, since it opens quoted values: it counts as none.
// A comma or a TAB, and any delimiter that can never be a byte inside a character of the
// source's set, is sought eight bytes at a time.
TMidRowSplitter::TMidRowSplitter(char delimiter, std::size_t maxValues, TCharacterSet characters)
    : delimiter_(delimiter == '"' ? kCommaOrTab : delimiter),
      first_(delimiter_ == kCommaOrTab ? ',' : static_cast<unsigned char>(delimiter_)),
      second_(delimiter_ == kCommaOrTab ? '\t' : static_cast<unsigned char>(delimiter_)),
      byWords_(NeverInsideCharacter(characters, first_)),
      characters_(characters),
      maxValues_(maxValues) {}

bool TMidRowSplitter::Split(std::string_view row) {
    // An empty view may have no bytes behind it at all; values point into the row.
    row_ = row.data() != nullptr ? row : std::string_view("");
    values_.clear();
    unquoted_.clear();
    return SplitFrom(0);
}

bool TMidRowSplitter::Continue(std::string_view row) {
    row_ = row;
    values_.resize(openValues_);
    unquoted_.resize(openUnquoted_);
    return SplitFrom(openAt_);
}

// The delimiter is sought by the fastest search the delimiter and the character set allow,
// chosen once a row.
bool TMidRowSplitter::SplitFrom(std::size_t pos) {
    if (byWords_ && first_ == second_) {
        const unsigned char delimiter = first_;
        return SplitValues(pos, [this, delimiter](std::size_t from) {
            return FindMarkedByte(row_, from, [delimiter](std::uint64_t word) {
                return text_words::BytesEqual(word, delimiter);
            });
        });
    }
    if (byWords_) {
        return SplitValues(pos, [this](std::size_t from) {
            return FindMarkedByte(row_, from, [](std::uint64_t word) {
                return text_words::BytesEqual(word, ',') | text_words::BytesEqual(word, '\t');
            });
        });
    }
    return SplitValues(pos, [this](std::size_t from) {
        const std::size_t n = row_.size();
        while (from < n && row_[from] != delimiter_) {
            from += CharBytesAt(characters_, row_, from);
        }
        return std::min(from, n);
    });
}

// A quoted value's content, with `after` (what stood between its closing quote and the
// delimiter) added. Only contents that differ from a stretch of the row are copied.
void TMidRowSplitter::AddQuotedValue(std::string_view content, std::string_view after) {
    if (after.empty() && content.data() != doubled_.data()) {
        values_.push_back(
            {static_cast<std::size_t>(content.data() - row_.data()), content.size(), false, true});
    } else {
        values_.push_back(CopiedValue(content, after));
    }
}

TMidRowSplitter::TValue TMidRowSplitter::CopiedValue(std::string_view content,
                                                     std::string_view after) {
    const std::size_t offset = unquoted_.size();
    unquoted_.append(content);
    unquoted_.append(after);
    return {offset, unquoted_.size() - offset, true, true};
}

template <class TFindDelimiter>
bool TMidRowSplitter::SplitValues(std::size_t pos, TFindDelimiter findDelimiter) {
    const std::size_t n = row_.size();
    for (;;) {
        const std::size_t start = pos;
        // Blanks before a value go, but a blank that is the delimiter ends an empty value.
        while (pos < n && IsTrimmable(static_cast<unsigned char>(row_[pos])) &&
               !IsDelimiter(row_[pos])) {
            ++pos;
        }
        const bool wanted = values_.size() < maxValues_;
        std::size_t end = n;  // the delimiter after the value, or the end of the row
        if (pos < n && row_[pos] == '"') {
            std::size_t after = 0;
            const TQuoted quoted = ScanQuoted(row_, pos, '"', doubled_, after);
            if (!quoted.Closed) {
                openAt_ = start;
                openUnquoted_ = unquoted_.size();
                openValues_ = values_.size();
                if (wanted) {
                    AddQuotedValue(quoted.Content, {});
                }
                return false;
            }
            end = after < n && IsDelimiter(row_[after]) ? after : findDelimiter(after);
            if (wanted) {
                AddQuotedValue(quoted.Content, row_.substr(after, EndOfText(after, end) - after));
            }
        } else {
            end = findDelimiter(pos);
            if (wanted) {
                values_.push_back({pos, EndOfText(pos, end) - pos, false, false});
            }
        }
        if (end == n) {
            return true;
        }
        pos = end + 1;
    }
}

// Where the text between `from` and `end` ends once the blanks after it are removed.
std::size_t TMidRowSplitter::EndOfText(std::size_t from, std::size_t end) const noexcept {
    while (end > from && IsTrimmable(static_cast<unsigned char>(row_[end - 1]))) {
        --end;
    }
    return end;
}

std::string SplitString(std::string_view text, std::int64_t index, char delimiter) {
    if (index < 1) {
        return {};
    }
    TFieldScanner fields(text, delimiter);
    for (std::int64_t k = 0; k < index; ++k) {
        if (!fields.Next()) {
            return {};
        }
    }
    return std::string(fields.Field());
}

std::string_view DequoteQuotedView(std::string_view text, char quote, std::string& scratch) {
    std::size_t resume = 0;
    const std::string_view content = ExtractQuoted(text, 0, quote, scratch, resume);
    return content.empty() ? text : content;
}

std::string Dequote(std::string_view text, char quote) {
    std::string scratch;
    return std::string(DequoteView(text, quote, scratch));
}

}  // namespace varnelo
