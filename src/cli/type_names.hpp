// SPDX-License-Identifier: MIT
// The conversion types by the names the command line gives them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/convert.hpp"
#include "shape/number_text.hpp"
#include "shape/value_text.hpp"

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

// The conversion type a name or a number 0-4 stands for; a number only in its plain form
// ("1", not "+1" or "01").
inline std::optional<int> ParseConversionType(std::string_view text) {
    const std::optional<std::int32_t> number =
        IsPlainIntegerText(text) ? ParseInt32Text(text) : std::nullopt;
    for (const TTypeName& type : kTypeNames) {
        if (text == type.Name || number == type.ConversionType) {
            return type.ConversionType;
        }
    }
    return std::nullopt;
}

}  // namespace varnelo::cli
