// SPDX-License-Identifier: MIT
#include "mif_generator.hpp"
#include "os/process.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo::bench {
namespace {

struct TPair {
    std::string Mif;
    std::string Mid;
    TMifPairStats Stats;
};

TPair Generate(TMifKind kind, std::uint64_t objects, std::uint64_t seed = 1,
               std::uint64_t targetBytes = 0) {
    TPair pair;
    TMifGeneratorOptions options;
    options.Kind = kind;
    options.MaxObjects = objects;
    options.TargetMifBytes = targetBytes;
    options.Seed = seed;
    pair.Stats = GenerateMifPair(
        options, [&](std::string_view chunk) { pair.Mif += chunk; },
        [&](std::string_view chunk) { pair.Mid += chunk; });
    return pair;
}

// Lines without their CR LF; the text must end in a line end.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string_view::npos;
         end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
        text.remove_suffix(1);
    }
    return text;
}

// The first word of a line as the converter's loop sees it: quotes removed, letters in capitals.
std::string FirstWordUpper(std::string_view line) {
    line = TrimBlanks(line);
    std::string_view word;
    if (!line.empty() && line.front() == '"') {
        word = line.substr(1, line.find('"', 1) - 1);
    } else {
        word = line.substr(0, line.find_first_of(" \t"));
    }
    std::string upper(word);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

int KeywordOf(std::string_view line) {
    const std::string word = FirstWordUpper(line);
    for (int k = 0; k < kwKeywordCount; ++k) {
        if (word == kMifKeywords[static_cast<std::size_t>(k)]) {
            return k;
        }
    }
    return -1;
}

// Values of a .mid line split at commas outside double quotes; quoted values keep their
// quotes, so a test can tell a quoted empty string from a missing value.
std::vector<std::string> MidValues(std::string_view line) {
    std::vector<std::string> values(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;  // a doubled quote toggles twice
        }
        if (c == ',' && !quoted) {
            values.emplace_back();
        } else {
            values.back() += c;
        }
    }
    return values;
}

bool IsInteger(std::string_view text) {
    long long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool IsNumber(std::string_view text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool IsNumberWithDecimals(std::string_view text, std::size_t decimals) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) {
        return decimals == 0 && IsInteger(text);
    }
    return IsInteger(text.substr(0, point)) && text.size() - point - 1 == decimals &&
           IsInteger(text.substr(point + 1));
}

bool IsDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '/' || text[7] != '/') {
        return false;
    }
    const int month = std::stoi(std::string(text.substr(5, 2)));
    const int day = std::stoi(std::string(text.substr(8, 2)));
    return IsInteger(text.substr(0, 4)) && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

struct TXY {
    double X;
    double Y;
};

TXY ParseXY(std::string_view line) {
    line = TrimBlanks(line);
    const std::size_t blank = line.find(' ');
    TXY p{};
    std::from_chars(line.data(), line.data() + blank, p.X);
    std::from_chars(line.data() + blank + 1, line.data() + line.size(), p.Y);
    return p;
}

bool Inside(const std::vector<TXY>& ring, TXY p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        if ((ring[i].Y > p.Y) != (ring[j].Y > p.Y) &&
            p.X <
                (ring[j].X - ring[i].X) * (p.Y - ring[i].Y) / (ring[j].Y - ring[i].Y) + ring[i].X) {
            inside = !inside;
        }
    }
    return inside;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MifGeneratorTest, SameSeedGivesSameBytesAndAnotherSeedDifferentOnes) {
    const TPair first = Generate(TMifKind::Mix, 300, 7);
    const TPair again = Generate(TMifKind::Mix, 300, 7);
    const TPair other = Generate(TMifKind::Mix, 300, 8);
    EXPECT_EQ(first.Mif, again.Mif);
    EXPECT_EQ(first.Mid, again.Mid);
    EXPECT_NE(first.Mif, other.Mif);
    EXPECT_NE(first.Mid, other.Mid);
}

TEST(MifGeneratorTest, EndsEveryLineOfBothFilesWithCrLf) {
    for (TMifKind kind : {TMifKind::Regions, TMifKind::Plines, TMifKind::Points, TMifKind::Mix}) {
        const TPair pair = Generate(kind, 200);
        for (const std::string* text : {&pair.Mif, &pair.Mid}) {
            ASSERT_GE(text->size(), 2u);
            EXPECT_EQ(text->substr(text->size() - 2), "\r\n") << MifKindName(kind);
            for (std::size_t i = 0; i < text->size(); ++i) {
                if ((*text)[i] == '\n') {
                    ASSERT_TRUE(i > 0 && (*text)[i - 1] == '\r')
                        << MifKindName(kind) << " at " << i;
                }
                if ((*text)[i] == '\r') {
                    ASSERT_TRUE(i + 1 < text->size() && (*text)[i + 1] == '\n')
                        << MifKindName(kind) << " at " << i;
                }
            }
        }
    }
}

