// SPDX-License-Identifier: MIT
#include "engine/line_reader.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "os/process.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

// Every line up to the end of the file.
std::vector<std::string> AllLines(TLineReader& reader) {
    std::vector<std::string> lines;
    while (!reader.Eof()) {
        lines.push_back(reader.ReadLine());
    }
    return lines;
}

std::vector<std::string> AllLines(std::string bytes, std::size_t maxChunk = SIZE_MAX,
                                  std::size_t bufferSize = TLineReader::kDefaultBufferSize) {
    TLineReader reader(std::make_unique<TMemorySource>(std::move(bytes), maxChunk), bufferSize);
    return AllLines(reader);
}

using Lines = std::vector<std::string>;

TEST(LineReader, EndsLinesAtLfAndCrLfAndDropsEveryOtherCr) {
    EXPECT_EQ(AllLines("a\nb\r\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(AllLines("ab\rcd\r\nef\r"), (Lines{"abcd", "ef"}));
    EXPECT_EQ(AllLines("a\r\r\nb\n\r\n"), (Lines{"a", "b", ""}));
    EXPECT_EQ(AllLines("a\n\nb\n"), (Lines{"a", "", "b"}));
}

TEST(LineReader, StopsAtCtrlZAndReadsNothingAfterIt) {
    EXPECT_EQ(AllLines("a\nb\x1a"
                       "c\nd\n"),
              (Lines{"a", "b"}));
    EXPECT_EQ(AllLines("a\n\x1a\nb"), (Lines{"a"}));
    EXPECT_EQ(AllLines(std::string("\x1a"
                                   "abc",
                                   4)),
              Lines{});
    // The Ctrl-Z may arrive in any chunk, also after a line that spans chunks.
    EXPECT_EQ(AllLines("abcdef\x1a"
                       "gh\n",
                       2, 4),
              (Lines{"abcdef"}));
}

TEST(LineReader, KnowsTheEndBeforeReadingAndGivesEmptyLinesThere) {
    TLineReader empty = TLineReader::FromString("");
    EXPECT_TRUE(empty.Eof());
    EXPECT_EQ(empty.ReadLine(), "");
    EXPECT_EQ(empty.ReadLine(), "");
    EXPECT_EQ(empty.LineNumber(), 0);

    TLineReader one = TLineReader::FromString("x\n");
    EXPECT_FALSE(one.Eof());
    EXPECT_EQ(one.ReadLine(), "x");
    EXPECT_TRUE(one.Eof());
    EXPECT_EQ(one.ReadLine(), "");
    EXPECT_EQ(one.LineNumber(), 1);
}

// Lines must come out the same wherever the chunk boundaries and buffer ends fall,
// including between CR and LF and inside lines longer than the buffer.
TEST(LineReader, GivesTheSameLinesForAnyChunkAndBufferSize) {
    const std::string bytes = "first\r\nse\rcond\n\nlonger line than the buffer\r\n\r\nend";
    const Lines expected{"first", "second", "", "longer line than the buffer", "", "end"};
    for (std::size_t chunk = 1; chunk <= 9; ++chunk) {
        for (std::size_t buffer : {1u, 2u, 3u, 5u, 8u, 64u}) {
            EXPECT_EQ(AllLines(bytes, chunk, buffer), expected)
                << "chunk " << chunk << ", buffer " << buffer;
        }
    }
}

TEST(LineReader, CountsLinesAndConsumedBytes) {
    TLineReader reader = TLineReader::FromString("ab\r\ncd\nef", 3);
    EXPECT_EQ(reader.TotalBytes(), 9u);
    reader.ReadLine();
    EXPECT_EQ(reader.LineNumber(), 1);
    EXPECT_EQ(reader.BytesConsumed(), 4u);
    reader.ReadLine();
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_EQ(reader.BytesConsumed(), 7u);
    reader.ReadLine();
    EXPECT_EQ(reader.LineNumber(), 3);
    EXPECT_EQ(reader.BytesConsumed(), 9u);
    reader.ReadLine();  // at the end: neither counter moves
    EXPECT_EQ(reader.LineNumber(), 3);
    EXPECT_EQ(reader.BytesConsumed(), 9u);
}

TEST(LineReader, ReturnsAPushedBackLineNextWithItsNumber) {
    TLineReader reader = TLineReader::FromString("one\ntwo");
    reader.ReadLine();
    const std::string_view two = reader.ReadLineView();
    reader.PushBack(two);
    EXPECT_EQ(reader.LineNumber(), 1);
    EXPECT_FALSE(reader.Eof());  // the pushed line is still to come
    EXPECT_THROW(reader.PushBack("again"), std::logic_error);
    EXPECT_EQ(reader.ReadLine(), "two");
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_TRUE(reader.Eof());
}

// Skipping stands where reading those lines would have: numbers, consumed bytes, the end.
TEST(LineReader, SkipsToALineStartAsThoughItsLinesHadBeenRead) {
    TLineReader reader = TLineReader::FromString("one\ntwo\r\nthree\nfour\x1a five", 2);
    reader.ReadLine();
    reader.SkipTo(9, 1, false);  // past "two"
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_EQ(reader.BytesConsumed(), 9u);
    EXPECT_EQ(reader.ReadLine(), "three");
    EXPECT_EQ(reader.LineNumber(), 3);
    EXPECT_EQ(reader.ReadLine(), "four");
    EXPECT_TRUE(reader.Eof());  // the Ctrl-Z still ends the file

    reader.SkipTo(4, 0, false);  // back, counting nothing
    EXPECT_EQ(reader.ReadLine(), "two");
    EXPECT_EQ(reader.LineNumber(), 5);
    reader.SkipTo(15, 1, true);  // the file ends there
    EXPECT_TRUE(reader.Eof());
    EXPECT_EQ(reader.LineNumber(), 6);
    EXPECT_EQ(reader.BytesConsumed(), 15u);

    reader.SkipTo(0, 0, false);
    reader.PushBack(reader.ReadLineView());
    EXPECT_THROW(reader.SkipTo(4, 1, false), std::logic_error);
}

class LineReaderFile : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const {
        return ::testing::TempDir() + "varnelo_line_reader_" + std::to_string(os::ProcessId()) +
               "_" + name;
    }
};

TEST_F(LineReaderFile, ReadsALineLongerThanItsBufferFromAFile) {
    const std::string path = Path("long.txt");
    const std::string longLine(3 * TLineReader::kDefaultBufferSize + 17, 'x');
    {
        std::ofstream out(path, std::ios::binary);
        out << longLine << "\r\ntail";
    }
    TLineReader reader = TLineReader::FromFile(path);
    EXPECT_EQ(reader.TotalBytes(), longLine.size() + 6);
    EXPECT_EQ(reader.ReadLine(), longLine);
    EXPECT_EQ(reader.ReadLine(), "tail");
    EXPECT_TRUE(reader.Eof());
    std::remove(path.c_str());
}

TEST_F(LineReaderFile, RaisesInOutErrorNamingThePathAndTheReason) {
    const std::string missing = Path("missing.mif");
    try {
        TLineReader::FromFile(missing);
        FAIL() << "no error raised";
    } catch (const EInOutError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(missing), std::string::npos) << message;
        EXPECT_NE(message.find("ファイルまたはフォルダが見つかりません"), std::string::npos)
            << message;
    }
    EXPECT_THROW(TLineReader::FromFile(::testing::TempDir()), EInOutError);
}

}  // namespace
}  // namespace varnelo
