// SPDX-License-Identifier: MIT
#include "app/settings.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/child_process.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "app/paths.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(PathRoutines, SplitAtTheLastSlashAndTheNamesLastFullStop) {
    const struct {
        const char* path;
        const char* dir;
        const char* name;
    } cases[] = {
        {"/opt/tools/Conv", "/opt/tools/", "Conv"},
        {"/opt/tools/Map.Conv.exe", "/opt/tools/", "Map.Conv"},
        {"/a.b/c", "/a.b/", "c"},
        {"b.tar.gz", "", "b.tar"},
        {"/home/u/.profile", "/home/u/", ""},
        {"/", "/", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractDirWithSlash(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractNameWithoutExt(c.path), c.name) << c.path;
    }
}

TEST(PathRoutines, WindowsAlsoSplitsAtABackslashAndAfterADrive) {
    if (os::PathSeparator() != '\\') {
        GTEST_SKIP() << "backslashes and drives separate folders on Windows only";
    }
    // A drive gets its "\\".
    const struct {
        const char* path;
        const char* dir;
        const char* name;
    } cases[] = {
        {"D:\\Tools\\Map.Conv.exe", "D:\\Tools\\", "Map.Conv"},
        {"C:Conv.exe", "C:\\", "Conv"},
        {"\\\\server\\share\\地図\\駅.mif", "\\\\server\\share\\地図\\", "駅"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractDirWithSlash(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractNameWithoutExt(c.path), c.name) << c.path;
    }
}

TEST(PathRoutines, TempDirIsTheSystemsTemporaryFolderEndingInASeparator) {
    // POSIX: $TMPDIR, else /tmp. Windows: what GetTempPathW names, from TMP first.
    const char* variable = testing::HavePosixFacilities() ? "TMPDIR" : "TMP";
    const char* saved = std::getenv(variable);
    const std::string keep = saved != nullptr ? saved : "";
    const std::string scratch = testing::HavePosixFacilities() ? "/var/scratch" : "C:\\scratch";
    testing::SetEnvironment(variable, scratch.c_str());
    EXPECT_EQ(GetTempDir(), scratch + os::PathSeparator());
    if (testing::HavePosixFacilities()) {
        testing::SetEnvironment(variable, "");
        EXPECT_EQ(GetTempDir(), "/tmp/");
        testing::SetEnvironment(variable, nullptr);
        EXPECT_EQ(GetTempDir(), "/tmp/");
    }
    testing::SetEnvironment(variable, saved != nullptr ? keep.c_str() : nullptr);
}

TEST(WindowPlacement, MissingFileKeysAndWordsReadAsDefaults) {
    TempDir dir;
    const std::string ini = dir.Path("Conv.INI");
    const TWindowPlacement none = LoadWindowPlacement(ini);
    EXPECT_EQ(none.Left, 20);
    EXPECT_EQ(none.Top, 20);
    EXPECT_EQ(none.Width, 700);
    EXPECT_EQ(none.Height, 500);
    EXPECT_EQ(none.State, TWindowState::Normal);

    WriteFileBytes(ini, "[Other]\nLeft=5\n[window]\n left = -30 \nTop=abc\nWidth=12x\nState=2\n");
    const TWindowPlacement read = LoadWindowPlacement(ini);
    EXPECT_EQ(read.Left, -30);
    EXPECT_EQ(read.Top, 20);
    EXPECT_EQ(read.Width, 700);
    EXPECT_EQ(read.State, TWindowState::Minimized);

    for (const char* state : {"7", "max", "", "-1", "1"}) {
        WriteFileBytes(ini, std::string("[Window]\r\nState=") + state + "\r\n");
        EXPECT_EQ(LoadWindowPlacement(ini).State,
                  std::string(state) == "1" ? TWindowState::Maximized : TWindowState::Normal)
            << state;
    }
}

TEST(WindowPlacement, ANormalCloseWritesAllFiveKeysAnOtherCloseOnlyTheState) {
    TempDir dir;
    const std::string ini = dir.Path("Conv.INI");
    SaveWindowPlacement(ini, {100, 50, 800, 466, TWindowState::Normal});
    EXPECT_EQ(ReadFileBytes(ini),
              "[Window]\r\nLeft=100\r\nTop=50\r\nWidth=800\r\nHeight=466\r\nState=0\r\n");

    SaveWindowPlacement(ini, {1, 2, 3, 4, TWindowState::Minimized});
    EXPECT_EQ(ReadFileBytes(ini),
              "[Window]\r\nLeft=100\r\nTop=50\r\nWidth=800\r\nHeight=466\r\nState=2\r\n");
    const TWindowPlacement next = LoadWindowPlacement(ini);
    EXPECT_EQ(next.Left, 100);
    EXPECT_EQ(next.State, TWindowState::Minimized);

    // Other sections and lines survive; a missing section is added at the end.
    WriteFileBytes(ini, "; note\n[Recent]\nFile=a\n");
    SaveWindowPlacement(ini, {0, 0, 0, 0, TWindowState::Maximized});
    EXPECT_EQ(ReadFileBytes(ini), "; note\r\n[Recent]\r\nFile=a\r\n[Window]\r\nState=1\r\n");
}

TEST(WindowPlacement, AFileThatCannotBeWrittenRaisesWithItsPath) {
    TempDir dir;
    const std::string ini = dir.Path("no/such/folder/Conv.INI");
    try {
        SaveWindowPlacement(ini, {});
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), ini + " に書き込めません");
    }
}