TEST(MifGeneratorTest, WritesOneMidLinePerObjectKeywordOfEveryKind) {
    for (TMifKind kind : {TMifKind::Regions, TMifKind::Plines, TMifKind::Points, TMifKind::Mix}) {
        const TPair pair = Generate(kind, 2000);
        const auto mifLines = Lines(pair.Mif);
        const auto data = std::find(mifLines.begin(), mifLines.end(), "Data");
        ASSERT_NE(data, mifLines.end());
        std::array<std::uint64_t, kwKeywordCount> seen{};
        for (auto line = data + 1; line != mifLines.end(); ++line) {
            if (const int keyword = KeywordOf(*line); keyword >= 0) {
                ++seen[static_cast<std::size_t>(keyword)];
            }
        }
        EXPECT_EQ(seen, pair.Stats.ByKeyword) << MifKindName(kind);
        EXPECT_EQ(Lines(pair.Mid).size(), 2000u) << MifKindName(kind);
        EXPECT_EQ(pair.Stats.Objects, 2000u);
        if (kind == TMifKind::Mix) {
            for (int k = 0; k < kwKeywordCount; ++k) {
                EXPECT_GT(seen[static_cast<std::size_t>(k)], 0u) << kMifKeywords[k];
            }
        }
    }
}

TEST(MifGeneratorTest, WritesEightMidValuesThatFitTheirColumnTypes) {
    const TPair pair = Generate(TMifKind::Points, 3000, 3);
    int quotesInside = 0;
    int commasInside = 0;
    for (std::string_view line : Lines(pair.Mid)) {
        const auto values = MidValues(line);
        ASSERT_EQ(values.size(), 8u) << line;
        for (int text = 0; text < 2; ++text) {
            const std::string& value = values[static_cast<std::size_t>(text)];
            ASSERT_GE(value.size(), 3u) << line;
            EXPECT_EQ(value.front(), '"') << line;
            EXPECT_EQ(value.back(), '"') << line;
            const std::string inner = value.substr(1, value.size() - 2);
            EXPECT_LE(inner.size(), text == 0 ? 40u : 80u) << line;
            for (std::size_t quote = inner.find('"'); quote != std::string::npos;
                 quote = inner.find('"', quote + 2)) {
                ASSERT_EQ(inner[quote + 1], '"') << "a lone quote inside: " << line;
            }
        }
        quotesInside += values[0].find("\"\"") != std::string::npos;
        commasInside += values[0].find(',') != std::string::npos;
        EXPECT_TRUE(IsInteger(values[2])) << line;
        EXPECT_TRUE(IsInteger(values[3])) << line;
        EXPECT_TRUE(IsNumberWithDecimals(values[4], 3)) << line;
        EXPECT_TRUE(values[5].empty() || IsNumber(values[5])) << line;
        EXPECT_TRUE(values[6].empty() || IsDate(values[6])) << line;
        EXPECT_TRUE(values[7] == "T" || values[7] == "F") << line;
    }
    // The awkward strings do occur, or the converter's quote handling goes unexercised.
    EXPECT_GT(quotesInside, 0);
    EXPECT_GT(commasInside, 0);
}

TEST(MifGeneratorTest, KeepsEveryHoleInsideItsOuterRing) {
    const TPair pair = Generate(TMifKind::Regions, 300, 11);
    const auto lines = Lines(pair.Mif);
    int holes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (KeywordOf(lines[i]) != kwRegion) {
            continue;
        }
        const int rings = std::stoi(std::string(TrimBlanks(lines[i]).substr(6)));
        std::vector<TXY> outer;
        std::size_t at = i + 1;
        for (int ring = 0; ring < rings; ++ring) {
            const int count = std::stoi(std::string(lines[at++]));
            for (int p = 0; p < count; ++p) {
                const TXY point = ParseXY(lines[at++]);
                if (ring == 0) {
                    outer.push_back(point);
                } else {
                    ASSERT_TRUE(Inside(outer, point)) << "region line " << i + 1;
                }
            }
            holes += ring > 0;
        }
        i = at - 1;
    }
    EXPECT_GT(holes, 50);
}

TEST(MifGeneratorTest, StopsAtTheFirstCapReached) {
    const TPair bySize = Generate(TMifKind::Regions, 0, 1, 500'000);
    EXPECT_GE(bySize.Mif.size(), 500'000u);
    EXPECT_LT(bySize.Mif.size(), 500'000u + 20'000u);  // overshoot by one object at most
    EXPECT_EQ(bySize.Stats.MifBytes, bySize.Mif.size());
    EXPECT_EQ(bySize.Stats.MidBytes, bySize.Mid.size());

    const TPair byCount = Generate(TMifKind::Points, 1000, 1, 10'000'000);
    EXPECT_EQ(byCount.Stats.Objects, 1000u);
    EXPECT_EQ(byCount.Stats.ByKeyword[kwPoint], 1000u);

    EXPECT_THROW(Generate(TMifKind::Mix, 0, 1, 0), std::invalid_argument);
}

TEST(MifGeneratorTest, WritesFilesByteForByteAsTheStreamedPair) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("varnelo-mifgen-test-" + std::to_string(os::ProcessId()));
    std::filesystem::create_directories(folder);
    const std::string mifPath = (folder / "big.data.mif").string();
    TMifGeneratorOptions options;
    options.Kind = TMifKind::Mix;
    options.TargetMifBytes = 3'000'000;  // more than one output buffer
    const TMifPairStats stats = GenerateMifPairFiles(options, mifPath, MidPathFor(mifPath));
    const TPair streamed = Generate(TMifKind::Mix, 0, 1, 3'000'000);
    EXPECT_EQ(ReadFile(mifPath), streamed.Mif);
    EXPECT_EQ(ReadFile(folder / "big.data.mid"), streamed.Mid);
    EXPECT_EQ(stats.Objects, streamed.Stats.Objects);
    std::filesystem::remove_all(folder);

    EXPECT_EQ(MidPathFor("/a.b/name"), "/a.b/name.mid");
    EXPECT_EQ(MidPathFor("x.MIF"), "x.mid");
}

}  // namespace
}  // namespace varnelo::bench
