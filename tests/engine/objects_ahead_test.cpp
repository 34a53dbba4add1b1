// SPDX-License-Identifier: MIT
// The thread that reads parts of a .mif ahead: where the parts begin, what its reader stands
// at when a part is handed to the converter, and that the conversion may take, pass or leave
// parts without either side hanging.
#include "engine/objects_ahead.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/temp_dir.hpp"

namespace varnelo {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr auto kNone = std::numeric_limits<std::uint64_t>::max();

// Notes the first line of each part and the limit it was given; fails the parts it is told to.
class TNotingConverter final : public IAheadConverter {
  public:
    explicit TNotingConverter(std::size_t failing = kNone) : failing_(failing) {}

    void ConvertPart(TLineReader& mif, TAheadPart& part, std::uint64_t limit) override {
        if (part.Number == failing_) {
            throw std::runtime_error("this part fails");
        }
        part.Converted = true;
        part.FirstObject = mif.BytesConsumed();
        part.Stop = limit;
        part.Records = static_cast<std::int32_t>(mif.ReadLineView().size());
    }

  private:
    std::size_t failing_;
};

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::string(static_cast<std::size_t>(i % 7), 'x') + "\n";
    }
    return text;
}

TEST(ObjectsAhead, CutsTheFileIntoStretchesAndPartsHalfAsLargeAgainStartingAtLines) {
    TempDir dir;
    const std::string text = Lines(200);
    const std::string path = dir.Path("lines.mif");
    WriteFileBytes(path, text);
    TNotingConverter converter(/*failing=*/2);
    TObjectsAhead ahead(path, text.size(), 40, converter);
    std::uint64_t begin = 40;
    for (std::size_t number = 0; begin < text.size(); ++number, begin += 40 + 60) {
        ASSERT_EQ(ahead.NextBegin(), begin);
        const TAheadPart& part = ahead.WaitNext();
        EXPECT_EQ(part.Number, number);
        EXPECT_EQ(part.Begin, begin);
        if (number == 2) {
            EXPECT_FALSE(part.Converted);  // the conversion reads a failed part itself
        } else {
            ASSERT_TRUE(part.Converted);
            EXPECT_GE(part.FirstObject, begin);
            EXPECT_EQ(text[part.FirstObject - 1], '\n') << part.FirstObject;
            EXPECT_LT(part.FirstObject - begin, 7u);  // the first line start at or after it
            EXPECT_EQ(part.Stop, begin + 60);
            EXPECT_EQ(static_cast<std::size_t>(part.Records),
                      text.find('\n', part.FirstObject) - part.FirstObject);
        }
        ahead.Release();
    }
    EXPECT_EQ(ahead.NextBegin(), kNone);
}

TEST(ObjectsAhead, StopsWhenTheConversionEndsEarlyOrTheFileCannotBeRead) {
    TempDir dir;
    const std::string text = Lines(2000);
    const std::string path = dir.Path("lines.mif");
    WriteFileBytes(path, text);
    TNotingConverter converter;
    {
        // Two parts wait converted while the conversion takes none, and it ends.
        TObjectsAhead ahead(path, text.size(), 10, converter);
        EXPECT_TRUE(ahead.WaitNext().Converted);
    }
    TObjectsAhead unreadable(dir.Path("missing.mif"), text.size(), 10, converter);
    EXPECT_FALSE(unreadable.WaitNext().Converted);
    unreadable.Release();
    EXPECT_FALSE(unreadable.WaitNext().Converted);
}

}  // namespace
}  // namespace varnelo
