// SPDX-License-Identifier: MIT
// Small owners of Windows handles, so that every way out of a function gives back what it
// took: GDI objects, icons, image lists, memory device contexts, objects selected into a
// device context, and windows that nothing else destroys.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <type_traits>

namespace varnelo::win32 {

struct TGdiDeleter {
    void operator()(void* object) const noexcept { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
template <typename Handle>
using TGdi = std::unique_ptr<std::remove_pointer_t<Handle>, TGdiDeleter>;
using TFont = TGdi<HFONT>;
using TBitmap = TGdi<HBITMAP>;
using TBrush = TGdi<HBRUSH>;
using TPen = TGdi<HPEN>;

struct TIconDeleter {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using TIcon = std::unique_ptr<std::remove_pointer_t<HICON>, TIconDeleter>;

struct TImageListDeleter {
    void operator()(HIMAGELIST list) const noexcept { ImageList_Destroy(list); }
};
using TImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, TImageListDeleter>;

struct TMenuDeleter {
    void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
using TMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, TMenuDeleter>;

struct TAcceleratorDeleter {
    void operator()(HACCEL table) const noexcept { DestroyAcceleratorTable(table); }
};
using TAccelerators = std::unique_ptr<std::remove_pointer_t<HACCEL>, TAcceleratorDeleter>;

struct TMemoryDcDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
using TMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, TMemoryDcDeleter>;

// An object selected into a device context for one scope.
class TSelected {
  public:
    TSelected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~TSelected() { SelectObject(dc_, old_); }
    TSelected(const TSelected&) = delete;
    TSelected& operator=(const TSelected&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window's device context for one scope.
class TWindowDc {
  public:
    explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~TWindowDc() { ReleaseDC(window_, dc_); }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    operator HDC() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

}  // namespace varnelo::win32
