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
#include <vector>

namespace varnelo::testing {

static_assert(std::endian::native == std::endian::little,
              "the expected bytes are built from the machine's little-endian values");

class TExpectedBytes {
  public:
    TExpectedBytes& Int32BE(std::int32_t value) {
        const std::size_t at = Grow(4);
        std::memcpy(&bytes_[at], &value, 4);
        std::swap(bytes_[at], bytes_[at + 3]);
        std::swap(bytes_[at + 1], bytes_[at + 2]);
        return *this;
    }
    TExpectedBytes& Int32LE(std::int32_t value) {
        std::memcpy(&bytes_[Grow(4)], &value, 4);
        return *this;
    }
    TExpectedBytes& DoubleLE(double value) {
        std::memcpy(&bytes_[Grow(8)], &value, 8);
        return *this;
    }
    TExpectedBytes& Zeros(std::size_t count) {
        Grow(count);
        return *this;
    }
    TExpectedBytes& Append(const TExpectedBytes& other) {
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
        return *this;
    }
    const std::vector<std::byte>& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

  private:
    std::size_t Grow(std::size_t count) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + count, std::byte{0});
        return at;
    }
    std::vector<std::byte> bytes_;
};

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
