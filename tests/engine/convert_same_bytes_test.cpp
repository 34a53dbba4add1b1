// SPDX-License-Identifier: MIT
// The converter's output for the benchmark generator's files stays byte for byte what it was:
// every conversion type over every kind of generated data, checked against digests taken from
// a plain build of the converter, and against the plainest way of writing the rows. Digests are
// SHA-256 as `sha256sum` prints them; the .dbf is digested with its three date bytes (1-3) zeroed,
// since they record the day of the run. The generated shapes go through the math library's cos and
// sin, so another platform's library may move a coordinate and with it the digests of the geometry
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "../support/sha256.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "engine/text_ops.hpp"
#include "mif_generator.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

using bench::TMifKind;
using testing::ReadFileBytes;
using testing::Sha256Hex;
using testing::TempDir;

struct TSameBytesCase {
    const char* Name;
    TMifKind Kind;
    std::uint64_t MifBytes;  // generator's size cap, 0 for none
    std::uint64_t Objects;   // generator's object cap, 0 for none
    int ConversionType;
    const char* ShpDigest;
    const char* ShxDigest;
    const char* DbfDigest;
};

void PrintTo(const TSameBytesCase& c, std::ostream* os) {
    *os << c.Name;
}

std::string DbfWithoutDate(std::string dbf) {
    for (std::size_t i = 1; i <= 3 && i < dbf.size(); ++i) {
        dbf[i] = '\0';
    }
    return dbf;
}

class ConvertSameBytes : public ::testing::TestWithParam<TSameBytesCase> {
  protected:
    static void SetUpTestSuite() { inputs_ = std::make_unique<TempDir>(); }
    static void TearDownTestSuite() { inputs_.reset(); }

    // The generated pair of a case, made once and shared by the cases that use it.
    static std::string InputFor(const TSameBytesCase& c) {
        const std::string mif =
            inputs_->Path(std::string(bench::MifKindName(c.Kind)) + "-" +
                          std::to_string(c.MifBytes) + "-" + std::to_string(c.Objects) + ".mif");
        if (!std::filesystem::exists(mif)) {
            bench::TMifGeneratorOptions options;
            options.Kind = c.Kind;
            options.TargetMifBytes = c.MifBytes;
            options.MaxObjects = c.Objects;
            options.Seed = 7;
            bench::GenerateMifPairFiles(options, mif, bench::MidPathFor(mif));
        }
        return mif;
    }

    TempDir out_;

  private:
    static std::unique_ptr<TempDir> inputs_;
};

std::unique_ptr<TempDir> ConvertSameBytes::inputs_;

TEST_P(ConvertSameBytes, WritesTheRecordedBytes) {
#if defined(__clang__)
    // The generator makes several random draws in one call's arguments, whose order of
    // evaluation is the compiler's choice: the digests hold for the data of a GCC build.
    GTEST_SKIP() << "digests taken from GCC-built generator data";
#endif
    const TSameBytesCase& c = GetParam();
    const std::string mif = InputFor(c);
    const std::string shp = out_.Path("out.shp");
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Report = &report;
    ASSERT_TRUE(ConvertMifToShp(c.ConversionType, mif, shp, hooks)) << report.ErrorText;
    EXPECT_GT(report.RecordsWritten, 0);

    EXPECT_EQ(Sha256Hex(ReadFileBytes(shp)), c.ShpDigest) << ".shp";
    EXPECT_EQ(Sha256Hex(ReadFileBytes(out_.Path("out.shx"))), c.ShxDigest) << ".shx";
    EXPECT_EQ(Sha256Hex(DbfWithoutDate(ReadFileBytes(out_.Path("out.dbf")))), c.DbfDigest)
        << ".dbf";
}

// The row writer in its plainest form: each value taken on its own by SplitString, both
// Dequote steps as strings, the field set through the generic field layer, the record
// posted and written at once.
void AppendRowThePlainWay(TLocalDbf& table, std::string_view line) {
    if (!table.Active()) {
        return;
    }
    table.Append();
    for (int i = 0; i < table.FieldCount(); ++i) {
        const std::string value = Dequote(Dequote(SplitString(line, i + 1, ','), '"'), '\'');
        table.Fields(i).SetAsString(value);
    }
    table.Post();
}

