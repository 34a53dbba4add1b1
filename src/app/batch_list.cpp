// SPDX-License-Identifier: MIT
#include "app/batch_list.hpp"

#include <cstdint>
#include <optional>

#include "engine/convert.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"
#include "shape/number_text.hpp"

namespace varnelo {
namespace {

TSFColumns ReadColumnsOf(const std::string& mifPath) {
    TLineReader mif = TLineReader::FromFile(mifPath);
    ReadMifHeader(mif);
    TSFColumns columns;
    ReadMifColumns(mif, columns);
    return columns;
}

bool SameColumns(const TSFColumns& a, const TSFColumns& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Type != b[i].Type || a[i].Name != b[i].Name) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view ConversionTypeName(int conversionType) {
    if (conversionType < 0 || conversionType >= static_cast<int>(kConversionTypeNames.size())) {
        throw EConvertError(Text(TText::kAppNoConversionType, conversionType));
    }
    return kConversionTypeNames[static_cast<std::size_t>(conversionType)];
}

int ConversionTypeFromText(std::string_view text) {
    // The number layer's integer, written without a "+" as batch lists always held it.
    const std::optional<std::int32_t> value =
        text.starts_with('+') ? std::nullopt : ParseInt32Text(text);
    if (!value) {
        throw EConvertError(Text(TText::kAppNotAnInteger, text));
    }
    return *value;
}

TBatchEntry MakeBatchEntry(int conversionType, std::string mifFile, std::string shpFile) {
    return TBatchEntry{conversionType,     std::string(ConversionTypeName(conversionType)),
                       std::move(mifFile), std::move(shpFile),
                       TEntryStatus::None, ""};
}

bool CanCombine(const std::vector<TBatchEntry>& entries) {
    if (entries.size() < 2) {
        return false;
    }
    const int type = entries.front().ConversionType;
    for (const TBatchEntry& entry : entries) {
        if (entry.ConversionType != type) {
            return false;
        }
    }
    if (type == ctTextAsPoint || type == ctTextAsLine) {
        return true;  // their table is the one text column, whatever the sources declare
    }
    // Each later file is read into an empty list, so one without a Columns line is compared
    // as having no columns instead of inheriting the previous file's.
    const TSFColumns first = ReadColumnsOf(entries.front().MifFile);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (!SameColumns(first, ReadColumnsOf(entries[i].MifFile))) {
            return false;
        }
    }
    return true;
}

}  // namespace varnelo
