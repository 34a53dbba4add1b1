// SPDX-License-Identifier: MIT
// Deterministic generator of realistic MIF/MID pairs for benchmarking the converter.
//
// The same options and seed always give the same bytes (ring and line shapes go through the
// math library's cos and sin, so another platform's library may move a coordinate by 10^-6). Output is streamed through a
// fixed-size buffer, so files of any size are made in constant memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varnelo::bench {

// What the data section is made of.
enum class TMifKind {
    Regions,  // multi-ring regions: an outer ring and holes inside it
    Plines,   // polylines with one section and with several sections
    Points,   // single points
    Mix,      // every object kind, including a few that are never converted
};

std::string_view MifKindName(TMifKind kind);
std::optional<TMifKind> ParseMifKind(std::string_view name);

// The object keywords that each take one .mid line, in the converter's dispatch order.
enum TMifKeyword : int {
    kwPoint,
    kwLine,
    kwPline,
    kwRegion,
    kwArc,
    kwText,
    kwRect,
    kwRoundRect,
    kwEllipse,
    kwMultiPoint,
    kwNone,
    kwKeywordCount,
};

inline constexpr std::array<std::string_view, kwKeywordCount> kMifKeywords = {
    "POINT", "LINE",      "PLINE",   "REGION",     "ARC",  "TEXT",
    "RECT",  "ROUNDRECT", "ELLIPSE", "MULTIPOINT", "NONE",
};

struct TMifGeneratorOptions {
    TMifKind Kind = TMifKind::Mix;
    // Stop after the object that brings the .mif to at least this many bytes; 0: no size cap.
    std::uint64_t TargetMifBytes = 0;
    // Stop after this many objects; 0: no count cap. At least one of the caps must be set.
    std::uint64_t MaxObjects = 0;
    std::uint64_t Seed = 1;
};

struct TMifPairStats {
    std::uint64_t Objects = 0;  // equals the number of .mid lines
    std::array<std::uint64_t, kwKeywordCount> ByKeyword{};
    std::uint64_t MifBytes = 0;
    std::uint64_t MidBytes = 0;

    // How many records a conversion of the given type (0 point … 4 text as line) makes.
    std::uint64_t RecordsFor(int conversionType) const;
};

// Receives the output in large chunks.
using TByteSink = std::function<void(std::string_view chunk)>;

// Writes one pair: the .mif through `mif`, the .mid through `mid`.
// Throws std::invalid_argument when neither cap is set.
TMifPairStats GenerateMifPair(const TMifGeneratorOptions& options, const TByteSink& mif,
                              const TByteSink& mid);

// Writes one pair into files (replaced when present). Throws std::runtime_error on I/O errors.
TMifPairStats GenerateMifPairFiles(const TMifGeneratorOptions& options, const std::string& mifPath,
                                   const std::string& midPath);

// The .mid beside a .mif: the file name's extension replaced by ".mid" (appended when none).
std::string MidPathFor(std::string_view mifPath);

}  // namespace varnelo::bench
