// SPDX-License-Identifier: MIT
#include "app/settings.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../support/child_process.hpp"
#include "../support/temp_dir.hpp"
#include "app/paths.hpp"
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

TEST(PathRoutines, TempDirIsTmpdirOrTmpEndingInASlash) {
    const char* saved = std::getenv("TMPDIR");
    const std::string keep = saved != nullptr ? saved : "";
    ::setenv("TMPDIR", "/var/scratch", 1);
    EXPECT_EQ(GetTempDir(), "/var/scratch/");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(GetTempDir(), "/tmp/");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(GetTempDir(), "/tmp/");
    if (saved != nullptr) {
        ::setenv("TMPDIR", keep.c_str(), 1);
    }
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

TEST(SettingsPath, BesideTheProgramWhenWritableElseInTheUsersConfigFolder) {
    TempDir dir;
    const std::string exe = dir.Path("bin/Map.Conv.exe");
    std::filesystem::create_directories(dir.Path("bin"));
    EXPECT_EQ(SettingsPath(exe, dir.Path("xdg"), "/home/u"), dir.Path("bin/Map.Conv.INI"));

    // A read-only folder (as an unprivileged user, since root may write anywhere).
    ::chmod(dir.Path("bin").c_str(), 0555);
    ::chmod(dir.Path().c_str(), 0777);
    const auto outcome = testing::RunInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 2;
        }
        const bool xdg =
            SettingsPath(exe, dir.Path("xdg"), "/home/u") == dir.Path("xdg/varnelo/Map.Conv.INI");
        const bool home = SettingsPath(exe, "", dir.Path("home")) ==
                          dir.Path("home/.config/varnelo/Map.Conv.INI");
        return xdg && home ? 0 : 1;
    });
    EXPECT_TRUE(outcome.Exited(0)) << outcome.ExitCode;
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("xdg/varnelo")));
}

}  // namespace
}  // namespace varnelo
