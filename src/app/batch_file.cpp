// SPDX-License-Identifier: MIT
#include "app/batch_file.hpp"

#include <optional>
#include <vector>

#include "engine/line_reader.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
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

// The path as the file holds it: in the system's code page, which must hold every character
// of it, and on one line.
std::string SavedPath(const std::string& path) {
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        // Shown with its line breaks as "?", so that the message stays on one line.
        throw Exception("パス \"" + TextForMessage(path, path.size()) +
                        "\" は改行を含むため、バッチリストに保存できません");
    }
    std::optional<std::string> saved = os::PathToSystemText(path);
    if (!saved) {
        throw Exception(
            "パス \"" + path +
            "\" はシステムのコードページで表せない文字を含むため、バッチリストに保存できません");
    }
    return std::move(*saved);
}

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
    throw EConvertError("'" + std::string(text) + "' は正しい論理型ではありません");
}

void SaveBatchList(const TBatchList& list, const std::string& path) {
    // Every path is checked before anything is written.
    const std::string combineFile = SavedPath(list.CombineFile);
    std::string text;
    for (const std::string_view line :
         {kProductWord, kFormatMark, std::string_view(list.Combine ? "-1" : "0"),
          std::string_view(combineFile)}) {
        text.append(line).append(kLineEnd);
    }
    for (const TBatchEntry& entry : list.Entries) {
        const std::string mifFile = SavedPath(entry.MifFile);
        const std::string shpFile = SavedPath(entry.ShpFile);
        AppendQuoted(text, std::to_string(entry.ConversionType));
        text += kFieldSeparator;
        AppendQuoted(text, mifFile);
        text += kFieldSeparator;
        AppendQuoted(text, shpFile);
        text.append(kLineEnd);
    }
    const auto out = CreateFileOutputStream(path);
    out->Write(text.data(), text.size());
    out->Close();
}

void LoadBatchList(const std::string& path, TBatchList& list) {
    const std::string text = ReadWholeFile(path);
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() < 4 || !SameKeyword(TrimView(lines[0]), kProductWord) ||
        !SameKeyword(TrimView(lines[1]), kFormatMark)) {
        throw EInvalidBatchList();
    }
    list.Combine = BatchListBoolean(lines[2]);
    list.CombineFile = os::PathFromSystemText(lines[3]);
    for (std::size_t i = 4; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int type = ConversionTypeFromText(SplitString(line, 1, kFieldSeparator));
        list.Entries.push_back(
            MakeBatchEntry(type, os::PathFromSystemText(SplitString(line, 2, kFieldSeparator)),
                           os::PathFromSystemText(SplitString(line, 3, kFieldSeparator))));
    }
}

}  // namespace varnelo
