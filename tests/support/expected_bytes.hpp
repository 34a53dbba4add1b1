// SPDX-License-Identifier: MIT
// Builds expected file contents field by field, from values and their byte order, so that
// the expected bytes of a test are derived from the file layout and not from the writer.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo::testing {

class TExpectedBytes {
  public:
    TExpectedBytes& Int32BE(std::int32_t value) {
        return Unsigned(static_cast<std::uint32_t>(value), 4, true);
    }
    TExpectedBytes& Int32LE(std::int32_t value) {
        return Unsigned(static_cast<std::uint32_t>(value), 4, false);
    }
    TExpectedBytes& DoubleLE(double value) {
        return Unsigned(std::bit_cast<std::uint64_t>(value), 8, false);
    }
    TExpectedBytes& Zeros(std::size_t count) {
        Grow(count);
        return *this;
    }
    TExpectedBytes& UInt16LE(std::uint16_t value) { return Unsigned(value, 2, false); }
    TExpectedBytes& Byte(unsigned char value) {
        bytes_[Grow(1)] = std::byte{value};
        return *this;
    }
    TExpectedBytes& Text(std::string_view text) {
        const std::size_t at = Grow(text.size());
        std::memcpy(bytes_.data() + at, text.data(), text.size());
        return *this;
    }
    // Text left-aligned in a field of `width` bytes, blanks after it.
    TExpectedBytes& Left(std::string_view text, std::size_t width) {
        Text(text);
        return Text(std::string(width - text.size(), ' '));
    }
    // Text right-aligned in a field of `width` bytes, blanks before it.
    TExpectedBytes& Right(std::string_view text, std::size_t width) {
        Text(std::string(width - text.size(), ' '));
        return Text(text);
    }
    // The 100-byte main header shared by the .shp and the .shx.
    TExpectedBytes& ShapeHeader(std::int32_t fileLengthWords, std::int32_t shapeType, double xmin,
                                double ymin, double xmax, double ymax) {
        Int32BE(9994).Zeros(20).Int32BE(fileLengthWords).Int32LE(1000).Int32LE(shapeType);
        DoubleLE(xmin).DoubleLE(ymin).DoubleLE(xmax).DoubleLE(ymax);
        return Zeros(32);
    }
    TExpectedBytes& Append(const TExpectedBytes& other) {
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
        return *this;
    }
    const std::vector<std::byte>& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }
    std::string String() const {
        return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
    }

  private:
    // The low `size` bytes of `value`, most significant first when `bigEndian`; built from
    // shifts, so the expected bytes do not depend on the machine's byte order.
    TExpectedBytes& Unsigned(std::uint64_t value, std::size_t size, bool bigEndian) {
        const std::size_t at = Grow(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes_[at + (bigEndian ? size - 1 - i : i)] = static_cast<std::byte>(value >> (8 * i));
        }
        return *this;
    }
    std::size_t Grow(std::size_t count) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + count, std::byte{0});
        return at;
    }
    std::vector<std::byte> bytes_;
};

// The unsigned little-endian integer of `size` bytes (at most 4) stored at `at`.
inline std::uint32_t Little(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// The big-endian 32-bit integer stored at `at`.
inline std::uint32_t Big(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The little-endian double stored at `at` of a file's bytes.
inline double DoubleAt(std::string_view bytes, std::size_t at) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        bits |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

// Compares two byte strings and, on a difference, names its first offset.
inline ::testing::AssertionResult SameBytes(const std::vector<std::byte>& actual,
                                            const std::vector<std::byte>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "first difference at byte %zu: %02X instead of %02X",
                          i, std::to_integer<unsigned>(actual[i]),
                          std::to_integer<unsigned>(expected[i]));
            return ::testing::AssertionFailure() << text;
        }
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "length " << actual.size() << " instead of " << expected.size();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace varnelo::testing
