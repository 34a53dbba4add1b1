// SPDX-License-Identifier: MIT
#include "app/path_display.hpp"

#include "engine/file_names.hpp"

namespace varnelo {
namespace {

constexpr std::string_view kEllipsis = "…";

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// `text` with its middle replaced by "…", as long as `fits` takes it; the longest such text
// (at least the ellipsis alone).
std::string ShortenInMiddle(std::string_view text,
                            const std::function<bool(const std::string&)>& fits) {
    // Keep `keep` characters' bytes from both ends, more from the end on odd counts.
    std::string best(kEllipsis);
    std::size_t head = 0;
    std::size_t tail = text.size();
    for (bool front = false;; front = !front) {
        std::size_t nextHead = head;
        std::size_t nextTail = tail;
        if (front) {
            do {
                ++nextHead;
            } while (nextHead < nextTail && IsContinuationByte(text[nextHead]));
        } else {
            do {
                --nextTail;
            } while (nextTail > nextHead && IsContinuationByte(text[nextTail]));
        }
        if (nextHead >= nextTail) {
            return best;
        }
        std::string candidate = std::string(text.substr(0, nextHead)) + std::string(kEllipsis) +
                                std::string(text.substr(nextTail));
        if (!fits(candidate)) {
            return best;
        }
        best = std::move(candidate);
        head = nextHead;
        tail = nextTail;
    }
}

}  // namespace

std::string FitPath(std::string_view path, int width,
                    const std::function<int(std::string_view)>& measure) {
    const auto fits = [&](const std::string& text) { return measure(text) <= width; };
    if (measure(path) <= width) {
        return std::string(path);
    }
    const std::string name = ExtractFileName(path);
    const std::string_view folder = path.substr(0, path.size() - name.size());
    if (!folder.empty() && fits(std::string(kEllipsis) + name)) {
        return ShortenInMiddle(
                   folder, [&](const std::string& shortened) { return fits(shortened + name); }) +
               name;
    }
    return ShortenInMiddle(name, fits);
}

}  // namespace varnelo
