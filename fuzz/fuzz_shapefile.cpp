// SPDX-License-Identifier: MIT
// Arbitrary bytes as a shapefile pair held in memory: the first four bytes (little-endian)
// give the length of the .shx that follows them, the rest is the .shp. Every record is read,
// forwards and then backwards, and what a read answers must be safe to draw: parts in order
// within the points, one point for a point record, nothing for a null shape. Refusing a
// file or a record with the reader's own errors is fine; any other error, and any crash, is
// a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "shape/errors.hpp"
#include "shape/shp_reader.hpp"
#include "shape/shp_writer.hpp"
#include "shape/table_storage.hpp"

namespace {

using namespace varnelo;

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "shapefile reader check failed: %s\n", rule);
    std::abort();
}

void Require(bool holds, const char* rule) {
    if (!holds) {
        Broken(rule);
    }
}

void CheckShape(const TShape& shape, std::int32_t fileType) {
    if (shape.IsNull()) {
        Require(shape.Parts.empty() && shape.Points.empty(), "a null shape with points");
        return;
    }
    Require(shape.ShapeType == fileType, "a record of another shape type");
    if (fileType == kShapeTypePoint) {
        Require(shape.Points.size() == 1 && shape.Parts.empty(), "a point record's points");
        return;
    }
    std::size_t seen = 0;
    for (std::size_t k = 0; k < shape.Parts.size(); ++k) {
        Require(
            shape.Parts[k] >= 0 && static_cast<std::size_t>(shape.Parts[k]) <= shape.Points.size(),
            "a part outside the points");
        Require(k == 0 || shape.Parts[k] >= shape.Parts[k - 1], "parts out of order");
        seen += shape.Part(k).size();
    }
    Require(seen <= shape.Points.size(), "parts cover more than the points");
}

void ReadRecord(TShapefileReader& reader, int index, TShape& shape) {
    try {
        reader.ReadShape(index, shape);
    } catch (const EShapefileError&) {
        Require(shape.IsNull() && shape.Parts.empty() && shape.Points.empty(),
                "a refused record left points behind");
        return;
    }
    CheckShape(shape, reader.ShapeType());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.size() < 4) {
        return 0;
    }
    std::uint32_t shxLength = 0;
    for (int i = 0; i < 4; ++i) {
        shxLength |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    const std::string_view rest = input.substr(4);
    const std::size_t split = std::min<std::size_t>(shxLength, rest.size());

    auto files = std::make_shared<TMemoryFileSet>();
    auto shx = std::make_shared<TMemoryFile>();
    auto shp = std::make_shared<TMemoryFile>();
    shx->Bytes.assign(rest.substr(0, split));
    shp->Bytes.assign(rest.substr(split));
    (*files)["t.shx"] = shx;
    (*files)["t.shp"] = shp;

    std::unique_ptr<TShapefileReader> reader;
    try {
        reader =
            std::make_unique<TShapefileReader>("t.shp", "t.shx", MakeMemoryStorageFactory(files));
    } catch (const EShapefileError&) {
        return 0;
    }
    TShape shape;
    for (int i = 0; i < reader->RecordCount(); ++i) {
        ReadRecord(*reader, i, shape);
    }
    for (int i = reader->RecordCount() - 1; i >= 0; --i) {
        ReadRecord(*reader, i, shape);
    }
    try {
        reader->ReadShape(reader->RecordCount(), shape);
        Broken("a record beyond the index was read");
    } catch (const EShapefileError&) {
    }
    return 0;
}
