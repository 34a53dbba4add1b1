// SPDX-License-Identifier: MIT
// Character sets through the system's code pages: every conversion goes by way of UTF-16.
#include <windows.h>

#include <cctype>
#include <charconv>
#include <stdexcept>

#include "os/text.hpp"
#include "os/win32/wide.hpp"

namespace varnelo::os {
namespace {

struct TCodePages {
    UINT To;
    UINT From;
};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<UINT> Number(std::string_view digits) {
    UINT value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ec == std::errc() && end == digits.data() + digits.size() && !digits.empty()
               ? std::optional<UINT>(value)
               : std::nullopt;
}

// The code page of a character set's name: "UTF-8", "CPnnn", "ISO-8859-n", "SHIFT_JIS".
UINT CodePageOf(const std::string& name) {
    std::optional<UINT> page;
    if (SameName(name, "UTF-8") || SameName(name, "UTF8")) {
        page = CP_UTF8;
    } else if (SameName(name, "SHIFT_JIS") || SameName(name, "SJIS")) {
        page = 932;
    } else if (name.size() > 2 && SameName(name.substr(0, 2), "CP")) {
        page = Number(std::string_view(name).substr(2));
    } else if (name.size() > 9 && SameName(name.substr(0, 9), "ISO-8859-")) {
        if (const auto part = Number(std::string_view(name).substr(9))) {
            page = 28590 + *part;
        }
    }
    if (!page || !IsValidCodePage(*page)) {
        throw std::runtime_error("unknown character set \"" + name + "\"");
    }
    return *page;
}

// How many bytes the character at `text` takes in code page `page`, as far as it can tell.
std::size_t CharacterLength(UINT page, std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t length = 1;
    if (page == CP_UTF8) {
        length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    } else if (IsDBCSLeadByteEx(page, lead)) {
        length = 2;
    }
    return std::min(length, text.size());
}

// Decodes `in`; false at a byte that does not decode, unless `lenient`, when it becomes "?".
bool Decode(UINT page, std::string_view in, std::wstring& out, bool lenient) {
    const auto decode = [page](std::string_view part, std::wstring& into) {
        const int size = static_cast<int>(part.size());
        DWORD flags = MB_ERR_INVALID_CHARS;
        int n = MultiByteToWideChar(page, flags, part.data(), size, nullptr, 0);
        if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
            flags = 0;  // code pages that take no flags
            n = MultiByteToWideChar(page, flags, part.data(), size, nullptr, 0);
        }
        if (n == 0) {
            return false;
        }
        const std::size_t start = into.size();
        into.resize(start + static_cast<std::size_t>(n));
        MultiByteToWideChar(page, flags, part.data(), size, into.data() + start, n);
        return true;
    };
    if (in.empty() || decode(in, out)) {
        return true;
    }
    if (!lenient) {
        return false;
    }
    // Character by character, so that a bad byte costs only itself.
    while (!in.empty()) {
        const std::size_t length = CharacterLength(page, in);
        if (decode(in.substr(0, length), out)) {
            in.remove_prefix(length);
        } else {
            out += L'?';
            in.remove_prefix(1);
        }
    }
    return true;
}

bool Encode(UINT page, std::wstring_view in, std::string& out, bool lenient) {
    if (in.empty()) {
        return true;
    }
    const int size = static_cast<int>(in.size());
    // UTF-8 and a few others take neither the flag nor the question whether a default was used.
    const bool checked = page != CP_UTF8 && page != 65000 && page < 50220;
    BOOL usedDefault = FALSE;
    const DWORD flags = checked ? WC_NO_BEST_FIT_CHARS : 0;
    const int n = WideCharToMultiByte(page, flags, in.data(), size, nullptr, 0, nullptr,
                                      checked ? &usedDefault : nullptr);
    if (n == 0 || (usedDefault && !lenient)) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(n));
    WideCharToMultiByte(page, flags, in.data(), size, out.data() + start, n, nullptr, nullptr);
    return true;
}

}  // namespace

TCharsetConverter::TCharsetConverter(const std::string& to, const std::string& from)
    : state_(new TCodePages{CodePageOf(to), CodePageOf(from)}) {}

TCharsetConverter::~TCharsetConverter() {
    delete static_cast<TCodePages*>(state_);
}

bool TCharsetConverter::Convert(std::string_view in, std::string& out, bool lenient) const {
    const auto* pages = static_cast<const TCodePages*>(state_);
    std::wstring wide;
    return Decode(pages->From, in, wide, lenient) && Encode(pages->To, wide, out, lenient);
}

std::optional<std::string> PathToSystemText(const std::string& path) {
    if (GetACP() == CP_UTF8) {
        return path;  // a system that keeps its text in UTF-8 already
    }
    std::string text;
    if (!Encode(CP_ACP, win32::Wide(path), text, false)) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> PathFromSystemText(std::string_view text) {
    std::wstring wide;
    if (!Decode(CP_ACP, text, wide, false)) {
        return std::nullopt;
    }
    return win32::Utf8(wide);
}

}  // namespace varnelo::os
