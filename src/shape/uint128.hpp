// SPDX-License-Identifier: MIT
// Unsigned 128-bit integers for exact decimal rounding: the compiler's own type where it has
// one, otherwise a pair of 64-bit halves with the few operations the rounding needs. Defining
// VARNELO_PORTABLE_INT128 selects the pair everywhere, so that path is built and tested too.
#pragma once

#include <compare>
#include <cstdint>

namespace varnelo {

class TPortableUInt128 {
  public:
    constexpr TPortableUInt128() noexcept = default;
    constexpr TPortableUInt128(std::uint64_t low) noexcept : low_(low) {}  // NOLINT: as the built-in
    constexpr TPortableUInt128(std::uint64_t high, std::uint64_t low) noexcept
        : high_(high), low_(low) {}

    constexpr explicit operator std::uint64_t() const noexcept { return low_; }

    // The low 128 bits of the product.
    friend constexpr TPortableUInt128 operator*(TPortableUInt128 a, TPortableUInt128 b) noexcept {
        TPortableUInt128 product = MultiplyWide(a.low_, b.low_);
        product.high_ += a.high_ * b.low_ + a.low_ * b.high_;
        return product;
    }
    friend constexpr TPortableUInt128 operator-(TPortableUInt128 a, TPortableUInt128 b) noexcept {
        return {a.high_ - b.high_ - (a.low_ < b.low_ ? 1 : 0), a.low_ - b.low_};
    }
    friend constexpr TPortableUInt128 operator&(TPortableUInt128 a, TPortableUInt128 b) noexcept {
        return {a.high_ & b.high_, a.low_ & b.low_};
    }
    friend constexpr TPortableUInt128 operator<<(TPortableUInt128 a, int n) noexcept {
        if (n == 0) {
            return a;
        }
        if (n >= 64) {
            return {a.low_ << (n - 64), 0};
        }
        return {(a.high_ << n) | (a.low_ >> (64 - n)), a.low_ << n};
    }
    friend constexpr TPortableUInt128 operator>>(TPortableUInt128 a, int n) noexcept {
        if (n == 0) {
            return a;
        }
        if (n >= 64) {
            return {0, a.high_ >> (n - 64)};
        }
        return {a.high_ >> n, (a.low_ >> n) | (a.high_ << (64 - n))};
    }
    // Members compare in order: the high half first.
    friend constexpr auto operator<=>(const TPortableUInt128&,
                                      const TPortableUInt128&) noexcept = default;

  private:
    // The full product of two 64-bit numbers, from their 32-bit halves.
    static constexpr TPortableUInt128 MultiplyWide(std::uint64_t a, std::uint64_t b) noexcept {
        const std::uint64_t aLow = a & 0xFFFFFFFFu;
        const std::uint64_t aHigh = a >> 32;
        const std::uint64_t bLow = b & 0xFFFFFFFFu;
        const std::uint64_t bHigh = b >> 32;
        const std::uint64_t lowLow = aLow * bLow;
        const std::uint64_t lowHigh = aLow * bHigh;
        const std::uint64_t highLow = aHigh * bLow;
        const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
        return {aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
                (middle << 32) | (lowLow & 0xFFFFFFFFu)};
    }

    std::uint64_t high_ = 0;
    std::uint64_t low_ = 0;
};

#if defined(__SIZEOF_INT128__) && !defined(VARNELO_PORTABLE_INT128)
__extension__ using TUInt128 = unsigned __int128;
#else
using TUInt128 = TPortableUInt128;
#endif

}  // namespace varnelo
