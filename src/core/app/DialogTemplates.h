#pragma once

// The dialog templates every shell draws: ids, kinds, captions, rectangles in dialog units and the
// share of the window's growth by which each control moves right, moves down, widens and grows
// taller. Written as lists of macro calls so that the Windows resource compiler, which runs the C
// preprocessor but reads no C++, makes its dialog resources from the very same lines.
//
// A list entry: C(id, kind, "caption", x, y, width, height, moveX, moveY, sizeX, sizeY).
// Kinds: Group, List, DefButton, Button, HotKey, Number (an edit for digits), Edit, Label, Check,
// RadioFirst (starts a group of radio buttons), Radio, InfoLabel (a label starting a new group),
// Icon (the main icon). Captions mark mnemonics with "&"; "&&" shows one ampersand.

#define QUENBY_ABOUT_DIALOG_ID 100
#define QUENBY_MAIN_DIALOG_ID 102
#define QUENBY_EDITOR_DIALOG_ID 130
#define QUENBY_SETTINGS_DIALOG_ID 134

#define QUENBY_MAIN_DIALOG_SIZE 495, 213
#define QUENBY_MAIN_DIALOG_CONTROLS(C)                                                             \
    C(-1, Group, "List of Messages to be Typed onto Application with Focus", 7, 7, 482, 132, 0, 0, \
      100, 100)                                                                                    \
    C(1000, List, "", 13, 16, 470, 117, 0, 0, 100, 100)                                            \
    C(1001, DefButton, "&Add New (Enter)", 10, 142, 71, 23, 0, 100, 0, 0)                          \
    C(1002, Button, "&Edit Selected", 93, 142, 71, 23, 0, 100, 0, 0)                               \
    C(1003, Button, "&Delete Selected", 176, 142, 71, 23, 0, 100, 0, 0)                            \
    C(1010, Button, "&Hide to System Tray", 412, 142, 71, 23, 100, 100, 0, 0)                      \
    C(-1, Group, "Keyboard Shortcut Key to Start / Stop Automatic Typing of Text", 7, 170, 249,    \
      37, 0, 100, 0, 0)                                                                            \
    C(1005, HotKey, "", 18, 184, 116, 14, 0, 100, 0, 0)                                            \
    C(1006, Button, "&Assign", 140, 184, 50, 14, 0, 100, 0, 0)                                     \
    C(1007, Button, "&Clear", 196, 184, 50, 14, 0, 100, 0, 0)                                      \
    C(-1, Group, "Number of Times Text Must be Typed", 335, 170, 154, 37, 0, 100, 0, 0)            \
    C(1009, Number, "", 356, 184, 45, 14, 0, 100, 0, 0)                                            \
    C(-1, Label, "Enter 0 For Infinite", 406, 187, 58, 8, 0, 100, 0, 0)                            \
    C(1012, Button, "Menu", 439, 3, 50, 9, 100, 0, 0, 0)                                           \
    C(1018, Check, "Random Order", 340, 150, 62, 10, 0, 100, 0, 0)

#define QUENBY_EDITOR_DIALOG_SIZE 337, 119
#define QUENBY_EDITOR_DIALOG_CONTROLS(C)                                                           \
    C(-1, Label, "&Message :", 7, 16, 34, 8, 0, 0, 0, 0)                                           \
    C(1002, Edit, "", 45, 14, 284, 14, 0, 0, 100, 0)                                               \
    C(-1, Label, "&Delay Before Typing Message :", 7, 35, 100, 8, 0, 0, 0, 0)                      \
    C(1003, Number, "", 114, 32, 40, 14, 0, 0, 0, 0)                                               \
    C(-1, Label, "Second(s)", 157, 35, 33, 8, 0, 0, 0, 0)                                          \
    C(1004, Number, "", 201, 32, 40, 14, 0, 0, 0, 0)                                               \
    C(-1, Label, "Milli Second(s)", 244, 35, 46, 8, 0, 0, 0, 0)                                    \
    C(-1, Label, "Random Time Delay between Characters  (in Milli Second(s)) :", 7, 59, 195, 8, 0, \
      0, 0, 0)                                                                                     \
    C(1022, Number, "", 221, 56, 40, 14, 0, 0, 0, 0)                                               \
    C(-1, Label, "&&", 266, 59, 8, 8, 0, 0, 0, 0)                                                  \
    C(1023, Number, "", 279, 56, 40, 14, 0, 0, 0, 0)                                               \
    C(1011, Check, "Press Enter &Before Typing", 7, 80, 98, 10, 0, 100, 0, 0)                      \
    C(1012, Check, "Press Enter &After Typing", 7, 102, 92, 10, 0, 100, 0, 0)                      \
    C(1, DefButton, "OK (Enter)", 170, 80, 78, 32, 100, 100, 0, 0)                                 \
    C(2, Button, "Cancel (Esc)", 253, 80, 78, 32, 100, 100, 0, 0)

