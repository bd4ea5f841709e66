#include "linux/x11/VirtualKeys.h"

#include <xcb/xproto.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <utility>

#include "engine/HotKeyProfile.h"

namespace quenby {
namespace {

// Virtual keys that are not letters, digits or function keys, with their keysyms. Punctuation
// is named as on a US keyboard, as the virtual keys are.
constexpr std::array<std::pair<std::uint16_t, std::uint32_t>, 46> kNamedKeys{{
    {0x08, XKB_KEY_BackSpace},    {0x09, XKB_KEY_Tab},         {0x0D, XKB_KEY_Return},
    {0x13, XKB_KEY_Pause},        {0x1B, XKB_KEY_Escape},      {0x20, XKB_KEY_space},
    {0x21, XKB_KEY_Prior},        {0x22, XKB_KEY_Next},        {0x23, XKB_KEY_End},
    {0x24, XKB_KEY_Home},         {0x25, XKB_KEY_Left},        {0x26, XKB_KEY_Up},
    {0x27, XKB_KEY_Right},        {0x28, XKB_KEY_Down},        {0x2C, XKB_KEY_Print},
    {0x2D, XKB_KEY_Insert},       {0x2E, XKB_KEY_Delete},      {0x5D, XKB_KEY_Menu},
    {0x60, XKB_KEY_KP_0},         {0x61, XKB_KEY_KP_1},        {0x62, XKB_KEY_KP_2},
    {0x63, XKB_KEY_KP_3},         {0x64, XKB_KEY_KP_4},        {0x65, XKB_KEY_KP_5},
    {0x66, XKB_KEY_KP_6},         {0x67, XKB_KEY_KP_7},        {0x68, XKB_KEY_KP_8},
    {0x69, XKB_KEY_KP_9},         {0x6A, XKB_KEY_KP_Multiply}, {0x6B, XKB_KEY_KP_Add},
    {0x6C, XKB_KEY_KP_Separator}, {0x6D, XKB_KEY_KP_Subtract}, {0x6E, XKB_KEY_KP_Decimal},
    {0x6F, XKB_KEY_KP_Divide},    {0x91, XKB_KEY_Scroll_Lock}, {0xBA, XKB_KEY_semicolon},
    {0xBB, XKB_KEY_equal},        {0xBC, XKB_KEY_comma},       {0xBD, XKB_KEY_minus},
    {0xBE, XKB_KEY_period},       {0xBF, XKB_KEY_slash},       {0xC0, XKB_KEY_grave},
    {0xDB, XKB_KEY_bracketleft},  {0xDC, XKB_KEY_backslash},   {0xDD, XKB_KEY_bracketright},
    {0xDE, XKB_KEY_apostrophe},
}};

// The keypad's own navigation keysyms (Num Lock off) are captured as the keys they stand for, as
// they are on Windows; registering one of those codes grabs the separate key.
constexpr std::array<std::pair<std::uint16_t, std::uint32_t>, 11> kKeypadNavigation{{
    {0x0D, XKB_KEY_KP_Enter},
    {0x21, XKB_KEY_KP_Prior},
    {0x22, XKB_KEY_KP_Next},
    {0x23, XKB_KEY_KP_End},
    {0x24, XKB_KEY_KP_Home},
    {0x25, XKB_KEY_KP_Left},
    {0x26, XKB_KEY_KP_Up},
    {0x27, XKB_KEY_KP_Right},
    {0x28, XKB_KEY_KP_Down},
    {0x2D, XKB_KEY_KP_Insert},
    {0x2E, XKB_KEY_KP_Delete},
}};

}  // namespace

bool IsPrintingVirtualKey(std::uint16_t virtualKey) {
    return (virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9') ||
           (virtualKey >= 0xBA && virtualKey <= 0xC0) || (virtualKey >= 0xDB && virtualKey <= 0xDE);
}

std::optional<std::uint32_t> KeysymForVirtualKey(std::uint16_t virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return XKB_KEY_a + (virtualKey - 'A');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return XKB_KEY_0 + (virtualKey - '0');
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {  // F1 to F24
        return XKB_KEY_F1 + (virtualKey - 0x70);
    }
    for (const auto& [key, keysym] : kNamedKeys) {
        if (key == virtualKey) {
            return keysym;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> VirtualKeyForKeysym(std::uint32_t keysym) {
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) {
        return static_cast<std::uint16_t>('A' + (keysym - XKB_KEY_a));
    }
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) {
        return static_cast<std::uint16_t>('A' + (keysym - XKB_KEY_A));
    }
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) {
        return static_cast<std::uint16_t>('0' + (keysym - XKB_KEY_0));
    }
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) {
        return static_cast<std::uint16_t>(0x70 + (keysym - XKB_KEY_F1));
    }
    for (const auto& [key, named] : kNamedKeys) {
        if (named == keysym) {
            return key;
        }
    }
    for (const auto& [key, named] : kKeypadNavigation) {
        if (named == keysym) {
            return key;
        }
    }
    return std::nullopt;
}

std::uint16_t ModifierMaskForFlags(std::uint16_t modFlags) {
    std::uint16_t mask = 0;
    mask |= (modFlags & SYSTEM_FLAG_SHIFT) != 0 ? XCB_MOD_MASK_SHIFT : 0;
    mask |= (modFlags & SYSTEM_FLAG_CONTROL) != 0 ? XCB_MOD_MASK_CONTROL : 0;
    mask |= (modFlags & SYSTEM_FLAG_ALT) != 0 ? XCB_MOD_MASK_1 : 0;
    mask |= (modFlags & SYSTEM_FLAG_WIN) != 0 ? XCB_MOD_MASK_4 : 0;
    return mask;
}

}  // namespace quenby
