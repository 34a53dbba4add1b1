// SPDX-License-Identifier: MIT
// Settings files in the Windows profile text form: "[Section]" lines followed by
// "Key=Value" lines. Section and key names match without regard to ASCII letter case, as the
// profile functions do; lines this module does not understand are kept as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

class TIniFile {
  public:
    // Reads the file when it exists; a missing or unreadable file reads as empty.
    explicit TIniFile(std::string path);

    const std::string& Path() const { return path_; }

    // The key's value as a decimal integer (optionally signed, blanks around it allowed);
    // `fallback` when the key is missing or its value is no such integer.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;

    // Sets the key and writes the whole file at once, creating it when missing. Raises
    // EInOutError "<path> に書き込めません" when the file cannot be written.
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

  private:
    // Index of the section's header line, or lines_.size() when the section is missing.
    std::size_t FindSection(std::string_view section) const;
    // Index of the key's line in the section whose header line is `header` (`found` true), or
    // where a new key of that section goes (`found` false).
    std::size_t FindKey(std::size_t header, std::string_view key, bool& found) const;
    void Save() const;

    std::string path_;
    std::vector<std::string> lines_;
};

}  // namespace varnelo
