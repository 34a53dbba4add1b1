// SPDX-License-Identifier: MIT
#include "app/batch_file.hpp"

#include <array>
#include <vector>

#include "engine/line_reader.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "shape/output_stream.hpp"
#include "shape/value_text.hpp"

namespace varnelo {
namespace {

constexpr std::string_view kProductWord = "Varnelo";
constexpr std::string_view kFormatMark = "200";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kFieldSeparator = '\t';

std::string ReadWholeFile(const std::string& path) {
    TFileSource source(path);
    std::string bytes;
    std::array<char, 65536> chunk;
    while (const std::size_t n = source.Read(chunk.data(), chunk.size())) {
        bytes.append(chunk.data(), n);
    }
    return bytes;
}

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

void CheckSavable(const std::string& path) {
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        // Shown with its line breaks as "?", so that the message stays on one line.
        throw Exception("パス \"" + TextForMessage(path, path.size()) +
                        "\" は改行を含むため、バッチリストに保存できません");
    }
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
    CheckSavable(list.CombineFile);
    std::string text;
    for (const std::string_view line :
         {kProductWord, kFormatMark, std::string_view(list.Combine ? "-1" : "0"),
          std::string_view(list.CombineFile)}) {
        text.append(line).append(kLineEnd);
    }
    for (const TBatchEntry& entry : list.Entries) {
        CheckSavable(entry.MifFile);
        CheckSavable(entry.ShpFile);
        AppendQuoted(text, std::to_string(entry.ConversionType));
        text += kFieldSeparator;
        AppendQuoted(text, entry.MifFile);
        text += kFieldSeparator;
        AppendQuoted(text, entry.ShpFile);
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
    list.CombineFile = std::string(lines[3]);
    for (std::size_t i = 4; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int type = ConversionTypeFromText(SplitString(line, 1, kFieldSeparator));
        list.Entries.push_back(MakeBatchEntry(type, SplitString(line, 2, kFieldSeparator),
                                              SplitString(line, 3, kFieldSeparator)));
    }
}

}  // namespace varnelo
