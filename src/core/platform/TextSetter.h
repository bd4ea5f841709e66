#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quenby {

// A point on the screen, in pixels from the top left of the primary screen (may be negative);
// or, where the system tells no program where the pointer is (Wayland), no point at all but the
// field that has the keyboard focus, and then the coordinates mean nothing.
struct ScreenPoint {
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
    bool m_bFocusedField = false;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The target of set-text where there is no pointer position: the focused field.
inline constexpr ScreenPoint kFocusedField{0, 0, true};

// Sets text as the value of the control under a screen point (or of the focused field), where
// that control allows it.
class ITextSetter {
public:
    virtual ~ITextSetter() = default;
    // True when the control at the point takes a text value.
    virtual bool CanSetTextAt(ScreenPoint point) = 0;
    // Replaces the control's value with the text; true when the control was reached.
    virtual bool SetTextAt(ScreenPoint point, const std::u16string& text) = 0;
};

// Creates a text setter (its accessibility connection); nothing when it cannot be had now.
class ITextSetterFactory {
public:
    virtual ~ITextSetterFactory() = default;
    virtual std::unique_ptr<ITextSetter> CreateTextSetter() = 0;
};

}  // namespace quenby
