// SPDX-License-Identifier: MIT
#include "engine/file_names.hpp"

#include <gtest/gtest.h>

#include "../support/temp_dir.hpp"

namespace varnelo {
namespace {

TEST(FileNames, ExtensionsAreTheFileNamesAndCompanionsFollowTheirCase) {
    EXPECT_EQ(ChangeFileExt("/d/v1.0/roads", ".shp"), "/d/v1.0/roads.shp");  // the folder's dot
    EXPECT_EQ(ChangeFileExt("/d/a.b.mif", ".mid"), "/d/a.b.mid");
    EXPECT_EQ(ExtractNameWithoutExt("/d/b.tar.gz"), "b.tar");
    EXPECT_EQ(ExtractNameWithoutExt("/d/.profile"), "");
    EXPECT_EQ(ExtractDirWithSlash("a.shp"), "");
    EXPECT_EQ(ExtractFileName("/d/e/a.shp"), "a.shp");

    testing::TempDir dir;
    testing::WriteFileBytes(dir.Path("UP.SHX"), "");
    testing::WriteFileBytes(dir.Path("low.dbf"), "");
    EXPECT_EQ(FindCompanion(dir.Path("UP.SHP"), ".shx"), dir.Path("UP.SHX"));
    EXPECT_EQ(FindCompanion(dir.Path("UP.SHP"), ".dbf"), dir.Path("UP.DBF"));  // neither: its case
    EXPECT_EQ(FindCompanion(dir.Path("low.SHP"), ".dbf"), dir.Path("low.dbf"));  // the other one
    EXPECT_EQ(FindCompanion(dir.Path("UP.shp"), ".shx"), dir.Path("UP.SHX"));
}

}  // namespace
}  // namespace varnelo
