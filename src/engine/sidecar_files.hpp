// SPDX-License-Identifier: MIT
// The .cpg and .prj files beside a shapefile: the code page of the table's text and the
// coordinate system of the geometry, as the source's header declares them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/convert.hpp"
#include "engine/mif_header.hpp"

namespace varnelo {

using TOutputFactory = std::function<std::unique_ptr<TOutputStream>(const std::string& path)>;

// Writes TARGET.cpg and TARGET.prj (TARGET being `targetPath`, the path of any of the
// shapefile's files, without its extension) for the header's Charset and CoordSys,
// replacing files of those names. Where the header gives nothing to write, a file of that
// name left from an earlier conversion into the same target is removed, so that it cannot
// speak for the new data. Fills `codePage` and `coordSys` with what was written or why
// not. The files are created on disk unless `createOutput` is given. Raises EInOutError or
// EWriteError when a file cannot be written or removed.
void WriteSidecarFiles(const std::string& targetPath, const TMifHeaderInfo& header,
                       const TOutputFactory& createOutput, TSidecarOutcome& codePage,
                       TSidecarOutcome& coordSys);

}  // namespace varnelo