#define QUENBY_SETTINGS_DIALOG_SIZE 325, 209
#define QUENBY_SETTINGS_DIALOG_CONTROLS(C)                                                        \
    C(-1, Group, "Keyboard Simulation Method", 11, 7, 302, 70, 0, 0, 0, 0)                        \
    C(1031, RadioFirst, "Normal (Supports Multiple Language Characters)", 88, 34, 168, 10, 0, 0,  \
      0, 0)                                                                                       \
    C(1032, Radio, "Use Current Keyboard Layout", 88, 48, 109, 10, 0, 0, 0, 0)                    \
    C(1013, Check, "Remember Last Position and Size", 11, 89, 121, 10, 0, 0, 0, 0)                \
    C(1024, Check, "Stop typing when another window takes the focus", 11, 103, 302, 10, 0, 0, 0,  \
      0)                                                                                          \
    C(1018, Check, "If Possible Set Text instead of Typing at Initial Cursor Location", 11, 122,  \
      210, 10, 0, 0, 0, 0)                                                                        \
    C(1020, Button, "Help", 230, 120, 50, 14, 0, 0, 0, 0)                                         \
    C(1019, InfoLabel, "Set Text Info", 35, 140, 266, 8, 0, 0, 0, 0)                              \
    C(-1, Label,                                                                                  \
      "Note : Text Cursor Location will also be Different as Compared to Normal Typing", 35, 155, \
      251, 8, 0, 0, 0, 0)                                                                         \
    C(1, DefButton, "OK", 147, 175, 83, 28, 0, 0, 0, 0)                                           \
    C(2, Button, "Cancel", 236, 175, 83, 28, 0, 0, 0, 0)                                          \
    C(1021, Button, "Encryption Info", 7, 182, 88, 14, 0, 0, 0, 0)

#define QUENBY_ABOUT_DIALOG_SIZE 235, 55
#define QUENBY_ABOUT_DIALOG_CONTROLS(C)                                          \
    C(-1, Icon, "", 11, 17, 21, 20, 0, 0, 0, 0)                                  \
    C(-1, Label, "Quenby Version 9.2", 40, 10, 119, 8, 0, 0, 0, 0)               \
    C(-1, Label, "Support: support@holvane.example", 40, 25, 150, 8, 0, 0, 0, 0) \
    C(1, DefButton, "OK", 178, 7, 50, 14, 0, 0, 0, 0)

#ifndef RC_INVOKED

#include <span>
#include <string_view>

namespace quenby {

enum class EControlKind {
    Group,
    List,
    DefButton,
    Button,
    HotKey,
    Number,
    Edit,
    Label,
    Check,
    RadioFirst,
    Radio,
    InfoLabel,
    Icon
};

// One control of a template; ids below 0 are controls nothing refers to.
struct DialogControl {
    int m_iId;
    EControlKind m_kind;
    std::u16string_view m_strText;
    int m_iX, m_iY, m_iWidth, m_iHeight;         // dialog units
    int m_iMoveX, m_iMoveY, m_iSizeX, m_iSizeY;  // percent of the window's growth
};

struct DialogTemplate {
    int m_iWidth, m_iHeight;  // dialog units
    std::span<const DialogControl> m_controls;
};

#define QUENBY_DIALOG_CONTROL(id, kind, text, x, y, w, h, mx, my, sx, sy) \
    DialogControl{id, EControlKind::kind, u"" text, x, y, w, h, mx, my, sx, sy},

inline constexpr DialogControl kMainDialogControls[] = {
    QUENBY_MAIN_DIALOG_CONTROLS(QUENBY_DIALOG_CONTROL)};
inline constexpr DialogControl kEditorDialogControls[] = {
    QUENBY_EDITOR_DIALOG_CONTROLS(QUENBY_DIALOG_CONTROL)};
inline constexpr DialogControl kSettingsDialogControls[] = {
    QUENBY_SETTINGS_DIALOG_CONTROLS(QUENBY_DIALOG_CONTROL)};
inline constexpr DialogControl kAboutDialogControls[] = {
    QUENBY_ABOUT_DIALOG_CONTROLS(QUENBY_DIALOG_CONTROL)};

#undef QUENBY_DIALOG_CONTROL

inline constexpr DialogTemplate kMainDialog{QUENBY_MAIN_DIALOG_SIZE, kMainDialogControls};
inline constexpr DialogTemplate kEditorDialog{QUENBY_EDITOR_DIALOG_SIZE, kEditorDialogControls};
inline constexpr DialogTemplate kSettingsDialog{QUENBY_SETTINGS_DIALOG_SIZE,
                                                kSettingsDialogControls};
inline constexpr DialogTemplate kAboutDialog{QUENBY_ABOUT_DIALOG_SIZE, kAboutDialogControls};

// The control of the template with the id; the first one when several share it.
constexpr const DialogControl& TemplateControl(const DialogTemplate& dialog, int id) {
    for (const DialogControl& control : dialog.m_controls) {
        if (control.m_iId == id) {
            return control;
        }
    }
    return dialog.m_controls.front();
}

}  // namespace quenby

#endif  // RC_INVOKED
