// Another process for the Windows tests, which need one: keys and values must cross a process
// boundary as they do for a real target; and the driver of the documentation's screenshots
// (scripts/screenshots-windows). Modes:
//   edits <ready event>            a window with an editable and a read-only EDIT control, the
//                                  editable one focused; signals the event when ready
//   hung-edits <ready event>       the same window, whose thread then stops answering
//   press <vk> <mods>              injects the combination with SendInput and exits
//   keep-desktop                   uses the desktop, says "ready" and waits to be ended
//   steps separated by "--", taken one after the other up to the first that fails, each waiting
//   up to 20 seconds for a visible top-level window whose caption starts with the given text:
//     shot <caption start> <file.bmp>          the window as the screen shows it, as a BMP
//     post <caption start> <message> <wParam>  posts the message to the window
//     key <caption start> <control id> <key>   posts a key press to a control of the window
//     text <caption start> <control id> <text> sets the text of a control of the window
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "support/PeerWindows.h"

namespace {

using namespace quenby::test;

UINT Number(const wchar_t* text) {
    return static_cast<UINT>(std::wcstoul(text, nullptr, 0));
}

void SendKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP);
    ::SendInput(1, &input, sizeof input);
}

int Press(WORD virtualKey, UINT modifiers) {
    std::vector<WORD> keys;
    for (const auto& [flag, key] : {std::pair<UINT, WORD>{MOD_CONTROL, VK_LCONTROL},
                                    {MOD_ALT, VK_LMENU},
                                    {MOD_SHIFT, VK_LSHIFT},
                                    {MOD_WIN, VK_LWIN}}) {
        if ((modifiers & flag) != 0) {
            keys.push_back(key);
        }
    }
    keys.push_back(virtualKey);
    for (WORD key : keys) {
        SendKey(key, true);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        SendKey(*key, false);
    }
    return 0;
}

void SignalReady(const wchar_t* readyEvent) {
    if (HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent)) {
        ::SetEvent(ready);
        ::CloseHandle(ready);
    }
}

// A plain window of a system class will do: the peer is ended from outside.
int Edits(const wchar_t* readyEvent, bool hang) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"Quenby test peer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                          40, 640, 240, nullptr, nullptr, instance, nullptr);
    const auto id = [](int value) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(value)); };
    HWND editable =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                          10, 10, 600, 30, window, id(kEditableId), instance, nullptr);
    ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", kReadOnlyText,
                      WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, 10, 60, 600, 30, window,
                      id(kReadOnlyId), instance, nullptr);
    if (window == nullptr || editable == nullptr) {
        return 2;
    }
    ::SetForegroundWindow(window);
    ::SetFocus(editable);
    SignalReady(readyEvent);
    if (hang) {
        ::Sleep(INFINITE);
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

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
    if (mode == L"post") {
        return ::PostMessageW(window, Number(argv[2]), Number(argv[3]), 0) ? 0 : 1;
    }
    HWND control = ::GetDlgItem(window, static_cast<int>(Number(argv[2])));
    if (mode == L"key") {
        return ::PostMessageW(control, WM_KEYDOWN, Number(argv[3]), 0) ? 0 : 1;
    }
    if (mode == L"text") {
        return ::SetWindowTextW(control, argv[3]) ? 0 : 1;
    }
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv, argv + argc);
    if (args.size() == 3 && (args[1] == L"edits" || args[1] == L"hung-edits")) {
        return Edits(args[2].c_str(), args[1] == L"hung-edits");
    }
    if (args.size() == 2 && args[1] == L"keep-desktop") {
        ::GetDesktopWindow();
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        ::Sleep(INFINITE);
        return 0;
    }
    if (args.size() == 4 && args[1] == L"press") {
        return Press(static_cast<WORD>(Number(argv[2])), Number(argv[3]));
    }
    int first = 1;
    while (first < argc) {
        int last = first;
        while (last < argc && args[last] != L"--") {
            ++last;
        }
        if (const int status = Step(last - first, argv + first); status != 0) {
            return status;
        }
        first = last + 1;
    }
    return argc > 1 ? 0 : 1;
}
