// SPDX-License-Identifier: MIT
// The window program runs with the C library's locale taken from the environment, so the
// conversion must give the same bytes and the same answers under any locale.
#include <gtest/gtest.h>

#include <clocale>
#include <initializer_list>
#include <string>

#include "../support/child_process.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr int kLocaleMissing = 77;

// Converts under the first of `locales` the C library knows (POSIX and Windows name them
// differently), in a child process where there are such, else here with the locale put back
// afterwards. The answer's bits: 1 for the sample converted, 2 for the out-of-range number
// rejected. The files are named after `label`.
int ConvertUnder(std::initializer_list<const char*> locales, const std::string& label,
                 const TempDir& dir) {
    const auto convert = [&] {
        const char* chosen = nullptr;
        for (const char* locale : locales) {
            if (chosen == nullptr && std::setlocale(LC_ALL, locale) != nullptr) {
                chosen = locale;
            }
        }
        if (chosen == nullptr) {
            return kLocaleMissing;
        }
        const std::string out = dir.Path(label);
        const bool sample = ConvertMifToShp(ctPoint, VARNELO_SOURCE_DIR "/samples/stations.mif",
                                            out + "-stations.shp");
        const bool huge = ConvertMifToShp(ctPoint, dir.Path("huge.mif"), out + "-huge.shp");
        return (sample ? 1 : 0) | (huge ? 0 : 2);
    };
    if (!os::CanRunInChild()) {
        const int answers = convert();
        std::setlocale(LC_ALL, "C");
        return answers;
    }
    const auto outcome = RunInChild(convert);
    EXPECT_EQ(outcome.Signal, 0);
    return outcome.ExitCode;
}

TEST(Locale, ConversionGivesTheSameBytesAndAnswersUnderAnyLocale) {
    TempDir dir;
    WriteFileBytes(dir.Path("huge.mif"),
                   "Version 300\r\nColumns 1\r\n  V Decimal(12,6)\r\nData\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("huge.mid"), "1.5e400\r\n");

    ASSERT_EQ(ConvertUnder({"C"}, "C", dir), 3);
    const struct {
        std::initializer_list<const char*> Names;
        const char* Label;
    } locales[] = {
        {{"de_DE.UTF-8", "German_Germany.1252"}, "de"},
        {{"ja_JP.UTF-8", "Japanese_Japan.932"}, "ja"},
    };
    for (const auto& locale : locales) {
        SCOPED_TRACE(*locale.Names.begin());
        const int answers = ConvertUnder(locale.Names, locale.Label, dir);
        if (answers == kLocaleMissing) {
            GTEST_SKIP() << *locale.Names.begin()
                         << " is not installed (scripts/setup.sh generates it)";
        }
        EXPECT_EQ(answers, 3);
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            EXPECT_EQ(ReadFileBytes(dir.Path(std::string(locale.Label) + "-stations" + ext)),
                      ReadFileBytes(dir.Path(std::string("C-stations") + ext)))
                << ext;
        }
    }
}

}  // namespace
}  // namespace varnelo
