// SPDX-License-Identifier: MIT
#include "app/batch_file.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/line_reader.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/text.hpp"
#include "shape/output_stream.hpp"
#include "shape/value_text.hpp"

namespace varnelo {
namespace {

constexpr std::string_view kProductWord = "Varnelo";
constexpr std::string_view kFormatMark = "200";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kFieldSeparator = '\t';

// The lines of the file's text, which a zero byte ends: a line ends at CR, LF or CR LF, and
// a line end after the last line makes no empty line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, kLineEnd) == 0 ? 2 : 1);
    }
    return lines;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A path must stay on its line.
void RequireOneLine(const std::string& path) {
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        // Shown with its line breaks as "?", so that the message stays on one line.
        throw Exception(Text(TText::kAppPathHoldsLineEnd, TextForMessage(path, path.size())));
    }
}

// Whether `text` is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The list's text as one encoding reads it. A list is in UTF-8 when it begins with the
// byte-order mark, or when all of it is well-formed UTF-8 beyond ASCII: text in code page 932
// almost never is, while UTF-8 often happens to be valid 932 too, so that the form of UTF-8
// decides. Otherwise it is in the system's code page.
class TListText {
  public:
    explicit TListText(std::string_view& text) {
        if (text.starts_with(kUtf8Mark)) {
            text.remove_prefix(kUtf8Mark.size());
            utf8_ = true;
        } else {
            utf8_ = !IsAscii(text) && IsUtf8(text);
        }
    }

    // The path in field `field` of line `line` (from 0) as UTF-8.
    std::string Path(std::string_view field, std::size_t line) const {
        std::optional<std::string> path;
        if (utf8_) {
            if (IsUtf8(field)) {
                path = std::string(field);
            }
        } else {
            path = os::PathFromSystemText(field);
        }
        if (!path) {
            throw EConvertError(Text(TText::kAppUnreadableListLine, line + 1));
        }
        return std::move(*path);
    }

  private:
    bool utf8_ = false;
};

void AppendQuoted(std::string& line, std::string_view field) {
    line += '"';
    for (const char c : field) {
        line += c;
        if (c == '"') {
            line += '"';
        }
    }
    line += '"';
}

}  // namespace

bool BatchListBoolean(std::string_view text) {
    const std::string_view word = TrimView(text);
    if (const auto number = TryStrToDouble(word)) {
        return *number != 0;
    }
    if (SameKeyword(word, "TRUE")) {
        return true;
    }
    if (SameKeyword(word, "FALSE")) {
        return false;
    }
    throw EConvertError(Text(TText::kAppNotABoolean, text));
}

void SaveBatchList(const TBatchList& list, const std::string& path) {
    // Every path is checked before anything is written.
    std::vector<const std::string*> paths = {&list.CombineFile};
    for (const TBatchEntry& entry : list.Entries) {
        paths.push_back(&entry.MifFile);
        paths.push_back(&entry.ShpFile);
    }
    for (const std::string* p : paths) {
        RequireOneLine(*p);
    }
    // In the system's code page, as every text file of the system; in UTF-8 with its mark when
    // that code page cannot hold a character of a path.
    std::vector<std::string> saved;
    for (const std::string* p : paths) {
        std::optional<std::string> text = os::PathToSystemText(*p);
        if (!text) {
            saved.clear();
            break;
        }
        saved.push_back(std::move(*text));
    }
    const bool utf8 = saved.size() != paths.size();
    if (utf8) {
        for (const std::string* p : paths) {
            saved.push_back(*p);
        }
    }
    std::string text(utf8 ? kUtf8Mark : std::string_view());
    for (const std::string_view line :
         {kProductWord, kFormatMark, std::string_view(list.Combine ? "-1" : "0"),
          std::string_view(saved[0])}) {
        text.append(line).append(kLineEnd);
    }
    for (std::size_t i = 0; i < list.Entries.size(); ++i) {
        AppendQuoted(text, std::to_string(list.Entries[i].ConversionType));
        text += kFieldSeparator;
        AppendQuoted(text, saved[1 + 2 * i]);
        text += kFieldSeparator;
        AppendQuoted(text, saved[2 + 2 * i]);
        text.append(kLineEnd);
    }
    const auto out = CreateFileOutputStream(path);
    out->Write(text.data(), text.size());
    out->Close();
}

void LoadBatchList(const std::string& path, TBatchList& list) {
    const std::string whole = ReadWholeFile(path);
    std::string_view text = whole;
    const TListText encoding(text);
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() < 4 || !SameKeyword(TrimView(lines[0]), kProductWord) ||
        !SameKeyword(TrimView(lines[1]), kFormatMark)) {
        throw EInvalidBatchList();
    }
    list.Combine = BatchListBoolean(lines[2]);
    list.CombineFile = encoding.Path(lines[3], 3);
    for (std::size_t i = 4; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int type = ConversionTypeFromText(SplitString(line, 1, kFieldSeparator));
        list.Entries.push_back(
            MakeBatchEntry(type, encoding.Path(SplitString(line, 2, kFieldSeparator), i),
                           encoding.Path(SplitString(line, 3, kFieldSeparator), i)));
    }
}

}  // namespace varnelo
