// SPDX-License-Identifier: MIT
// The one rule by which texts are compared ignoring letter case: field names as the table
// engine finds them and as the converter renames repeated ones, header and object keywords,
// the words of settings and list files, and searches. Text is walked by the characters of
// its character set, so that the second byte of a two-byte character is never taken for an
// ASCII letter: in code page 932 ヂ (83 61) and ア (83 41) stay different names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shape/character_set.hpp"

namespace varnelo {

// Which letters compare ignoring their case.
enum class TLetters : std::uint8_t {
    Ascii,              // a-z and A-Z only: names and keywords
    AsciiAndFullWidth,  // also the full-width Latin letters of code page 932: searches
};

namespace letter_case_detail {

constexpr char FoldAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The full-width letters ａ-ｚ (82 81 to 82 9A) fold onto Ａ-Ｚ (82 60 to 82 79); the
// second byte of every other two-byte character stays.
constexpr unsigned char FoldFullWidthTrail(unsigned char lead, unsigned char trail) noexcept {
    return lead == 0x82 && trail >= 0x81 && trail <= 0x9A ? static_cast<unsigned char>(trail - 0x21)
                                                          : trail;
}

}  // namespace letter_case_detail

// a-z and A-Z.
constexpr bool IsAsciiLetter(char c) noexcept {
    return letter_case_detail::FoldAscii(c) >= 'A' && letter_case_detail::FoldAscii(c) <= 'Z';
}

namespace letter_case_detail {

// The rule below from `i` on, a character boundary: the walk by characters of `set`.
constexpr bool SameCharactersFrom(std::string_view a, std::string_view b, std::size_t i,
                                  TCharacterSet set, TLetters letters) noexcept {
    while (i < a.size()) {
        if (static_cast<unsigned char>(a[i]) < 0x80) {
            // An ASCII byte is a character of its own in every set; a byte of b from 0x80
            // on never folds onto it.
            if (FoldAscii(a[i]) != FoldAscii(b[i])) {
                return false;
            }
            ++i;
            continue;
        }
        const std::size_t n = CharBytesAt(set, a, i);
        if (n == 2 && letters == TLetters::AsciiAndFullWidth && set == TCharacterSet::ShiftJis) {
            const auto lead = static_cast<unsigned char>(a[i]);
            if (static_cast<unsigned char>(b[i]) != lead ||
                FoldFullWidthTrail(lead, static_cast<unsigned char>(a[i + 1])) !=
                    FoldFullWidthTrail(lead, static_cast<unsigned char>(b[i + 1]))) {
                return false;
            }
        } else if (a.compare(i, n, b, i, n) != 0) {
            return false;
        }
        i += n;
    }
    return true;
}

}  // namespace letter_case_detail

// Same length and the same characters, the letters `letters` names compared ignoring their
// case. A character of several bytes is compared byte for byte (its second byte folded only
// when it is a full-width letter and such letters are asked for).
constexpr bool SameIgnoringCase(std::string_view a, std::string_view b,
                                TCharacterSet set = TCharacterSet::ShiftJis,
                                TLetters letters = TLetters::Ascii) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    // The ASCII bytes in front, all that keywords and most names hold, are compared here,
    // small enough to be inlined into every caller; the rest is walked by characters.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (static_cast<unsigned char>(a[i]) >= 0x80) {
            return letter_case_detail::SameCharactersFrom(a, b, i, set, letters);
        }
        if (a[i] != b[i] &&
            letter_case_detail::FoldAscii(a[i]) != letter_case_detail::FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// True when `text` begins with `prefix` by the rule above; a shorter text never does.
constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix,
                                      TCharacterSet set = TCharacterSet::ShiftJis,
                                      TLetters letters = TLetters::Ascii) noexcept {
    return text.size() >= prefix.size() &&
           SameIgnoringCase(text.substr(0, prefix.size()), prefix, set, letters);
}

// `text` with a-z made A-Z, for ASCII words such as file extensions ("ROADS.SHP" has a
// "ROADS.SHX"); bytes of two-byte characters are not walked for.
inline std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = letter_case_detail::FoldAscii(c);
    }
    return upper;
}

}  // namespace varnelo
