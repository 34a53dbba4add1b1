// SPDX-License-Identifier: MIT
// The one place where numbers are turned into bytes of a fixed order and back. Shapefile
// headers mix big-endian integers (file code, lengths, offsets, record numbers) with
// little-endian integers and doubles, so every writer and reader goes through these.
// Built from shifts on the value, so the result does not depend on the machine's order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace varnelo::byte_order {

constexpr void PutUInt16LE(std::byte* dst, std::uint16_t value) noexcept {
    dst[0] = static_cast<std::byte>(value);
    dst[1] = static_cast<std::byte>(value >> 8);
}

constexpr std::uint16_t GetUInt16LE(const std::byte* src) noexcept {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(src[0]) |
                                      (std::to_integer<unsigned>(src[1]) << 8));
}

constexpr void PutUInt32LE(std::byte* dst, std::uint32_t value) noexcept {
    for (int i = 0; i < 4; ++i) {
        dst[i] = static_cast<std::byte>(value >> (8 * i));
    }
}

constexpr void PutUInt32BE(std::byte* dst, std::uint32_t value) noexcept {
    for (int i = 0; i < 4; ++i) {
        dst[3 - i] = static_cast<std::byte>(value >> (8 * i));
    }
}

constexpr std::uint32_t GetUInt32LE(const std::byte* src) noexcept {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::to_integer<std::uint32_t>(src[i]) << (8 * i);
    }
    return value;
}

constexpr std::uint32_t GetUInt32BE(const std::byte* src) noexcept {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::to_integer<std::uint32_t>(src[3 - i]) << (8 * i);
    }
    return value;
}

// Signed values travel as their two's complement bit pattern.
constexpr void PutInt32LE(std::byte* dst, std::int32_t value) noexcept {
    PutUInt32LE(dst, static_cast<std::uint32_t>(value));
}

constexpr void PutInt32BE(std::byte* dst, std::int32_t value) noexcept {
    PutUInt32BE(dst, static_cast<std::uint32_t>(value));
}

constexpr std::int32_t GetInt32LE(const std::byte* src) noexcept {
    return static_cast<std::int32_t>(GetUInt32LE(src));
}

constexpr std::int32_t GetInt32BE(const std::byte* src) noexcept {
    return static_cast<std::int32_t>(GetUInt32BE(src));
}

// IEEE 754 binary64, least significant byte first; the bit pattern is kept exactly
// (negative zero, NaN payloads).
constexpr void PutDoubleLE(std::byte* dst, double value) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) {
        dst[i] = static_cast<std::byte>(bits >> (8 * i));
    }
}

constexpr double GetDoubleLE(const std::byte* src) noexcept {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        bits |= std::to_integer<std::uint64_t>(src[i]) << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

}  // namespace varnelo::byte_order
