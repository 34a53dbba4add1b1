// SPDX-License-Identifier: MIT
// The main window's placement, kept in section "Window" of the program's settings file, and
// where that file lies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnelo {

enum class TWindowState { Normal, Maximized, Minimized };

// The codes stored under "State": 0 normal, 1 maximised, 2 minimised; every other value
// reads as normal.
int WindowStateCode(TWindowState state) noexcept;
TWindowState WindowStateFromCode(std::int64_t code) noexcept;

struct TWindowPlacement {
    int Left = 20;
    int Top = 20;
    int Width = 700;
    int Height = 500;
    TWindowState State = TWindowState::Normal;
};

// A rectangle on the desktop: a window's frame, or a screen's work area.
struct TScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Where a window whose frame is `frame` opens on a desktop of `screens` (their work areas):
// where it is while any of it lies on a screen; otherwise moved onto the nearest screen, as
// far as it must to lie wholly on it (a frame larger than the screen keeps its top left
// corner on it). The size never changes; with no screen known the frame stays.
TScreenRect PlaceOnScreens(TScreenRect frame, const std::vector<TScreenRect>& screens);

// Reads the placement; a missing file, key or a value that is no integer gives the default.
TWindowPlacement LoadWindowPlacement(const std::string& iniPath);

// Writes "Left", "Top", "Width" and "Height" (only in the normal state, so a maximised or
// minimised close keeps the last normal position and size) and then "State". Raises
// EInOutError "<path> に書き込めません" when the file cannot be written.
void SaveWindowPlacement(const std::string& iniPath, const TWindowPlacement& placement);

// The settings file of the executable at `exePath`: its folder, its name without extension,
// ".INI". It is used there when that file is writable, or is missing in a writable folder, as
// in a portable install; otherwise (an installed program in a read-only folder) the same name
// in `userFolder`, which is created when missing.
std::string SettingsPath(const std::string& exePath, const std::string& userFolder);

// SettingsPath of the running executable in the user's settings folder of the system
// ($XDG_CONFIG_HOME/varnelo or ~/.config/varnelo; %APPDATA%\Varnelo on Windows).
std::string ProgramSettingsPath();

}  // namespace varnelo
