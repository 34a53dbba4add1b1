// SPDX-License-Identifier: MIT
// File names, one rule each: a path's folder, name and extension, and the files that make up
// one shapefile. Paths are bytes; the separators are the system's ("/"; on Windows "\\", "/"
// and a drive's ":").
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace varnelo {

// Where the file name of `path` starts: after its last separator, else 0.
std::size_t FileNameStart(std::string_view path) noexcept;

// The path with the extension of its file name (from the name's last ".") replaced by `ext`,
// or `ext` appended when the name has none; a "." in a folder name is no extension.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Everything up to and including the last separator, a bare drive given its "\\"; empty for a
// path without a folder part.
std::string ExtractDirWithSlash(std::string_view path);

// The file name: everything after the last separator.
std::string ExtractFileName(std::string_view path);

// The file name without its extension: "b.tar.gz" gives "b.tar", ".profile" gives "".
std::string ExtractNameWithoutExt(std::string_view path);

// The files a conversion writes for one target, by extension: the shapefile triple and the
// .cpg and .prj beside it.
inline constexpr std::array<std::string_view, 5> kShapefileSetExtensions = {".shp", ".shx", ".dbf",
                                                                            ".cpg", ".prj"};

// The file of the set with extension `ext` (one of the above) for the .shp at `shpPath`:
// `shpPath` itself for ".shp", whatever its extension.
std::string ShapefileSetPath(const std::string& shpPath, std::string_view ext);

// The file beside `path` with extension `ext` (".shx", lower case) as other programs name it:
// in upper case when the path's own extension is in upper case ("ROADS.SHP" has a
// "ROADS.SHX"), unless only the other case exists.
std::string FindCompanion(std::string_view path, std::string_view ext);

}  // namespace varnelo
