// SPDX-License-Identifier: MIT
#include "engine/file_names.hpp"

#include <gtest/gtest.h>

#include "../support/temp_dir.hpp"
#include "os/file_system.hpp"

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
    // The other one, where names differing in case are different files (on Windows they are
    // one file, so the name in the case of the .shp opens it).
    const bool caseBlind = os::KindOfPath(dir.Path("LOW.DBF")) != os::TFileKind::None;
    EXPECT_EQ(FindCompanion(dir.Path("low.SHP"), ".dbf"),
              dir.Path(caseBlind ? "low.DBF" : "low.dbf"));
    EXPECT_EQ(FindCompanion(dir.Path("UP.shp"), ".shx"),
              dir.Path(caseBlind ? "UP.shx" : "UP.SHX"));
}

}  // namespace
}  // namespace varnelo
