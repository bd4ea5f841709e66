// Drives and photographs Quenby's windows for the screenshots of the documentation
// (scripts/screenshots-windows). Takes steps one after the other, separated by "--", and stops at
// the first that fails; each waits up to 20 seconds for a visible top-level window whose caption
// starts with the given text. Steps:
//   shot <caption start> <file.bmp>              the window as the screen shows it, as a BMP
//   post <caption start> <message> <wParam>      posts the message to the window
//   key <caption start> <control id> <key>       posts a key press to a control of the window
//   text <caption start> <control id> <text>     sets the text of a control of the window
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

struct Search {
    const wchar_t* m_start;
    HWND m_found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    wchar_t caption[512] = {};
    ::GetWindowTextW(window, caption, 512);
    if (::IsWindowVisible(window) &&
        std::wcsncmp(caption, search.m_start, std::wcslen(search.m_start)) == 0) {
        search.m_found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(const wchar_t* start) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        Search search{start};
        ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
        if (search.m_found != nullptr) {
            // Time to paint after it appeared.
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            return search.m_found;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::fwprintf(stderr, L"no window \"%ls\"\n", start);
    return nullptr;
}

bool Shot(HWND window, const wchar_t* file) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP image = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, image);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + size;
    bool written = false;
    if (FILE* out = _wfopen(file, L"wb")) {
        written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, 1, size, out) == size;
        std::fclose(out);
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(image);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return written;
}

// One step, from its words; 0 when it was done.
int Step(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::wstring mode = argv[0];
    HWND window = WaitForWindow(argv[1]);
    if (window == nullptr) {
        return 1;
    }
    if (mode == L"shot") {
        return Shot(window, argv[2]) ? 0 : 1;
    }
    if (argc < 4) {
        return 2;
    }
    const auto number = [](const wchar_t* text) { return std::wcstoul(text, nullptr, 0); };
    if (mode == L"post") {
        return ::PostMessageW(window, static_cast<UINT>(number(argv[2])), number(argv[3]), 0) ? 0
                                                                                              : 1;
    }
    HWND control = ::GetDlgItem(window, static_cast<int>(number(argv[2])));
    if (mode == L"key") {
        return ::PostMessageW(control, WM_KEYDOWN, number(argv[3]), 0) ? 0 : 1;
    }
    if (mode == L"text") {
        return ::SetWindowTextW(control, argv[3]) ? 0 : 1;
    }
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    while (first < argc) {
        int last = first;
        while (last < argc && std::wstring(argv[last]) != L"--") {
            ++last;
        }
        if (const int status = Step(last - first, argv + first); status != 0) {
            return status;
        }
        first = last + 1;
    }
    return 0;
}
