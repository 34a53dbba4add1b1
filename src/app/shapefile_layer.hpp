// SPDX-License-Identifier: MIT
// A shapefile opened to be looked at: its shapes through the shapefile reader and its
// attribute table through the table engine, both read-only, with the character set of the
// table's text. Opening checks that the parts belong together, so that the shape of table
// row r is record r of the .shp.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "shape/local_dbf.hpp"
#include "shape/shp_reader.hpp"

namespace varnelo {

class TShapefileLayer {
  public:
    // Opens `shpPath` with the .shx and .dbf beside it (their extensions in the case of the
    // .shp's, else in the other case). Raises an Exception naming the file when a part is
    // missing or damaged, or when the .shx and the .dbf count different numbers of records.
    explicit TShapefileLayer(std::string shpPath);

    const std::string& ShpPath() const noexcept { return shpPath_; }
    const std::string& ShxPath() const noexcept { return shxPath_; }
    const std::string& DbfPath() const noexcept { return dbfPath_; }
    // The character set of the table's text, as iconv and ICU name it: the one the .cpg
    // beside the table names, else "CP932".
    const std::string& Charset() const noexcept { return charset_; }

    int RecordCount() const noexcept { return shapes_->RecordCount(); }
    std::int32_t ShapeType() const noexcept { return shapes_->ShapeType(); }
    // For one thread at a time; another thread opens a reader of its own on ShpPath and
    // ShxPath.
    TShapefileReader& Shapes() noexcept { return *shapes_; }
    // Shows records marked deleted too, so that row r is always record r + 1.
    TLocalDbf& Table() noexcept { return table_; }

    struct TFound {
        int Row = 0;
        bool Wrapped = false;  // found only by starting again at the first record
    };
    // The first record after row `after` (from the first record when none) whose field
    // `fieldIndex` begins with `key` (bytes of the table's code page), ignoring the case of
    // Latin letters; once past the last record the search goes on from the first. Records
    // marked deleted never match. A key that the field's type cannot hold raises the
    // engine's EConvertError.
    std::optional<TFound> FindRecord(int fieldIndex, const std::string& key,
                                     std::optional<int> after);

  private:
    std::string shpPath_;
    std::string shxPath_;
    std::string dbfPath_;
    std::string charset_;
    std::unique_ptr<TShapefileReader> shapes_;
    TLocalDbf table_;
};

}  // namespace varnelo
