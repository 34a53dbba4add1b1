// SPDX-License-Identifier: MIT
#include "app/settings.hpp"

#include "app/ini_file.hpp"
#include "app/paths.hpp"
#include "os/file_system.hpp"

namespace varnelo {
namespace {

constexpr std::string_view kSection = "Window";

}  // namespace

int WindowStateCode(TWindowState state) noexcept {
    switch (state) {
        case TWindowState::Maximized:
            return 1;
        case TWindowState::Minimized:
            return 2;
        case TWindowState::Normal:
            break;
    }
    return 0;
}

TWindowState WindowStateFromCode(std::int64_t code) noexcept {
    switch (code) {
        case 1:
            return TWindowState::Maximized;
        case 2:
            return TWindowState::Minimized;
        default:
            return TWindowState::Normal;
    }
}

TWindowPlacement LoadWindowPlacement(const std::string& iniPath) {
    const TIniFile ini(iniPath);
    const TWindowPlacement defaults;
    TWindowPlacement p;
    p.Left = ini.ReadInteger(kSection, "Left", defaults.Left);
    p.Top = ini.ReadInteger(kSection, "Top", defaults.Top);
    p.Width = ini.ReadInteger(kSection, "Width", defaults.Width);
    p.Height = ini.ReadInteger(kSection, "Height", defaults.Height);
    p.State = WindowStateFromCode(ini.ReadInteger(kSection, "State", 0));
    return p;
}

void SaveWindowPlacement(const std::string& iniPath, const TWindowPlacement& placement) {
    TIniFile ini(iniPath);
    if (placement.State == TWindowState::Normal) {
        ini.WriteInteger(kSection, "Left", placement.Left);
        ini.WriteInteger(kSection, "Top", placement.Top);
        ini.WriteInteger(kSection, "Width", placement.Width);
        ini.WriteInteger(kSection, "Height", placement.Height);
    }
    ini.WriteInteger(kSection, "State", WindowStateCode(placement.State));
}

std::string SettingsPath(const std::string& exePath, const std::string& userFolder) {
    const std::string name = ExtractNameWithoutExt(exePath) + ".INI";
    const std::string dir = ExtractDirWithSlash(exePath);
    const std::string beside = dir + name;
    const bool exists = os::KindOfPath(beside) != os::TFileKind::None;
    if (!os::WriteAccess(exists ? beside : dir.empty() ? std::string(".") : dir)) {
        return beside;
    }
    os::CreateFolders(userFolder);
    return userFolder + os::PathSeparator() + name;
}

std::string ProgramSettingsPath() {
    return SettingsPath(GetExePath(), os::UserSettingsFolder());
}

}  // namespace varnelo
