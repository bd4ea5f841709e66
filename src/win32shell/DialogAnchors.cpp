#include "win32shell/DialogAnchors.h"

#include <algorithm>
#include <string>

namespace quenby {
namespace {

LONG Scale(LONG value, UINT to, UINT from) {
    return static_cast<LONG>(::MulDiv(value, static_cast<int>(to), static_cast<int>(from)));
}

// How wide the control's caption draws in its font, with room for a check box's box.
LONG NeededWidth(HWND control, EControlKind kind) {
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    HDC context = ::GetDC(control);
    HGDIOBJ previous = ::SelectObject(
        context, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT extent{};
    ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &extent,
                DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(context, previous);
    ::ReleaseDC(control, context);
    LONG width = extent.right - extent.left;
    if (kind != EControlKind::Label) {
        const UINT dpi = ::GetDpiForWindow(control);
        width +=
            ::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + ::MulDiv(6, static_cast<int>(dpi), 96);
    }
    return width;
}

}  // namespace

void CDialogAnchors::Capture(HWND window, const DialogTemplate& dialog) {
    m_window = window;
    m_dpi = ::GetDpiForWindow(window);
    m_items.clear();
    RECT client{};
    ::GetClientRect(window, &client);
    m_client = {client.right, client.bottom};
    RECT frame{};
    ::GetWindowRect(window, &frame);
    m_minimum = {frame.right - frame.left, frame.bottom - frame.top};
    HWND child = ::GetWindow(window, GW_CHILD);
    for (const DialogControl& control : dialog.m_controls) {
        if (child == nullptr) {
            break;
        }
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        // Captions are sized for the template's font; in another one (Wine has none of that name)
        // they may need more room, which they take to the right rather than be cut.
        if (control.m_kind == EControlKind::Label || control.m_kind == EControlKind::Check ||
            control.m_kind == EControlKind::Radio || control.m_kind == EControlKind::RadioFirst) {
            const LONG needed = NeededWidth(child, control.m_kind);
            if (needed > rect.right - rect.left) {
                rect.right = rect.left + needed;
                ::SetWindowPos(child, nullptr, 0, 0, needed, rect.bottom - rect.top,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        m_items.push_back({child, rect, &control});
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
}

void CDialogAnchors::Apply() const {
    if (m_window == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(m_window, &client);
    const LONG growX = std::max<LONG>(0, client.right - m_client.cx);
    const LONG growY = std::max<LONG>(0, client.bottom - m_client.cy);
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
    for (const Item& item : m_items) {
        const DialogControl& t = *item.m_template;
        const LONG x = item.m_rect.left + growX * t.m_iMoveX / 100;
        const LONG y = item.m_rect.top + growY * t.m_iMoveY / 100;
        const LONG width = item.m_rect.right - item.m_rect.left + growX * t.m_iSizeX / 100;
        const LONG height = item.m_rect.bottom - item.m_rect.top + growY * t.m_iSizeY / 100;
        if (positions != nullptr) {
            positions = ::DeferWindowPos(positions, item.m_control, nullptr, x, y, width, height,
                                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (positions != nullptr) {
        ::EndDeferWindowPos(positions);
    }
    // Group boxes are drawn behind the controls they frame: repaint them all at once.
    ::InvalidateRect(m_window, nullptr, TRUE);
}

void CDialogAnchors::LimitTracking(MINMAXINFO& info) const {
    if (m_window != nullptr) {
        info.ptMinTrackSize.x = m_minimum.cx;
        info.ptMinTrackSize.y = m_minimum.cy;
    }
}

void CDialogAnchors::Rescale(UINT dpi) {
    if (dpi == 0 || dpi == m_dpi) {
        return;
    }
    for (Item& item : m_items) {
        item.m_rect = {Scale(item.m_rect.left, dpi, m_dpi), Scale(item.m_rect.top, dpi, m_dpi),
                       Scale(item.m_rect.right, dpi, m_dpi), Scale(item.m_rect.bottom, dpi, m_dpi)};
    }
    m_client = {Scale(m_client.cx, dpi, m_dpi), Scale(m_client.cy, dpi, m_dpi)};
    m_minimum = {Scale(m_minimum.cx, dpi, m_dpi), Scale(m_minimum.cy, dpi, m_dpi)};
    m_dpi = dpi;
}

}  // namespace quenby
