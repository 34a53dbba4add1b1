// SPDX-License-Identifier: MIT
#include "win32/controls.hpp"

#include <vector>

#include "app/main_form.hpp"
#include "os/win32/wide.hpp"

namespace varnelo::win32 {
namespace {

constexpr wchar_t kAcceleratorProperty[] = L"VarneloAccelerators";

}  // namespace

std::wstring ScreenText(std::string_view utf8) {
    return os::win32::Wide(utf8);
}

std::string TextBytes(std::wstring_view text) {
    return os::win32::Utf8(text);
}

std::string WindowTextBytes(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return TextBytes(text);
}

void SetWindowTextBytes(HWND window, std::string_view utf8) {
    SetWindowTextW(window, ScreenText(utf8).c_str());
}

UINT DpiOf(HWND window) {
    const UINT dpi = window != nullptr ? GetDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

TFont ProgramFont(UINT dpi) {
    return TFont(CreateFontW(-Scaled(kProgramFontPixels, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                             ScreenText(kProgramFontFace).c_str()));
}

void SetFontOfAll(HWND window, HFONT font) {
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnumChildWindows(
        window,
        [](HWND child, LPARAM f) -> BOOL {
            SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(f), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font));
}

void RegisterWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background,
                         HCURSOR cursor) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) {
        return;
    }
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = cursor != nullptr ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = background;
    c.lpszClassName = className;
    c.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                            IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    c.hIconSm = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    RegisterClassExW(&c);
}

HWND CreateChild(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                 DWORD exStyle, int id) {
    return CreateWindowExW(exStyle, className, std::wstring(text).c_str(),
                           WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

HICON LoadProgramIcon(int resourceId, int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                         IMAGE_ICON, size, size, 0));
}

void SetAccelerators(HWND window, HACCEL table) {
    if (table != nullptr) {
        SetPropW(window, kAcceleratorProperty, table);
    } else {
        RemovePropW(window, kAcceleratorProperty);
    }
}

bool PreTranslate(MSG& message) {
    if (message.hwnd == nullptr) {
        return false;
    }
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (root == nullptr) {
        return false;
    }
    if (auto table = static_cast<HACCEL>(GetPropW(root, kAcceleratorProperty));
        table != nullptr && TranslateAcceleratorW(root, table, &message)) {
        return true;
    }
    return IsDialogMessageW(root, &message) != FALSE;
}

int RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

void ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop to see
            return;
        }
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace varnelo::win32
