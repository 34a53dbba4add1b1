// SPDX-License-Identifier: MIT
#include "app/shapefile_layer.hpp"

#include "engine/code_page.hpp"
#include "engine/file_names.hpp"
#include "shape/errors.hpp"

namespace varnelo {

TShapefileLayer::TShapefileLayer(std::string shpPath)
    : shpPath_(std::move(shpPath)),
      shxPath_(FindCompanion(shpPath_, ".shx")),
      dbfPath_(FindCompanion(shpPath_, ".dbf")),
      shapes_(std::make_unique<TShapefileReader>(shpPath_, shxPath_)) {
    charset_ = TableCodePage(dbfPath_).Charset;
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
