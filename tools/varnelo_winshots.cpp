// SPDX-License-Identifier: MIT
// varnelo-shots.exe: renders the Windows program's main window (with a few jobs in its batch
// list, one of them crossed and selected), its about box and its viewer on a converted sample
// after a search into PNG pictures for the documentation: each window is shown, painted, and
// taken from the screen, and the picture is written with the Windows Imaging Component.
// Runs under Wine on an X display (scripts/windows-pictures.sh).
// Usage: varnelo-shots.exe OUT_DIR SAMPLES_DIR
#include <windows.h>

#include <commctrl.h>
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/paths.hpp"
#include "os/file_system.hpp"
#include "picture_scene.hpp"
#include "win32/about_dialog.hpp"
#include "win32/controls.hpp"
#include "win32/handles.hpp"
#include "win32/main_window.hpp"
#include "win32/preview_window.hpp"

namespace {

using namespace varnelo;
using namespace varnelo::win32;

// A COM interface released when it goes.
template <typename Interface>
class TCom {
  public:
    TCom() = default;
    ~TCom() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    TCom(const TCom&) = delete;
    TCom& operator=(const TCom&) = delete;
    Interface** operator&() { return &p_; }
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }

  private:
    Interface* p_ = nullptr;
};

bool SavePng(HBITMAP bitmap, const std::wstring& path) {
    TCom<IWICImagingFactory> factory;
    TCom<IWICBitmap> source;
    TCom<IWICStream> stream;
    TCom<IWICBitmapEncoder> encoder;
    TCom<IWICBitmapFrameEncode> frame;
    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(&factory))) &&
           SUCCEEDED(
               factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &source)) &&
           SUCCEEDED(factory->CreateStream(&stream)) &&
           SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(source->GetSize(&width, &height)) &&
           SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WriteSource(source.get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
           SUCCEEDED(encoder->Commit());
}

// Lets the windows paint for a while.
void Settle(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        ProcessPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The window with its frame, as the screen shows it.
bool Capture(HWND window, const std::wstring& path) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(400);
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    TWindowDc screen(nullptr);
    TMemoryDc memory(CreateCompatibleDC(screen));
    TBitmap picture(CreateCompatibleBitmap(screen, width, height));
    {
        TSelected selected(memory.get(), picture.get());
        BitBlt(memory.get(), 0, 0, width, height, screen, frame.left, frame.top,
               SRCCOPY | CAPTUREBLT);
    }
    const bool saved = SavePng(picture.get(), path);
    if (!saved) {
        std::fprintf(stderr, "varnelo-shots: cannot write %ls\n", path.c_str());
    }
    return saved;
}

// The about box is modal: it is taken from the screen by a timer of its message loop.
std::wstring aboutPicture;
bool aboutSaved = false;
int aboutTicks = 0;

void CALLBACK TakeAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || ++aboutTicks < 5) {
        return;
    }
    KillTimer(nullptr, timer);
    aboutSaved = Capture(dialog, aboutPicture);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

bool ShootPreview(TfrmMain& window, const std::string& samples, const std::string& work,
                  const std::wstring& picture) {
    const std::string shp = work + "\\parcels.shp";
    if (!ConvertMifToShp(2, samples + "parcels.mif", shp)) {
        std::fprintf(stderr, "varnelo-shots: cannot convert the parcels sample\n");
        return false;
    }
    TdlgPreview* preview =
        TdlgPreview::Open(std::make_unique<TShapefileLayer>(shp), window.Handle());
    SetWindowPos(preview->Handle(), HWND_TOP, 40, 40, Scaled(760, DpiOf(preview->Handle())),
                 Scaled(560, DpiOf(preview->Handle())), SWP_SHOWWINDOW);
    SetWindowTextBytes(preview->Control(TdlgPreview::edtSearch), "区画b");
    SendMessageW(preview->Control(TdlgPreview::btnSearch), BM_CLICK, 0, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Settle(300);
    while (preview->Map().Drawing() && std::chrono::steady_clock::now() < end) {
        Settle(20);
    }
    const bool ok = Capture(preview->Handle(), picture);
    DestroyWindow(preview->Handle());
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: varnelo-shots OUT_DIR SAMPLES_DIR\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string out = TextBytes(argv[1]);
    // The samples' folder as Windows writes paths, whichever separators it was given in.
    std::string samples = TextBytes(argv[2]) + "\\";
    std::replace(samples.begin(), samples.end(), '/', '\\');
    os::CreateFolders(out);
    const std::wstring folder = std::wstring(argv[1]) + L"\\";

    std::string work;  // the converted sample and the window's settings, removed at the end
    if (os::CreateUniqueFolder(os::TempFolder() + "varnelo-shots-", work)) {
        std::fprintf(stderr, "varnelo-shots: cannot make a temporary folder\n");
        return 1;
    }
    bool ok = true;
    {
        TfrmMain window(work + "\\varnelo.INI", false);
        TMainLogic& logic = window.Logic();
        tools::SetUpPictureScene(logic, samples, "D:\\地図\\出力\\");
        window.Show();
        SetWindowPos(window.Handle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        window.SelectEntry(2);  // a crossed entry says why in the status bar
        SetFocus(window.Control(lvwBatch));
        ok = Capture(window.Handle(), folder + L"windows-main-window.png");

        aboutPicture = folder + L"windows-about.png";
        SetTimer(nullptr, 0, 50, &TakeAbout);
        logic.A1Click();
        ok = aboutSaved && ok;

        ok = ShootPreview(window, samples, work, folder + L"windows-preview.png") && ok;
    }
    {
        TfrmMain window(work + "\\varnelo-folder.INI", false);
        tools::SetUpAddFolderScene(window.Logic(), samples, "D:\\地図\\出力");
        window.Show();
        SetWindowPos(window.Handle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        ok = Capture(window.Handle(), folder + L"windows-add-folder.png") && ok;
    }
    os::RemoveTree(work);
    CoUninitialize();
    return ok ? 0 : 1;
}
