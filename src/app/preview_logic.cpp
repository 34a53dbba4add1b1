// SPDX-License-Identifier: MIT
#include "app/preview_logic.hpp"

#include <charconv>
#include <cmath>

#include "app/batch_list.hpp"
#include "engine/convert.hpp"
#include "engine/file_names.hpp"
#include "engine/table_text.hpp"
#include "shape/errors.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {

std::string_view ShapeTypeName(std::int32_t shapeType) {
    return ConversionTypeName(shapeType == kShapeTypePoint      ? ctPoint
                              : shapeType == kShapeTypePolyLine ? ctPolyLine
                                                                : ctPolygon);
}

std::optional<std::string> DrawingProblemText(const TDrawResult& result) {
    if (result.FirstError.empty()) {
        return std::nullopt;
    }
    if (result.Unreadable == 0) {
        return "図形を読めません: " + result.FirstError;
    }
    return std::to_string(result.Unreadable) + " 件の図形を読めませんでした: " + result.FirstError;
}

std::string PointerText(const TShpPoint& at) {
    const auto number = [](double value) {
        char text[400];
        const auto [end, ec] =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
        return ec == std::errc() ? std::string(text, end) : std::string("?");
    };
    return "X " + number(at.X) + "  Y " + number(at.Y);
}

std::string RowHeaderText(int row, bool deleted) {
    return std::to_string(row + 1) + (deleted ? "*" : "");
}

TPreviewLogic::TPreviewLogic(TShapefileLayer& layer, IPreviewView& view)
    : layer_(layer), view_(view) {}

std::string TPreviewLogic::Title() const {
    return "シェープファイルの表示 - " + ExtractFileName(layer_.ShpPath());
}

std::string TPreviewLogic::Summary() const {
    return std::string(ShapeTypeName(layer_.ShapeType())) + " " +
           std::to_string(layer_.RecordCount()) + " 件   文字コード " + layer_.Charset();
}

bool TPreviewLogic::Searchable() const {
    return layer_.Table().FieldCount() > 0;
}

int TPreviewLogic::FirstSearchField() const {
    for (int i = 0; i < layer_.Table().FieldCount(); ++i) {
        if (layer_.Table().Fields(i).DataType() == ftString) {
            return i;
        }
    }
    return 0;
}

void TPreviewLogic::Search(int field, const std::string& typed,
                           const std::optional<std::string>& key) {
    if (typed.empty() || field < 0) {
        view_.ShowInfo("探す値を入力してください。");
        return;
    }
    if (!key) {
        view_.ShowInfo("「" + typed + "」にはテーブルの文字コード " + layer_.Charset() +
                       " で書けない文字があります。");
        return;
    }
    // The same search again goes on after the record it found, while that one is selected.
    std::optional<int> after;
    if (field == lastFound_.Field && typed == lastFound_.Text &&
        view_.SelectedRow() == lastFound_.Row) {
        after = lastFound_.Row;
    }
    std::optional<TShapefileLayer::TFound> found;
    view_.SetBusyCursor(true);
    try {
        found = layer_.FindRecord(field, *key, after);
    } catch (const Exception& error) {
        view_.SetBusyCursor(false);
        view_.ShowInfo(error.what());
        return;
    }
    view_.SetBusyCursor(false);
    if (!found) {
        lastFound_ = {};
        view_.ShowInfo("「" + typed + "」で始まるレコードはありません。");
        return;
    }
    lastFound_ = {field, typed, found->Row};
    view_.SelectRow(found->Row);
    view_.ShowInfo("レコード " + std::to_string(found->Row + 1) +
                   (found->Wrapped ? " (先頭に戻って見つけました)" : ""));
}

TAttributeRows::TAttributeRows(TLocalDbf& table, std::function<void(const std::string&)> readFailed)
    : table_(table), readFailed_(std::move(readFailed)) {}

int TAttributeRows::RowCount() const {
    return table_.RecordCount();
}

int TAttributeRows::FieldCount() const {
    return table_.FieldCount();
}

const std::string& TAttributeRows::FieldName(int field) const {
    return table_.Fields(field).FieldName();
}

bool TAttributeRows::IsText(int field) const {
    return table_.Fields(field).DataType() == ftString;
}

bool TAttributeRows::IsNumber(int field) const {
    const TFieldType type = table_.Fields(field).DataType();
    return type == ftInteger || type == ftFloat;
}

std::string TAttributeRows::FieldDescription(int field) const {
    const TDbfField& f = table_.DbfField(field);
    return FieldName(field) + " " + std::string(1, f.TypeChar) + "(" + std::to_string(f.Length) +
           ", " + std::to_string(f.Decimals) + ")";
}

const TAttributeRows::TRow& TAttributeRows::Fetch(int row) {
    TRow& cached = cache_[static_cast<std::size_t>(row) % kCachedRows];
    if (cached.Row == row) {
        return cached;
    }
    cached = TRow{row, false, {}};
    try {
        table_.SetRecNo(row + 1);
        if (table_.RecNo() != row + 1) {
            throw ELocalDbfError("レコード " + std::to_string(row + 1) + " を読めません");
        }
        cached.Deleted = table_.IsDeleted();
        for (int i = 0; i < table_.FieldCount(); ++i) {
            cached.Cells.push_back(ShownFieldValue(table_, i));
        }
        failing_ = false;
    } catch (const Exception& error) {
        cached.Cells.clear();
        if (!failing_ && readFailed_) {
            failing_ = true;
            readFailed_(error.what());
        }
    }
    return cached;
}

}  // namespace varnelo
