// SPDX-License-Identifier: MIT
#include "shape/output_stream.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "../support/expect_message.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "shape/byte_order.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::MessageOf;
using testing::ReadFileBytes;
using testing::TempDir;

void WriteText(TOutputStream& stream, const std::string& text) {
    stream.Write(text.data(), text.size());
}

std::string TextOf(const TMemoryOutputStream& stream) {
    const auto& bytes = stream.Bytes();
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(ByteOrder, PlacesEachFieldInItsOrder) {
    std::byte bytes[8]{};
    byte_order::PutInt32BE(bytes, 9994);
    EXPECT_EQ(std::memcmp(bytes, "\x00\x00\x27\x0A", 4), 0);
    EXPECT_EQ(byte_order::GetInt32BE(bytes), 9994);
    byte_order::PutInt32LE(bytes, 1000);
    EXPECT_EQ(std::memcmp(bytes, "\xE8\x03\x00\x00", 4), 0);
    EXPECT_EQ(byte_order::GetInt32LE(bytes), 1000);
    byte_order::PutInt32BE(bytes, -2);
    EXPECT_EQ(std::memcmp(bytes, "\xFF\xFF\xFF\xFE", 4), 0);
    EXPECT_EQ(byte_order::GetInt32BE(bytes), -2);
    byte_order::PutDoubleLE(bytes, 1.0);
    EXPECT_EQ(std::memcmp(bytes, "\x00\x00\x00\x00\x00\x00\xF0\x3F", 8), 0);
    EXPECT_EQ(byte_order::GetDoubleLE(bytes), 1.0);
    byte_order::PutDoubleLE(bytes, -0.0);
    EXPECT_EQ(std::memcmp(bytes, "\x00\x00\x00\x00\x00\x00\x00\x80", 8), 0);
}

TEST(FileOutputStream, WritesOverwritesAndExtendsThroughASmallBuffer) {
    TempDir dir;
    const std::string path = dir.Path("out.bin");
    TFileOutputStream stream(path, 4);
    WriteText(stream, "ab");
    WriteText(stream, "cdefgh");  // larger than the buffer: goes straight to the file
    WriteText(stream, "ij");
    EXPECT_EQ(stream.Position(), 10u);
    EXPECT_EQ(stream.Size(), 10u);  // counts the two bytes still in the buffer
    stream.Seek(1);
    WriteText(stream, "XY");
    EXPECT_EQ(stream.Position(), 3u);
    EXPECT_EQ(stream.Size(), 10u);
    stream.Seek(12);
    EXPECT_EQ(stream.Size(), 10u);
    WriteText(stream, "Z");
    EXPECT_EQ(stream.Size(), 13u);
    stream.Close();
    EXPECT_EQ(ReadFileBytes(path), std::string("aXYdefghij\0\0Z", 13));
}

TEST(FileOutputStream, FlushHandsBufferedBytesToTheFile) {
    TempDir dir;
    const std::string path = dir.Path("out.bin");
    TFileOutputStream stream(path);
    WriteText(stream, "header");
    EXPECT_EQ(ReadFileBytes(path), "");
    stream.Flush();
    EXPECT_EQ(ReadFileBytes(path), "header");
}

TEST(FileOutputStream, TruncatesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.Path("out.bin");
    std::ofstream(path) << "old contents that are longer";
    {
        auto stream = CreateFileOutputStream(path);
        EXPECT_EQ(stream->Size(), 0u);
        WriteText(*stream, "new");
    }  // the destructor closes and flushes
    EXPECT_EQ(ReadFileBytes(path), "new");
}

TEST(FileOutputStream, NamesPathAndSystemErrorWhenTheFileCannotBeCreated) {
    TempDir dir;
    const std::string path = dir.Path("missing/out.shp");
    EXPECT_EQ(MessageOf([&] { CreateFileOutputStream(path); }),
              "ファイル \"" + path + "\" を作成できません: ファイルまたはフォルダが見つかりません");
    EXPECT_THROW(CreateFileOutputStream(path), EInOutError);
    SetTextLanguage(TLanguage::English);
    EXPECT_EQ(MessageOf([&] { CreateFileOutputStream(path); }),
              "cannot create file \"" + path + "\": file or folder not found");
    SetTextLanguage(TLanguage::Japanese);
}

TEST(FileOutputStream, RaisesWriteErrorWhenTheDeviceIsFull) {
    if (!testing::HavePosixFacilities() || !fs::exists("/dev/full")) {
        GTEST_SKIP() << "/dev/full, a device that is always full, is not available";
    }
    TFileOutputStream stream("/dev/full", 16);
    WriteText(stream, "fits the buffer");
    EXPECT_EQ(MessageOf([&] { WriteText(stream, "goes past the buffer"); }),
              "ストリームへの書き込みエラー");

    TFileOutputStream closing("/dev/full");
    WriteText(closing, "pending");
    EXPECT_THROW(closing.Close(), EWriteError);
    EXPECT_NO_THROW(closing.Close());  // already closed
    EXPECT_THROW(WriteText(closing, "x"), EWriteError);
}

TEST(FileOutputStream, DestructorSwallowsAFailedFinalWrite) {
    if (!testing::HavePosixFacilities() || !fs::exists("/dev/full")) {
        GTEST_SKIP() << "/dev/full, a device that is always full, is not available";
    }
    EXPECT_NO_THROW({
        TFileOutputStream stream("/dev/full");
        WriteText(stream, "pending");
    });
}

TEST(MemoryOutputStream, OverwritesAndFillsGapsWithZeros) {
    TMemoryOutputStream stream;
    WriteText(stream, "abcd");
    stream.Seek(1);
    WriteText(stream, "X");
    EXPECT_EQ(stream.Position(), 2u);
    stream.Seek(6);
    WriteText(stream, "Z");
    EXPECT_EQ(stream.Size(), 7u);
    EXPECT_EQ(TextOf(stream), std::string("aXcd\0\0Z", 7));
    stream.Close();
    EXPECT_THROW(WriteText(stream, "x"), EWriteError);
}

TEST(FaultInjectingOutputStream, PassesOnWhatFitsThenFails) {
    TMemoryOutputStream target;
    TFaultInjectingOutputStream stream(target, 5);
    WriteText(stream, "abc");
    EXPECT_EQ(MessageOf([&] { WriteText(stream, "defg"); }), "ストリームへの書き込みエラー");
    EXPECT_EQ(TextOf(target), "abcde");
    EXPECT_THROW(WriteText(stream, "h"), EWriteError);
    EXPECT_EQ(stream.Size(), 5u);
}

}  // namespace
}  // namespace varnelo
