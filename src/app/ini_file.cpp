// SPDX-License-Identifier: MIT
#include "app/ini_file.hpp"

#include "engine/line_reader.hpp"
#include "engine/text_ops.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"
#include "shape/number_text.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {
namespace {

bool IsSectionLine(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string_view SectionName(std::string_view line) {
    return TrimView(line.substr(1, line.size() - 2));
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
    if (os::KindOfPath(path_) != os::TFileKind::Regular) {
        return;
    }
    std::string bytes;
    try {
        bytes = ReadWholeFile(path_);
    } catch (const EInOutError&) {
        return;  // unreadable: as if empty
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

std::size_t TIniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = TrimView(lines_[i]);
        if (IsSectionLine(line) && SameKeyword(SectionName(line), section)) {
            return i;
        }
    }
    return lines_.size();
}

std::size_t TIniFile::FindKey(std::size_t header, std::string_view key, bool& found) const {
    std::size_t end = header + 1;
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        const std::string_view line = TrimView(lines_[i]);
        if (IsSectionLine(line)) {
            break;
        }
        if (!line.empty()) {
            end = i + 1;  // new keys go after the section's last non-empty line
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && SameKeyword(TrimView(line.substr(0, eq)), key)) {
            found = true;
            return i;
        }
    }
    found = false;
    return end;
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
    const std::size_t header = FindSection(section);
    if (header == lines_.size()) {
        return fallback;
    }
    bool found = false;
    const std::size_t at = FindKey(header, key, found);
    if (!found) {
        return fallback;
    }
    const std::string_view line = lines_[at];
    std::string_view text = TrimView(line.substr(line.find('=') + 1));
    // The number layer's integer; a "+" before a "-" is passed over, as it always was.
    if (text.starts_with("+-")) {
        text.remove_prefix(1);
    }
    return ParseInt32Text(text).value_or(fallback);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    std::string line(key);
    line += '=';
    line += std::to_string(value);
    std::size_t header = FindSection(section);
    if (header == lines_.size()) {
        std::string sectionLine(1, '[');
        sectionLine.append(section).push_back(']');
        lines_.push_back(std::move(sectionLine));
    }
    bool found = false;
    const std::size_t at = FindKey(header, key, found);
    if (found) {
        lines_[at] = std::move(line);
    } else {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    }
    Save();
}

void TIniFile::Save() const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    try {
        TFileOutputStream out(path_, bytes.size());
        out.Write(bytes.data(), bytes.size());
        out.Close();
    } catch (const EInOutError&) {
        throw EInOutError(path_ + " に書き込めません");
    }
}

}  // namespace varnelo
