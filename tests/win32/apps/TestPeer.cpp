// Another process for the Windows tests, which need one: keys and values must cross a process
// boundary as they do for a real target. Modes:
//   edits <ready event>            a window with an editable and a read-only EDIT control, the
//                                  editable one focused; signals the event when ready
//   hung-edits <ready event>       the same window, whose thread then stops answering
//   hold <vk> <mods> <ready event> registers the hot key, signals the event, waits to be ended
//   press <vk> <mods>              injects the combination with SendInput and exits
//   keep-desktop                   uses the desktop, says "ready" and waits to be ended
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "support/PeerWindows.h"

namespace {

void SendKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP);
    ::SendInput(1, &input, sizeof input);
}

int Press(WORD virtualKey, UINT modifiers) {
    const struct {
        UINT flag;
        WORD key;
    } held[] = {{MOD_CONTROL, VK_LCONTROL},
                {MOD_ALT, VK_LMENU},
                {MOD_SHIFT, VK_LSHIFT},
                {MOD_WIN, VK_LWIN}};
    for (const auto& h : held) {
        if ((modifiers & h.flag) != 0) {
            SendKey(h.key, true);
        }
    }
    SendKey(virtualKey, true);
    SendKey(virtualKey, false);
    for (const auto& h : held) {
        if ((modifiers & h.flag) != 0) {
            SendKey(h.key, false);
        }
    }
    return 0;
}

int Hold(WORD virtualKey, UINT modifiers, const wchar_t* readyEvent) {
    if (!::RegisterHotKey(nullptr, 1, modifiers, virtualKey)) {
        return 2;
    }
    if (HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent)) {
        ::SetEvent(ready);
        ::CloseHandle(ready);
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    return 0;
}

LRESULT CALLBACK EditsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int Edits(const wchar_t* readyEvent, bool hang) {
    using namespace quenby::test;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = EditsProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = kPeerWindowClass;
    ::RegisterClassExW(&windowClass);
    HWND window = ::CreateWindowExW(0, kPeerWindowClass, L"Quenby test peer",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 240, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    const auto id = [](int value) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(value)); };
    HWND editable =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                          10, 10, 600, 30, window, id(kEditableId), windowClass.hInstance, nullptr);
    ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", kReadOnlyText,
                      WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, 10, 60, 600, 30, window,
                      id(kReadOnlyId), windowClass.hInstance, nullptr);
    if (window == nullptr || editable == nullptr) {
        return 2;
    }
    ::SetForegroundWindow(window);
    ::SetFocus(editable);
    if (HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent)) {
        ::SetEvent(ready);
        ::CloseHandle(ready);
    }
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv, argv + argc);
    if (args.size() == 3 && (args[1] == L"edits" || args[1] == L"hung-edits")) {
        return Edits(args[2].c_str(), args[1] == L"hung-edits");
    }
    const auto number = [](const std::wstring& text) {
        return static_cast<UINT>(std::wcstoul(text.c_str(), nullptr, 0));
    };
    if (args.size() == 5 && args[1] == L"hold") {
        return Hold(static_cast<WORD>(number(args[2])), number(args[3]), args[4].c_str());
    }
    if (args.size() == 2 && args[1] == L"keep-desktop") {
        ::GetDesktopWindow();
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        ::Sleep(INFINITE);
        return 0;
    }
    if (args.size() == 4 && args[1] == L"press") {
        return Press(static_cast<WORD>(number(args[2])), number(args[3]));
    }
    return 1;
}
