// SPDX-License-Identifier: MIT
// .mid rows over several lines: where a row ends, the line ends kept inside its values, and
// the line a row begins on.
#include "engine/mid_rows.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnelo {
namespace {

struct TRow {
    std::vector<std::string> Values;
    std::int64_t Line;
    friend bool operator==(const TRow&, const TRow&) = default;
};

void PrintTo(const TRow& row, std::ostream* os) {
    *os << "line " << row.Line << " " << ::testing::PrintToString(row.Values);
}

std::vector<TRow> ReadRows(TLineReader& mid, TMidRowReader& rows, int count) {
    std::vector<TRow> read;
    for (int i = 0; i < count; ++i) {
        const TMidRowSplitter& row = rows.ReadRow();
        TRow r{{}, rows.RowLine()};
        for (std::size_t v = 0; v < row.Count(); ++v) {
            r.Values.emplace_back(row.Value(v));
        }
        read.push_back(r);
    }
    EXPECT_TRUE(mid.Eof());
    return read;
}

TEST(MidRowReader, GoesOnOverLinesWhileAQuoteIsOpenKeepingTheLineEnds) {
    const std::string bytes =
        "\"MULTI\r\nLINE\r\nTEXT\",1\r\n"
        "\"one\",2\n"
        "\"a\"\"\nb\",\"c\r\nd\",3\r\n"
        "\"never closed,4\r\n"
        "x,5\r\n";
    // Chunk boundaries anywhere, also between the CR and the LF of a line end.
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, SIZE_MAX}) {
        TLineReader mid(std::make_unique<TMemorySource>(bytes, chunk), 4);
        TMidRowReader rows(mid, ',', 8);
        const std::vector<TRow> expected = {
            {{"MULTI\r\nLINE\r\nTEXT", "1"}, 1},
            {{"one", "2"}, 4},
            {{"a\"\nb", "c\r\nd", "3"}, 5},
            {{"never closed,4\r\nx,5"}, 8},  // to the end of the file
            {{""}, 0},
        };
        EXPECT_EQ(ReadRows(mid, rows, 5), expected) << "chunk " << chunk;
        EXPECT_EQ(rows.RowsOverSeveralLines(), 3);
    }
}

TEST(MidRowReader, SplitsAtTheDeclaredDelimiterOrACommaOrTab) {
    TLineReader semicolons = TLineReader::FromString("\"x;y\";5\r\na,b;\"c\r\n\"\n");
    TMidRowReader bySemicolon(semicolons, ';', 2);
    EXPECT_EQ(ReadRows(semicolons, bySemicolon, 2),
              (std::vector<TRow>{{{"x;y", "5"}, 1}, {{"a,b", "c\r\n"}, 2}}));

    TLineReader undeclared = TLineReader::FromString("a\tb,c\n");
    TMidRowReader byCommaOrTab(undeclared, kCommaOrTab, 2);  // the third value is not kept
    EXPECT_EQ(ReadRows(undeclared, byCommaOrTab, 1), (std::vector<TRow>{{{"a", "b"}, 1}}));
}

}  // namespace
}  // namespace varnelo
