// SPDX-License-Identifier: MIT
// The code page a MIF Charset names, as the .cpg file beside a shapefile states it, and the
// character set whose boundaries the converter keeps when it cuts names and texts.
#pragma once

#include <string>
#include <string_view>

#include "shape/character_set.hpp"

namespace varnelo {

struct TCodePage {
    std::string CpgText;  // what the .cpg holds ("932", "1252", "UTF-8"); empty when none
    TCharacterSet Characters = TCharacterSet::ShiftJis;
    std::string Reason;  // why there is no .cpg; empty when there is one
};

// "WindowsJapanese", "Neutral" and no Charset at all mean the system code page, 932;
// "UTF-8" is UTF-8; the other Windows character sets, the ISO 8859 sets and the DOS code
// pages ("CodePage437") have their code page numbers. Names are compared ignoring case.
// Any other name gives no .cpg and keeps the rules of code page 932.
TCodePage CodePageOfCharset(std::string_view charset);

}  // namespace varnelo
