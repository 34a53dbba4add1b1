// SPDX-License-Identifier: MIT
#include "app/message_lines.hpp"

#include <algorithm>
#include <optional>

namespace varnelo {
namespace {

constexpr std::string_view kFullStop = "。";
constexpr std::string_view kComma = "、";

// The length of the UTF-8 sequence that starts with `lead` (1 for a byte that starts none).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead < 0xF0 ? 3 : 1;
    }
    return lead >= 0xC0 ? 2 : 1;
}

// Appends `line` to `out`, broken as MessageLines says.
void BreakLine(std::string_view line, std::size_t columns, std::string& out) {
    while (true) {
        // Where the line may break: the byte offset of what follows, and how many bytes
        // before it the break drops (a space).
        struct TBreak {
            std::size_t End = 0;
            std::size_t Dropped = 0;
        };
        std::optional<TBreak> within;
        std::optional<TBreak> beyond;
        std::size_t width = 0;
        std::size_t at = 0;
        while (at < line.size() && !beyond) {
            const std::size_t length =
                std::min(SequenceLength(static_cast<unsigned char>(line[at])), line.size() - at);
            const std::string_view character = line.substr(at, length);
            width += length == 1 ? 1 : 2;
            at += length;
            const bool space = character == " ";
            if (at < line.size() && (space || character == kFullStop || character == kComma)) {
                const TBreak place{at, space ? std::size_t{1} : 0};
                (width - (space ? 1 : 0) <= columns ? within : beyond) = place;
            }
        }
        if (width <= columns && at == line.size()) {
            break;  // the rest fits
        }
        const std::optional<TBreak> place = within ? within : beyond;
        if (!place) {
            break;  // nowhere to break
        }
        out.append(line.substr(0, place->End - place->Dropped));
        out += '\n';
        line.remove_prefix(place->End);
    }
    out.append(line);
}

}  // namespace

std::string MessageLines(std::string_view text, std::size_t columns) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    while (true) {
        const std::size_t end = text.find('\n');
        BreakLine(text.substr(0, end), columns, out);
        if (end == std::string_view::npos) {
            return out;
        }
        out += '\n';
        text.remove_prefix(end + 1);
    }
}

}  // namespace varnelo
