// SPDX-License-Identifier: MIT
// The code page a MIF Charset names, as the .cpg file beside a shapefile states it, and the
// character set whose boundaries the converter keeps when it cuts names and texts; and the
// other way, the character set a .cpg names, for tools that show a table's text.
#pragma once

#include <optional>
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

// The name iconv and ICU give the character set of a code page file's text as shapefile
// writers fill it: "932" is "CP932", "65001" and "UTF8" are "UTF-8", "88591" is
// "ISO-8859-1", "ANSI 1252" is "CP1252", and any other name is passed on as it stands;
// none for an empty text.
std::optional<std::string> CharsetOfCodePage(std::string_view cpgText);

// The code page file beside a table or shapefile (its path with ".cpg", else ".CPG") and the
// character set it names; none when there is no such file or it names none.
struct TCodePageFile {
    std::string Path;
    std::string Charset;
};
std::optional<TCodePageFile> ReadCodePageFile(std::string_view tablePath);

// The code page of a table's text: the one its code page file names, else code page 932
// ("CP932", with an empty Path), the system code page of the files this program is made for.
TCodePageFile TableCodePage(std::string_view tablePath);

}  // namespace varnelo
