// SPDX-License-Identifier: MIT
#include "win32/about_dialog.hpp"

#include <vector>

#include "app/main_form.hpp"
#include "win32/controls.hpp"
#include "win32/resource.h"

namespace varnelo::win32 {
namespace {

struct TAboutState {
    std::wstring VersionText;
    TFont Font;
    TIcon Icon;
};

void PlaceChild(HWND dialog, int id, const TBounds& bounds, UINT dpi) {
    SetWindowPos(GetDlgItem(dialog, id), nullptr, Scaled(bounds.Left, dpi), Scaled(bounds.Top, dpi),
                 Scaled(bounds.Width, dpi), Scaled(bounds.Height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceLabel(HWND dialog, int id, const TLabelForm& form, UINT dpi) {
    HWND label = GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(label, text.data(), static_cast<int>(text.size()))));
    TWindowDc dc(label);
    TSelected font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SetWindowPos(label, nullptr, Scaled(form.Left, dpi), Scaled(form.Top, dpi),
                 size.cx + Scaled(2, dpi), size.cy + Scaled(1, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Initialise(HWND dialog, TAboutState& state) {
    const UINT dpi = DpiOf(dialog);
    SetWindowTextW(dialog, ScreenText(kAboutCaption).c_str());
    HWND image =
        CreateChild(dialog, WC_STATICW, L"", SS_ICON | SS_REALSIZECONTROL, 0, TdlgAbout::kImage2);
    state.Icon.reset(LoadProgramIcon(IDI_PROGRAM, Scaled(kAboutIcon.Width, dpi)));
    SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(state.Icon.get()), 0);
    CreateChild(dialog, WC_STATICW, ScreenText(kAboutName.Caption), SS_LEFT | SS_NOPREFIX, 0,
                TdlgAbout::kLabel1);
    CreateChild(dialog, WC_STATICW, state.VersionText, SS_LEFT | SS_NOPREFIX, 0,
                TdlgAbout::kVersion);
    // Both the default and the cancel button: Enter and Esc press it too.
    CreateChild(dialog, WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK);
    state.Font = ProgramFont(dpi);
    SetFontOfAll(dialog, state.Font.get());
    PlaceChild(dialog, TdlgAbout::kImage2, kAboutIcon, dpi);
    PlaceLabel(dialog, TdlgAbout::kLabel1, kAboutName, dpi);
    PlaceLabel(dialog, TdlgAbout::kVersion, kAboutVersion, dpi);
    PlaceChild(dialog, IDOK, kAboutButton, dpi);

    // Client width and outer height as the design gives them, centred over the owner.
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    RECT frame{0, 0, Scaled(kAboutClientWidth, dpi), 0};
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = Scaled(kAboutOuterHeight, dpi);
    RECT owner{};
    GetWindowRect(
        GetWindow(dialog, GW_OWNER) != nullptr ? GetWindow(dialog, GW_OWNER) : GetDesktopWindow(),
        &owner);
    SetWindowPos(dialog, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                 owner.top + (owner.bottom - owner.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(GetDlgItem(dialog, IDOK));
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(dialog, *reinterpret_cast<TAboutState*>(lParam));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, IDOK);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void TdlgAbout::Show(HWND owner, std::string_view versionText) {
    // A template of a fixed-size dialog without controls: they are made with their places in
    // pixels when it opens.
    std::vector<WORD> layout(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(layout.data());
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog->dwExtendedStyle = WS_EX_DLGMODALFRAME;
    dialog->cx = 240;
    dialog->cy = 120;
    TAboutState state;
    state.VersionText = ScreenText(versionText);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, AboutProc,
                            reinterpret_cast<LPARAM>(&state));
}

}  // namespace varnelo::win32