TEST_P(ConvertSameBytes, WritesWhatThePlainRowByRowPathWrites) {
    const TSameBytesCase& c = GetParam();
    const std::string mif = InputFor(c);
    TConversionHooks plain;
    plain.PlainRowWriter = &AppendRowThePlainWay;
    ASSERT_TRUE(ConvertMifToShp(c.ConversionType, mif, out_.Path("plain.shp"), plain));
    ASSERT_TRUE(ConvertMifToShp(c.ConversionType, mif, out_.Path("fast.shp")));

    EXPECT_EQ(ReadFileBytes(out_.Path("fast.shp")), ReadFileBytes(out_.Path("plain.shp")));
    EXPECT_EQ(ReadFileBytes(out_.Path("fast.shx")), ReadFileBytes(out_.Path("plain.shx")));
    const std::string fastDbf = DbfWithoutDate(ReadFileBytes(out_.Path("fast.dbf")));
    const std::string plainDbf = DbfWithoutDate(ReadFileBytes(out_.Path("plain.dbf")));
    ASSERT_EQ(fastDbf.size(), plainDbf.size());
    EXPECT_TRUE(fastDbf == plainDbf)
        << "the .dbf files differ first at byte "
        << std::mismatch(fastDbf.begin(), fastDbf.end(), plainDbf.begin()).first - fastDbf.begin();
}

const TSameBytesCase kCases[] = {
    {"RegionsAsPolygons", TMifKind::Regions, 1'000'000, 0, ctPolygon,
     "fe17b3de16288d731c18b0bddb3b308edd024ea73cbbf73013804cf867be7d4a",
     "5504533014e778648e9cfdaadcdcf257f5c5522caa60d24a3798b22081ff9bfa",
     "266a478d76e579b74a4551ab8098fb0002d17d2792646258f32d526cb0a1f82f"},
    {"PlinesAsPolylines", TMifKind::Plines, 1'000'000, 0, ctPolyLine,
     "546ef999b2ca5027c5849337ce34dca541067ce9a0bdeaee636d099d53a29984",
     "7c094d3b923ffe5d9457d747c19618d4b73dd1f0c0a06a2167844a94d2ae88fe",
     "e56ed88d3a5aaa22fba9c10aff1d272d2f036e4ea742866a7558f713d5cbdf3f"},
    {"PointsAsPoints", TMifKind::Points, 0, 20'000, ctPoint,
     "91fa29af6c8983792352cc7f017c6f49d873fc361ad8ca78d8b1b7ce5b3c4cd6",
     "6b2db76ddc03cbc3ba5ee1f575e68aa63464589092e49b84a0e5057ac71e5185",
     "7750d8cbb9dc80de27662023f2b6fa19c7ffb1038026939d67f298e87feddcd8"},
    {"MixAsPoints", TMifKind::Mix, 1'000'000, 0, ctPoint,
     "293939de5921d4737fae0a34ae94ba5431496b350b854d5adeef7a998b32b2fa",
     "b319259917c0dab9e16548b76ce1c0b90fedfcee1c9cdddbc91aed84800cf56b",
     "50be6ca0664e4a8e105fb12b75399c5ae1553ce72eeafc5e4f0eae884501ba49"},
    {"MixAsPolylines", TMifKind::Mix, 1'000'000, 0, ctPolyLine,
     "086917ac0cba2d6a3cb030f07d3d0dcf55549a32914144e4cbc62e0169a5c270",
     "a63cec1a623599b49ca7d543e06fe134719c1c1681ebc5319c503df2cf76e011",
     "47deca66dd413c79d9632c406ceebdf8218b9ef7b3d5a8e1536abc7e69df5ef6"},
    {"MixAsPolygons", TMifKind::Mix, 1'000'000, 0, ctPolygon,
     "6f26c8c15b0faab43b520a1432339baeb06014106a4e46bbd7aea16c08e6a4aa",
     "cbf221a57054ba533687fd8b2582bcb4c26cdcca31ce99adf55795d46e74dea5",
     "75619f300e318da38e2efc76125611e59f7a2f7afa1dc0b6006e16e454e994e2"},
    {"MixTextAsPoints", TMifKind::Mix, 1'000'000, 0, ctTextAsPoint,
     "e9901100c2a0d0a3c310ddd750208d1338e5e4b0c2a23332b874d26cf42ab54f",
     "7ede472164708f21f652b080f36753f27e1c5ad2d3f41cc319f1a3a9e7c1eb62",
     "d238a1260315046773dad78caa4e697638eea5201aadc032bd05033caddfbd7a"},
    {"MixTextAsLines", TMifKind::Mix, 1'000'000, 0, ctTextAsLine,
     "2234748f3e388b1d9b235a855fa23050817493154c66922983954ae3cb9b9dde",
     "5188f09e57f2091fe06d68e916c51c756d3a71c7a88ef292f80b112d24129823",
     "d238a1260315046773dad78caa4e697638eea5201aadc032bd05033caddfbd7a"},
};

INSTANTIATE_TEST_SUITE_P(GeneratedData, ConvertSameBytes, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace varnelo
