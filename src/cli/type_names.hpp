// SPDX-License-Identifier: MIT
// The conversion types by the names the command line gives them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/convert.hpp"

namespace varnelo::cli {

struct TTypeName {
    std::string_view Name;
    int ConversionType;
};
inline constexpr std::array<TTypeName, 5> kTypeNames{{
    {"point", ctPoint},
    {"polyline", ctPolyLine},
    {"polygon", ctPolygon},
    {"text-point", ctTextAsPoint},
    {"text-line", ctTextAsLine},
}};

// Every kind of object in one pass, each into a shapefile of its own.
inline constexpr std::string_view kEveryKindName = "all";

// The conversion type a name or a number 0-4 stands for.
inline std::optional<int> ParseConversionType(std::string_view text) {
    for (const TTypeName& type : kTypeNames) {
        if (text == type.Name || text == std::to_string(type.ConversionType)) {
            return type.ConversionType;
        }
    }
    return std::nullopt;
}

}  // namespace varnelo::cli
