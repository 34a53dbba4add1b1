// SPDX-License-Identifier: MIT
// The window program runs with the C library's locale taken from the environment, so the
// conversion must give the same bytes and the same answers under any locale.
#include <gtest/gtest.h>

#include <clocale>
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

// Converts under `locale` in a child process; the exit code's bits are the two answers:
// 1 for the sample converted, 2 for the out-of-range number rejected.
int ConvertUnder(const char* locale, const TempDir& dir) {
    const auto outcome = RunInChild([&] {
        if (std::setlocale(LC_ALL, locale) == nullptr) {
            return kLocaleMissing;
        }
        const std::string out = dir.Path(locale);
        const bool sample = ConvertMifToShp(ctPoint, VARNELO_SOURCE_DIR "/samples/stations.mif",
                                            out + "-stations.shp");
        const bool huge = ConvertMifToShp(ctPoint, dir.Path("huge.mif"), out + "-huge.shp");
        return (sample ? 1 : 0) | (huge ? 0 : 2);
    });
    EXPECT_EQ(outcome.Signal, 0);
    return outcome.ExitCode;
}

TEST(Locale, ConversionGivesTheSameBytesAndAnswersUnderAnyLocale) {
    TempDir dir;
    WriteFileBytes(dir.Path("huge.mif"),
                   "Version 300\r\nColumns 1\r\n  V Decimal(12,6)\r\nData\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("huge.mid"), "1.5e400\r\n");

    ASSERT_EQ(ConvertUnder("C", dir), 3);
    for (const char* locale : {"de_DE.UTF-8", "ja_JP.UTF-8"}) {
        SCOPED_TRACE(locale);
        const int answers = ConvertUnder(locale, dir);
        if (answers == kLocaleMissing) {
            GTEST_SKIP() << locale << " is not installed (scripts/setup.sh generates it)";
        }
        EXPECT_EQ(answers, 3);
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            EXPECT_EQ(ReadFileBytes(dir.Path(std::string(locale) + "-stations" + ext)),
                      ReadFileBytes(dir.Path(std::string("C-stations") + ext)))
                << ext;
        }
    }
}

}  // namespace
}  // namespace varnelo
