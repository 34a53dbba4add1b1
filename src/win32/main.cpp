// SPDX-License-Identifier: MIT
// varnelo.exe: the desktop program for Windows. Builds the main window and runs the window's
// message loop until the window is closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/main_form.hpp"
#include "app/settings.hpp"
#include "win32/controls.hpp"
#include "win32/main_window.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The shell's document opening may reach COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int code = 0;
    try {
        varnelo::win32::TfrmMain window(varnelo::ProgramSettingsPath());
        window.Show();
        code = varnelo::win32::RunMessageLoop();
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, varnelo::win32::ScreenText(error.what()).c_str(),
                    varnelo::win32::ScreenText(varnelo::kProgramTitle).c_str(),
                    MB_OK | MB_ICONERROR);
        code = 1;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return code;
}
