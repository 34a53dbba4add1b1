// SPDX-License-Identifier: MIT
// How long the worst hostile sources take: lines of a hundred megabytes must stream through in
// time and memory linear in their length, and counts at the end of their range must fail at
// once, without work that grows with the count. Slow (300 MB written): run by the "slow" label.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../support/child_process.hpp"
#include "../support/dbf_values.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/sanitizer.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using ::testing::HasSubstr;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kHeader =
    "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

class HostileTiming : public ::testing::Test {
  protected:
    std::string Out(const std::string& ext) const {
        return testing::ReadFileBytes(dir.Path("out" + ext));
    }
    std::vector<std::string> Column(const std::string& field) {
        return testing::DbfColumn(dir.Path("out.dbf"), field);
    }

    TempDir dir;
};

TEST_F(HostileTiming, CountsAtTheEndOfTheirRangeFailAtOnce) {
    const std::string point = "Point 1 2\r\n";
    const std::pair<int, std::string> cases[] = {
        {ctPolygon, point + "Region 2147483647\r\n 3\r\n0 0\r\n1 1\r\n1 0\r\n"},
        {ctPolygon, point + "Region 1\r\n 2147483647\r\n0 0\r\n1 1\r\n"},
        {ctPolyLine, point + "Pline Multiple 2147483647\r\n 2\r\n0 0\r\n1 1\r\n"},
        {ctPolyLine, point + "Pline Multiple 2\r\n 2147483647\r\n0 0\r\n"},
        {ctPolyLine, point + "Pline 2147483647\r\n0 0\r\n"},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [type, data] : cases) {
        WriteFileBytes(dir.Path("counts.mif"),
                       kHeader + "Columns 1\r\n  ID Integer\r\nData\r\n" + data);
        WriteFileBytes(dir.Path("counts.mid"), "7\r\n8\r\n");
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        EXPECT_FALSE(ConvertMifToShp(type, dir.Path("counts.mif"), dir.Path("out.shp"), hooks));
        EXPECT_THAT(report.ErrorText, HasSubstr("オブジェクト")) << data;
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10);
}

// A line of this many bytes without a line end.
constexpr std::size_t kHugeLine = std::size_t{100} << 20;

TEST_F(HostileTiming, HundredMegabyteLinesStreamThroughInLinearTime) {
    // One point whose coordinates follow 100 MB of blanks, then 100 MB of junk that never
    // ends its line; its row is 100 MB long.
    {
        std::ofstream mif(dir.Path("huge.mif"), std::ios::binary);
        mif << kHeader << "Columns 1\r\n  NAME Char(20)\r\nData\r\n";
        mif << "Point" << std::string(kHugeLine, ' ') << "3 4\r\n";
        mif << std::string(kHugeLine, 'x');
        std::ofstream mid(dir.Path("huge.mid"), std::ios::binary);
        mid << std::string(kHugeLine, 'n');
    }
    const auto convert = [&] {
        TConversionReport childReport;
        TConversionHooks hooks;
        hooks.Report = &childReport;
        const bool ok = ConvertMifToShp(ctPoint, dir.Path("huge.mif"), dir.Path("out.shp"), hooks);
        return ok && childReport.RecordsWritten == 1 ? 0 : 1;
    };
    // In a child of its own, where there are such, so that its peak memory is its own.
    const bool measured = os::CanRunInChild();
    testing::TChildOutcome outcome;
    if (measured) {
        outcome = RunInChild(convert);
    } else {
        const auto start = std::chrono::steady_clock::now();
        outcome.ExitCode = convert();
        outcome.Seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    EXPECT_TRUE(outcome.Exited(0)) << "exit " << outcome.ExitCode << ", signal " << outcome.Signal;
    EXPECT_EQ(Column("NAME"), std::vector<std::string>{std::string(20, 'n')});
    EXPECT_EQ(testing::DoubleAt(Out(".shp"), 112), 3.0);
    EXPECT_EQ(testing::DoubleAt(Out(".shp"), 120), 4.0);
    EXPECT_LT(outcome.Seconds, 60) << "not linear in the line length";
#ifndef VARNELO_SANITIZED
    // The longest line is held a few times over (the reader's line, its collapsed copy, the
    // row as read and as kept), never more.
    if (measured) {
        EXPECT_LT(outcome.PeakRssMb, 6 * static_cast<double>(kHugeLine) / 1e6);
    }
#endif
    std::printf("[ measured ] 100 MB lines: %.1f s, peak RSS %.0f MB\n", outcome.Seconds,
                outcome.PeakRssMb);
}

}  // namespace
}  // namespace varnelo
