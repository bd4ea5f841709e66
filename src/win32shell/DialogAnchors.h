#pragma once

#include <windows.h>

#include <vector>

#include "app/DialogTemplates.h"

namespace quenby {

// Moves and stretches a dialog's controls by the shares of its template as the dialog is
// resized, and keeps the dialog from getting smaller than its template.
class CDialogAnchors {
public:
    // Takes the controls as the dialog manager placed them from `dialog` (its children are in the
    // template's order) and the dialog's size as the minimum.
    void Capture(HWND window, const DialogTemplate& dialog);
    // Places every control for the window's client size (WM_SIZE).
    void Apply() const;
    // The template's window size as the smallest the user may make it (WM_GETMINMAXINFO).
    void LimitTracking(MINMAXINFO& info) const;
    // The window moved to a monitor of another DPI: what was captured scales with it.
    void Rescale(UINT dpi);

private:
    struct Item {
        HWND m_control;
        RECT m_rect;  // client pixels at the captured size
        const DialogControl* m_template;
    };
    HWND m_window = nullptr;
    SIZE m_client{};
    SIZE m_minimum{};
    UINT m_dpi = 96;
    std::vector<Item> m_items;
};

}  // namespace quenby
