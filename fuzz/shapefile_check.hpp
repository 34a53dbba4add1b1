// SPDX-License-Identifier: MIT
// Cross-checks of a written shapefile pair that hold after any conversion, finished or
// failed: the index entries point at the record headers in order, each record's length
// agrees with its entry, and a finished pair carries its true file lengths. A broken rule
// ends the fuzzing run with a trap, so the input that broke it is kept.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace varnelo::fuzz {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    const auto b = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

inline std::uint32_t LittleEndian32(const std::string& bytes, std::size_t at) {
    const auto b = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0);
}

[[noreturn]] inline void Broken(const char* rule) {
    std::fprintf(stderr, "shapefile check failed: %s\n", rule);
    std::abort();
}

inline void Require(bool holds, const char* rule) {
    if (!holds) {
        Broken(rule);
    }
}

// `records` is the number of records the driver reports; `finished` whether it succeeded.
inline void CheckShapefilePair(const std::string& shpPath, const std::string& shxPath,
                               std::int64_t records, bool finished) {
    const std::string shp = ReadWholeFile(shpPath);
    const std::string shx = ReadWholeFile(shxPath);
    if (shp.empty() && shx.empty()) {
        Require(records == 0, "records counted without any header written");
        return;  // failed before the placeholder headers
    }
    Require(shp.size() >= 100 && shx.size() >= 100, "header shorter than 100 bytes");
    Require(shx.size() == 100 + 8 * static_cast<std::uint64_t>(records), "index entry count");
    Require(shp.size() % 2 == 0, "odd .shp size");
    std::uint64_t offset = 100;
    for (std::int64_t i = 0; i < records; ++i) {
        const std::size_t entry = 100 + 8 * static_cast<std::size_t>(i);
        Require(BigEndian32(shx, entry) * std::uint64_t{2} == offset, "index offset");
        const std::uint32_t length = BigEndian32(shx, entry + 4);
        Require(offset + 8 <= shp.size(), "record header beyond the .shp");
        Require(BigEndian32(shp, offset) == static_cast<std::uint32_t>(i + 1), "record number");
        Require(BigEndian32(shp, offset + 4) == length, "record length differs from its entry");
        offset += 8 + 2 * std::uint64_t{length};
    }
    Require(offset == shp.size(), "bytes after the last record");
    const std::uint32_t shpType = LittleEndian32(shp, 32);
    Require(LittleEndian32(shx, 32) == shpType, "shape types differ");
    if (finished) {
        Require(BigEndian32(shp, 24) * std::uint64_t{2} == shp.size(), ".shp file length");
        Require(BigEndian32(shx, 24) * std::uint64_t{2} == shx.size(), ".shx file length");
    } else {
        Require(BigEndian32(shp, 24) == 0 && BigEndian32(shx, 24) == 0,
                "a failed conversion completed its headers");
    }
}

// The .dbf holds between `fewest` and `most` records, the same number in its header count
// and in its size, and ends in the end byte.
inline void CheckDbfRows(const std::string& dbfPath, std::int64_t fewest, std::int64_t most) {
    const std::string dbf = ReadWholeFile(dbfPath);
    Require(dbf.size() >= 34, ".dbf shorter than an empty table");
    const std::uint32_t count = LittleEndian32(dbf, 4);
    const auto headerLength = static_cast<std::uint64_t>(static_cast<unsigned char>(dbf[8]) |
                                                         static_cast<unsigned char>(dbf[9]) << 8);
    const auto recordLength = static_cast<std::uint64_t>(static_cast<unsigned char>(dbf[10]) |
                                                         static_cast<unsigned char>(dbf[11]) << 8);
    Require(
        count >= static_cast<std::uint64_t>(fewest) && count <= static_cast<std::uint64_t>(most),
        ".dbf record count");
    Require(dbf.size() == headerLength + count * recordLength + 1, ".dbf size");
    Require(dbf.back() == '\x1a', ".dbf end byte");
}

}  // namespace varnelo::fuzz
