// SPDX-License-Identifier: MIT
#include "app/settings.hpp"

#include <algorithm>
#include <cstdint>

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

TScreenRect PlaceOnScreens(TScreenRect frame, const std::vector<TScreenRect>& screens) {
    // How far apart two spans are along one axis: 0 when they overlap.
    const auto gap = [](int start, int length, int otherStart, int otherLength) -> std::int64_t {
        if (start + length <= otherStart) {
            return std::int64_t{otherStart} - (start + length) + 1;
        }
        if (otherStart + otherLength <= start) {
            return std::int64_t{start} - (otherStart + otherLength) + 1;
        }
        return 0;
    };
    const TScreenRect* nearest = nullptr;
    std::int64_t nearestDistance = 0;
    for (const TScreenRect& screen : screens) {
        const std::int64_t dx = gap(frame.Left, frame.Width, screen.Left, screen.Width);
        const std::int64_t dy = gap(frame.Top, frame.Height, screen.Top, screen.Height);
        if (dx == 0 && dy == 0) {
            return frame;  // on this screen
        }
        const std::int64_t distance = dx * dx + dy * dy;
        if (nearest == nullptr || distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    if (nearest != nullptr) {
        const auto onto = [](int start, int length, int screenStart, int screenLength) {
            return std::max(screenStart, std::min(start, screenStart + screenLength - length));
        };
        frame.Left = onto(frame.Left, frame.Width, nearest->Left, nearest->Width);
        frame.Top = onto(frame.Top, frame.Height, nearest->Top, nearest->Height);
    }
    return frame;
}

}  // namespace varnelo