TEST(WindowPlacement, AFrameOffEveryScreenMovesOntoTheNearestOne) {
    const std::vector<TScreenRect> one{{0, 0, 1920, 1080}};
    const std::vector<TScreenRect> two{{0, 0, 1920, 1080}, {1920, -200, 1280, 1024}};
    const struct {
        TScreenRect frame;
        const std::vector<TScreenRect>* screens;
        int left;
        int top;
    } cases[] = {
        {{3000, 2000, 700, 500}, &one, 1220, 580},  // a monitor that is gone
        {{-900, -800, 700, 500}, &one, 0, 0},
        {{100, 1079, 700, 500}, &one, 100, 1079},       // partly on a screen: left where it is
        {{3000, 2000, 700, 500}, &two, 2500, 324},      // the right one is nearer
        {{-5000, 10, 2500, 1200}, &one, 0, 0},          // larger than the screen: its corner on it
        {{3000, 2000, 700, 500}, nullptr, 3000, 2000},  // no screen known
    };
    for (const auto& c : cases) {
        const TScreenRect placed =
            PlaceOnScreens(c.frame, c.screens ? *c.screens : std::vector<TScreenRect>{});
        EXPECT_EQ(placed.Left, c.left) << c.frame.Left << "," << c.frame.Top;
        EXPECT_EQ(placed.Top, c.top) << c.frame.Left << "," << c.frame.Top;
        EXPECT_EQ(placed.Width, c.frame.Width);
    }
}

TEST(SettingsPath, BesideTheProgramWhenWritableElseInTheUsersSettingsFolder) {
    TempDir dir;
    const std::string exe = dir.Path("bin/Map.Conv.exe");
    std::filesystem::create_directories(os::FsPath(dir.Path("bin")));
    const std::string user = dir.Path("user/varnelo");
    EXPECT_EQ(SettingsPath(exe, user), dir.Path("bin/Map.Conv.INI"));
    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "a folder this user may not write needs POSIX permissions and a user "
                        "to drop to; Windows has neither here";
    }
    // A read-only folder (as an unprivileged user, since root may write anywhere).
    std::filesystem::permissions(dir.Path("bin"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::owner_exec |
                                                      std::filesystem::perms::others_read |
                                                      std::filesystem::perms::others_exec);
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    const auto outcome = testing::RunInChild([&] {
        if (!testing::DropRootRights()) {
            return 2;
        }
        return SettingsPath(exe, user) == user + "/Map.Conv.INI" ? 0 : 1;
    });
    EXPECT_TRUE(outcome.Exited(0)) << outcome.ExitCode;
    EXPECT_TRUE(std::filesystem::is_directory(user));
}

TEST(SettingsPath, TheUsersFolderIsTheSystemsPlaceForSettings) {
    const bool posix = testing::HavePosixFacilities();
    const char* variable = posix ? "XDG_CONFIG_HOME" : "APPDATA";
    const char* saved = std::getenv(variable);
    const std::string keep = saved != nullptr ? saved : "";
    testing::SetEnvironment(variable, posix ? "/home/u/.cfg" : "C:\\Users\\u\\AppData\\Roaming");
    EXPECT_EQ(os::UserSettingsFolder(),
              posix ? "/home/u/.cfg/varnelo" : "C:\\Users\\u\\AppData\\Roaming\\Varnelo");
    if (posix) {
        const char* home = std::getenv("HOME");
        testing::SetEnvironment(variable, "");
        EXPECT_EQ(os::UserSettingsFolder(), std::string(home ? home : "") + "/.config/varnelo");
    }
    testing::SetEnvironment(variable, saved != nullptr ? keep.c_str() : nullptr);
}

}  // namespace
}  // namespace varnelo
