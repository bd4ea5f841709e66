#include "win32/MessageWindow.h"

namespace quenby {
namespace {

constexpr wchar_t kClassName[] = L"QuenbyMessageWindow";

// Registered once per process; a second registration reports the class as existing.
bool EnsureClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

CMessageWindow::CMessageWindow(Handler handler) : m_handler(std::move(handler)) {
    if (EnsureClass(&CMessageWindow::WindowProc)) {
        m_hwnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), this);
    }
}

CMessageWindow::~CMessageWindow() {
    if (m_hwnd != nullptr) {
        ::DestroyWindow(m_hwnd);
    }
}

LRESULT CALLBACK CMessageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CMessageWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && self->m_handler && self->m_handler(message, wParam, lParam)) {
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace quenby
