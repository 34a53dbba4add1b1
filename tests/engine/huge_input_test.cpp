// SPDX-License-Identifier: MIT
// Conversions of sources far larger than memory, generated here and removed afterwards: a
// .mif of more than 4 GiB of regions must stream through in a small, fixed amount of memory,
// and a conversion whose .shp would pass the format's 2 GiB limit must stop with a clear
// error before writing a record the offsets cannot reach. Slow: run by the "slow" label.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "../support/child_process.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/sanitizer.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "os/catalog.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::Big;
using testing::Little;
using testing::RunInChild;
using testing::TempDir;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr double kMemoryCeilingMb = 64 * 1.048576;  // 64 MiB

const std::string kHeader =
    "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

std::string FirstBytes(const std::string& path, std::size_t count) {
    std::string bytes(count, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Writes `copies` times a block of objects, with one .mid line per object, after a header
// that declares `columns`. The block is made once, so gigabytes cost only the disk's time.
void WriteRepeated(const std::string& mifPath, const std::string& columns, const std::string& block,
                   const std::string& midBlock, std::uint64_t copies) {
    std::ofstream mif(mifPath, std::ios::binary);
    std::ofstream mid(ChangeFileExt(mifPath, ".mid"), std::ios::binary);
    mif << kHeader << columns << "Data\r\n\r\n";
    for (std::uint64_t i = 0; i < copies; ++i) {
        mif.write(block.data(), static_cast<std::streamsize>(block.size()));
        mid.write(midBlock.data(), static_cast<std::streamsize>(midBlock.size()));
    }
    ASSERT_TRUE(mif.good() && mid.good()) << "no room for the generated source";
}

class HugeInput : public ::testing::Test {
  protected:
    // Converts in a child process, so that its peak memory is its own.
    testing::TChildOutcome ConvertInChild(int type, const std::string& mif) {
        return RunInChild([&] {
            TConversionHooks hooks;
            hooks.Report = &report;
            hooks.KeepPartial = true;  // what a failed conversion wrote, kept to be looked at
            const bool ok = ConvertMifToShp(type, mif, dir.Path("out.shp"), hooks);
            // The report goes back through a small file: the child's memory is its own.
            std::ofstream(dir.Path("report.txt")) << report.RecordsWritten << '\n'
                                                  << report.ErrorText << '\n';
            return ok ? 0 : 1;
        });
    }
    void ReadReport() {
        std::ifstream in(dir.Path("report.txt"));
        in >> report.RecordsWritten;
        in.ignore();
        std::getline(in, report.ErrorText);
    }

    TempDir dir;
    TConversionReport report;
};

TEST_F(HugeInput, RegionsOfMoreThanFourGigabytesStreamInLittleMemory) {
    // One region of twelve points written with many digits and followed by its style lines,
    // so that the .mif grows more than twice as fast as the .shp.
    std::string region = "Region 1\r\n  12\r\n";
    for (int i = 0; i < 12; ++i) {
        char point[64];
        const double angle = i * 3.14159265358979323846 / 6;
        std::snprintf(point, sizeof point, "%.16f %.16f\r\n", 139.5 + 0.1 * std::cos(angle),
                      35.5 + 0.1 * std::sin(angle));
        region += point;
    }
    region += "    Pen (1,2,0)\r\n    Brush (2,16777215,16777215)\r\n    Center 139.5 35.5\r\n";
    const std::string row = "\"parcel\",123\r\n";
    constexpr int kPerBlock = 2000;
    std::string block;
    std::string midBlock;
    for (int i = 0; i < kPerBlock; ++i) {
        block += region;
        midBlock += row;
    }
    const std::uint64_t copies = (4 * kGiB + 256 * (kGiB >> 10)) / block.size() + 1;
    const std::string mif = dir.Path("huge.mif");
    WriteRepeated(mif, "Columns 2\r\n  NAME Char(16)\r\n  ID Integer\r\n", block, midBlock, copies);
    ASSERT_GT(fs::file_size(mif), 4 * kGiB);
    block.clear();
    block.shrink_to_fit();

    const testing::TChildOutcome outcome = ConvertInChild(ctPolygon, mif);
    ReadReport();
    const std::uint64_t regions = copies * kPerBlock;
    std::printf("[ measured ] %.2f GB of .mif, %llu regions: %.1f s, peak RSS %.1f MB\n",
                static_cast<double>(fs::file_size(mif)) / 1e9,
                static_cast<unsigned long long>(regions), outcome.Seconds,
                outcome.PeakRssMb / 1.048576);
    fs::remove(mif);
    EXPECT_TRUE(outcome.Exited(0)) << report.ErrorText;
    EXPECT_EQ(report.RecordsWritten, static_cast<std::int64_t>(regions));
#ifndef VARNELO_SANITIZED
    EXPECT_LT(outcome.PeakRssMb, kMemoryCeilingMb);
#endif

    // Each region is one ring of 13 points once closed: 8 + 44 + 4 + 13 * 16 bytes.
    const std::string shp = dir.Path("out.shp");
    const std::uint64_t shpSize = 100 + regions * 264;
    EXPECT_EQ(fs::file_size(shp), shpSize);
    EXPECT_EQ(Big(FirstBytes(shp, 100), 24), shpSize / 2);
    EXPECT_EQ(fs::file_size(dir.Path("out.shx")), 100 + regions * 8);
    EXPECT_EQ(Little(FirstBytes(dir.Path("out.dbf"), 8), 4, 4), regions);
}

TEST_F(HugeInput, AShapefilePassingTwoGigabytesStopsBeforeTheRecordThatWouldCrossIt) {
    // Ellipses cost 17 bytes of .mif and 5,832 bytes of .shp each (361 points).
    constexpr std::uint64_t kRecord = 8 + 44 + 4 + 361 * 16;
    const std::uint64_t fit = (kMaxShapefileBytes - 100) / kRecord;
    std::string block;
    std::string midBlock;
    for (int i = 0; i < 1000; ++i) {
        block += "Ellipse 0 0 2 1\r\n";
        midBlock += "\r\n";
    }
    const std::string mif = dir.Path("ellipses.mif");
    WriteRepeated(mif, "Columns 0\r\n", block, midBlock, fit / 1000 + 2);

    const testing::TChildOutcome outcome = ConvertInChild(ctPolygon, mif);
    ReadReport();
    std::printf("[ measured ] %llu ellipses up to the 2 GB limit: %.1f s, peak RSS %.1f MB\n",
                static_cast<unsigned long long>(fit), outcome.Seconds,
                outcome.PeakRssMb / 1.048576);
    EXPECT_TRUE(outcome.Exited(1));
    EXPECT_EQ(report.ErrorText, Text(TText::kShapeFileTooLarge));
    EXPECT_EQ(report.RecordsWritten, static_cast<std::int64_t>(fit));
#ifndef VARNELO_SANITIZED
    EXPECT_LT(outcome.PeakRssMb, kMemoryCeilingMb);
#endif
    // Every record that fits is there, whole; no index entry and no row for the one refused.
    EXPECT_EQ(fs::file_size(dir.Path("out.shp")), 100 + fit * kRecord);
    EXPECT_LE(fs::file_size(dir.Path("out.shp")), kMaxShapefileBytes);
    EXPECT_EQ(fs::file_size(dir.Path("out.shx")), 100 + fit * 8);
    EXPECT_EQ(Little(FirstBytes(dir.Path("out.dbf"), 8), 4, 4), fit);
    EXPECT_EQ(Big(FirstBytes(dir.Path("out.shp"), 100), 24), 0u) << "the header was completed";
}

}  // namespace
}  // namespace varnelo
