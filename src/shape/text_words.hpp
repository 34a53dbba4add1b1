// SPDX-License-Identifier: MIT
// Reading text eight bytes at a time: a word holds up to eight bytes of the text, the first
// byte in the lowest bits whatever the machine's order, so that scans for digits, blanks
// and delimiters test eight bytes with a few integer operations instead of a loop. Short
// runs of bytes are moved and filled the same way, a few words at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace varnelo::text_words {

inline constexpr std::uint64_t kEachByte = 0x0101010101010101;
inline constexpr std::uint64_t kTopBits = 0x8080808080808080;

// Eight bytes from `p` as one word.
inline std::uint64_t LoadWord(const char* p) noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i) {
            swapped = (swapped << 8) | ((word >> (8 * i)) & 0xFF);
        }
        word = swapped;
    }
    return word;
}

// The bytes from `p` up to eight, with zero bytes standing for everything at or after
// `end`. Only bytes between `begin` and `end` are read: near the end of a text of eight
// bytes or more the word is taken from its last eight bytes and shifted into place.
inline std::uint64_t LoadTextWord(const char* begin, const char* p, const char* end) noexcept {
    const auto left = end - p;
    if (left >= 8) {
        return LoadWord(p);
    }
    if (left <= 0) {
        return 0;
    }
    if (end - begin >= 8) {
        return LoadWord(end - 8) >> (8 * (8 - left));
    }
    std::uint64_t word = 0;
    for (std::ptrdiff_t i = 0; i < left; ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return word;
}

// The top bit of every byte below `limit` (at most 128) is set, exactly for the first
// such byte; a borrow out of it may mark bytes after it as well, which callers looking
// for the first byte never see.
constexpr std::uint64_t BytesBelow(std::uint64_t word, unsigned limit) noexcept {
    return (word - kEachByte * limit) & ~word & kTopBits;
}

// The top bit of every byte equal to `byte`, exactly for the first one.
constexpr std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) noexcept {
    return BytesBelow(word ^ (kEachByte * byte), 1);
}

// Index (0-8) of the first byte whose top bit is set in `marks`; 8 when there is none.
constexpr int FirstMarked(std::uint64_t marks) noexcept {
    return marks == 0 ? 8 : std::countr_zero(marks) / 8;
}

// How many of the word's bytes, from the first, are ASCII digits. A byte is a digit when
// its value xor '0' is below 10; adding 0x76 sets the top bit of every other byte. A carry
// out of a non-digit byte can only disturb the bytes after it, which do not count.
constexpr int LeadingDigits(std::uint64_t word) noexcept {
    const std::uint64_t t = word ^ 0x3030303030303030;
    return FirstMarked(((t + 0x7676767676767676) | t) & kTopBits);
}

// How many ASCII digits stand from `p` on, before `end`; only bytes between `begin` and
// `end` are read.
inline std::size_t DigitRun(const char* begin, const char* p, const char* end) noexcept {
    const char* q = p;
    for (;;) {
        const int n = LeadingDigits(LoadTextWord(begin, q, end));
        q += n;
        if (n < 8) {
            return static_cast<std::size_t>(q - p);
        }
    }
}

inline constexpr std::uint64_t kWordPowers[9] = {1,       10,        100,        1000,       10'000,
                                                 100'000, 1'000'000, 10'000'000, 100'000'000};

// The value of the first `n` (1-8) digit bytes of the word: pairs, then fours, then all
// eight are combined by multiplication; the dropped bytes come back as leading zeros.
constexpr std::uint64_t DigitsValue(std::uint64_t word, int n) noexcept {
    word <<= 8 * (8 - n);
    word = ((word & 0x0F0F0F0F0F0F0F0F) * 2561) >> 8;
    word = ((word & 0x00FF00FF00FF00FF) * 6553601) >> 16;
    return ((word & 0x0000FFFF0000FFFF) * 42949672960001) >> 32;
}

// Powers of ten up to 10^22 are exact doubles, and so is every integer up to 2^53: one
// correctly rounded division of two exact values is then the correctly rounded result.
inline constexpr double kExactPowers[20] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                            1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                            1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

// Copies `n` bytes, `Width` <= n <= 2 * `Width`, as its first and its last `Width` bytes, which
// may overlap, both read before either is written.
template <std::size_t Width>
inline void CopyBothEnds(char* to, const char* from, std::size_t n) noexcept {
    char head[Width];
    char tail[Width];
    std::memcpy(head, from, Width);
    std::memcpy(tail, from + n - Width, Width);
    std::memcpy(to, head, Width);
    std::memcpy(to + n - Width, tail, Width);
}

// Copies `n` bytes. Up to 32 bytes move as two to four words that may overlap, read before
// any is written, without the call the library's copy costs; longer runs take that call.
inline void CopyShort(char* to, const char* from, std::size_t n) noexcept {
    if (n > 32) {
        std::memcpy(to, from, n);
    } else if (n >= 16) {
        CopyBothEnds<16>(to, from, n);
    } else if (n >= 8) {
        CopyBothEnds<8>(to, from, n);
    } else if (n >= 4) {
        CopyBothEnds<4>(to, from, n);
    } else if (n > 0) {
        const char first = from[0];
        const char middle = from[n / 2];
        const char last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

// Sets `n` bytes to `byte`, as CopyShort moves them.
inline void FillShort(char* to, unsigned char byte, std::size_t n) noexcept {
    if (n > 32) {
        std::memset(to, byte, n);
        return;
    }
    const std::uint64_t word = kEachByte * byte;
    if (n >= 16) {
        const std::uint64_t w[2] = {word, word};
        std::memcpy(to, w, 16);
        std::memcpy(to + n - 16, w, 16);
    } else if (n >= 8) {
        std::memcpy(to, &word, 8);
        std::memcpy(to + n - 8, &word, 8);
    } else if (n >= 4) {
        const auto half = static_cast<std::uint32_t>(word);
        std::memcpy(to, &half, 4);
        std::memcpy(to + n - 4, &half, 4);
    } else if (n > 0) {
        to[0] = static_cast<char>(byte);
        to[n / 2] = static_cast<char>(byte);
        to[n - 1] = static_cast<char>(byte);
    }
}

}  // namespace varnelo::text_words
