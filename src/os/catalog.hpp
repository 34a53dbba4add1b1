// SPDX-License-Identifier: MIT
// Every text a user reads, in Japanese and in English, from one catalog (catalog.inc), and the
// language of this run. The windows speak Japanese, the language a run starts with; a
// command-line tool speaks its user's language, chosen once at its start before any thread
// begins. A text is a pattern whose places {1} to {9} take the arguments given, so each
// language puts them where its word order wants them.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnelo {

enum class TLanguage { Japanese, English };

enum class TText : std::uint16_t {
#define VARNELO_TEXT(name, japanese, english) name,
#include "os/catalog.inc"
#undef VARNELO_TEXT
};

// The language texts are given in from now on.
void SetTextLanguage(TLanguage language) noexcept;
TLanguage TextLanguage() noexcept;

// One argument of a text: any text, or an integer written in decimal.
class TTextArg {
  public:
    TTextArg(std::string_view text) : text_(text) {}
    TTextArg(const std::string& text) : text_(text) {}
    TTextArg(const char* text) : text_(text) {}
    template <std::integral T>
        requires(!std::same_as<T, char> && !std::same_as<T, bool>)
    TTextArg(T number) : own_(std::to_string(number)), text_(own_) {}
    TTextArg(const TTextArg&) = delete;
    TTextArg& operator=(const TTextArg&) = delete;

    std::string_view View() const noexcept { return text_; }

  private:
    std::string own_;
    std::string_view text_;
};

// The pattern of `id` in `language`.
std::string_view PatternOf(TText id, TLanguage language) noexcept;

// The text of `id` in this run's language with its places filled: {N} takes the N-th
// argument.
std::string TextWith(TText id, std::span<const TTextArg> args);

template <class... A>
std::string Text(TText id, const A&... args) {
    const std::array<TTextArg, sizeof...(A)> filled{TTextArg(args)...};
    return TextWith(id, filled);
}

namespace os {
// The language of the user who runs the program: Japanese when the first of LC_ALL,
// LC_MESSAGES and LANG that is set begins with "ja" (on Windows: the user's display language
// is Japanese), English otherwise.
TLanguage UserLanguage();
}  // namespace os

}  // namespace varnelo
