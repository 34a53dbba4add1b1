// SPDX-License-Identifier: MIT
#include "app/shapefile_layer.hpp"

#include "engine/code_page.hpp"
#include "engine/convert.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

std::string SwapLetterCase(std::string_view text) {
    std::string swapped(text);
    for (char& c : swapped) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return swapped;
}

// The file beside `shpPath` with extension `ext` (".shx"), upper-cased like the .shp's own
// (a "ROADS.SHP" has a "ROADS.SHX"); when only the other case exists, that one.
std::string Beside(const std::string& shpPath, std::string_view ext) {
    const std::string_view name = std::string_view(shpPath).substr(os::FileNameStart(shpPath));
    const std::size_t dot = name.find_last_of('.');
    const bool upper =
        dot != std::string_view::npos && dot > 0 && name.substr(dot) == SwapLetterCase(".shp");
    const std::string preferred = ChangeFileExt(shpPath, upper ? SwapLetterCase(ext) : ext);
    const std::string other = ChangeFileExt(shpPath, upper ? ext : SwapLetterCase(ext));
    const auto exists = [](const std::string& path) {
        return os::KindOfPath(path) != os::TFileKind::None;
    };
    return !exists(preferred) && exists(other) ? other : preferred;
}

}  // namespace

TShapefileLayer::TShapefileLayer(std::string shpPath)
    : shpPath_(std::move(shpPath)),
      shxPath_(Beside(shpPath_, ".shx")),
      dbfPath_(Beside(shpPath_, ".dbf")),
      shapes_(std::make_unique<TShapefileReader>(shpPath_, shxPath_)) {
    const auto cpg = ReadCodePageFile(dbfPath_);
    charset_ = cpg ? cpg->Charset : "CP932";
    table_.SetTableName(dbfPath_);
    table_.SetReadOnly(true);
    table_.SetShowDeleted(true);
    try {
        table_.Open();
    } catch (const Exception& error) {
        throw EInOutError("属性テーブル \"" + dbfPath_ + "\" を開けません: " + error.what());
    }
    if (table_.RecordCount() != shapes_->RecordCount()) {
        throw EShapefileError("図形の数 (" + std::to_string(shapes_->RecordCount()) + ", \"" +
                              shxPath_ + "\") と属性テーブルのレコード数 (" +
                              std::to_string(table_.RecordCount()) + ", \"" + dbfPath_ +
                              "\") が一致しません");
    }
}

std::optional<TShapefileLayer::TFound> TShapefileLayer::FindRecord(int fieldIndex,
                                                                   const std::string& key,
                                                                   std::optional<int> after) {
    const std::string& name = table_.Fields(fieldIndex).FieldName();
    const TLocateOptions options{/*CaseInsensitive=*/true, /*PartialKey=*/true};
    if (after) {
        table_.SetRecNo(*after + 1);
        table_.SetLocateNext(true);
        if (table_.Locate(name, TFieldValue(key), options)) {
            return TFound{table_.RecNo() - 1, false};
        }
    }
    table_.SetLocateNext(false);
    if (table_.Locate(name, TFieldValue(key), options)) {
        return TFound{table_.RecNo() - 1, after.has_value()};
    }
    return std::nullopt;
}

}  // namespace varnelo
