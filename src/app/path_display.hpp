// SPDX-License-Identifier: MIT
// A path shown in a column too narrow for it: the file name stays whole as long as it fits,
// and the folder before it gives way in its middle.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace varnelo {

// `path` shortened to fit `width` as `measure` counts widths: whole when it fits; else its
// folder shortened in the middle with "…" before the whole file name ("/home/u…/out/a.mif");
// else the file name alone, shortened in its middle when even that does not fit. Characters
// of UTF-8 are never split.
std::string FitPath(std::string_view path, int width,
                    const std::function<int(std::string_view)>& measure);

}  // namespace varnelo
