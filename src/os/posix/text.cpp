// SPDX-License-Identifier: MIT
// Character sets through the C library's iconv, by name, so nothing depends on the locale.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <stdexcept>

#include "os/text.hpp"

namespace varnelo::os {
namespace {

iconv_t Descriptor(void* state) noexcept {
    return static_cast<iconv_t>(state);
}

}  // namespace

TCharsetConverter::TCharsetConverter(const std::string& to, const std::string& from) {
    const iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {  // iconv_open's failure value
        // One side is UTF-8 in every use; the other is the one not known.
        throw std::runtime_error("unknown character set \"" + (from == "UTF-8" ? to : from) + "\"");
    }
    state_ = cd;
}

TCharsetConverter::~TCharsetConverter() {
    iconv_close(Descriptor(state_));
}

bool TCharsetConverter::Convert(std::string_view in, std::string& out, bool lenient) const {
    const iconv_t cd = Descriptor(state_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    char* from = const_cast<char*>(in.data());
    std::size_t fromLeft = in.size();
    std::array<char, 512> block{};
    while (fromLeft > 0) {
        char* to = block.data();
        std::size_t toLeft = block.size();
        const std::size_t result = iconv(cd, &from, &fromLeft, &to, &toLeft);
        out.append(block.data(), static_cast<std::size_t>(to - block.data()));
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (!lenient) {
            return false;
        }
        out += '?';  // an invalid byte, or a character cut off at the end of the text
        ++from;
        --fromLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

std::optional<std::string> PathToSystemText(const std::string& path) {
    return path;
}

std::optional<std::string> PathFromSystemText(std::string_view text) {
    return std::string(text);
}

}  // namespace varnelo::os
