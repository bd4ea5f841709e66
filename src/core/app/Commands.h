#pragma once

#include <array>
#include <string_view>

namespace quenby {

// Commands of the two popup menus and the main window's buttons.
enum ECommand : int {
    ID_CONFIGURE = 32771,
    ID_EXIT = 32772,
    ID_SCREENSHOT_TO_CLIPBOARD = 32773,
    ID_VISIT_SITE = 32774,
    ID_SHARE_FACEBOOK = 32776,
    ID_SHARE_TWITTER = 32778,
    ID_SETTINGS = 32779,
    ID_SAVE = 32782,
    ID_LOAD = 32783,
    ID_SHOW_CURRENT_DATA_FILE = 32785,
    ID_ANOTHER_SOFTWARE = 32787,
    ID_DELETE_ALL_RECORDS = 32789,
    ID_APPEND_SIMPLE_TEXT = 32791,
    ID_DELETE_SELECTED_RECORD = 32793,
    ID_APPEND_UNICODE_TEXT = 32795,
    ID_ENCRYPTION_INFO = 32797,
    ID_STOP_NOW = 32799,
    // Buttons of the main window.
    IDC_ADD_NEW = 1001,
    IDC_EDIT_SELECTED = 1002,
    IDC_DELETE_SELECTED = 1003,
    IDC_ASSIGN_HOTKEY = 1006,
    IDC_CLEAR_HOTKEY = 1007,
    IDC_HIDE_TO_TRAY = 1010,
    IDC_MENU = 1012,
    // The separator of a menu.
    ID_SEPARATOR = 0,
};

struct MenuItem {
    int m_iCommand;                    // ID_SEPARATOR for a separator
    std::u16string_view m_strCaption;  // "&&" shows one ampersand; after "\t", an accelerator text
    bool m_bDefault = false;           // shown bold
};

// The notification-area menu.
inline constexpr std::array<MenuItem, 3> kTrayMenu{{
    {ID_CONFIGURE, u"Configure...", true},
    {ID_SEPARATOR, u""},
    {ID_EXIT, u"Exit"},
}};

// Put at the top of the notification-area menu while a run is active.
inline constexpr MenuItem kStopNowMenuItem{ID_STOP_NOW, u"Stop Now"};

// The main menu, behind the "Menu" button and the window's context menu.
inline constexpr std::array<MenuItem, 26> kMainMenu{{
    {ID_SCREENSHOT_TO_CLIPBOARD, u"Screenshot to Clipboard"},
    {ID_SEPARATOR, u""},
    {ID_SAVE, u"Save..."},
    {ID_LOAD, u"Load..."},
    {ID_SEPARATOR, u""},
    {ID_SHOW_CURRENT_DATA_FILE, u"Show Current Data File"},
    {ID_SEPARATOR, u""},
    {ID_APPEND_SIMPLE_TEXT, u"Append Line(s) from Simple Text File..."},
    {ID_APPEND_UNICODE_TEXT, u"Append Line(s) from Unicode Text File..."},
    {ID_SEPARATOR, u""},
    {ID_DELETE_SELECTED_RECORD, u"Delete Selected Record"},
    {ID_SEPARATOR, u""},
    {ID_DELETE_ALL_RECORDS, u"Delete All Record(s)"},
    {ID_SEPARATOR, u""},
    {ID_SETTINGS, u"Settings..."},
    {ID_SEPARATOR, u""},
    {ID_SHARE_FACEBOOK, u"Share On Facebook"},
    {ID_SHARE_TWITTER, u"Share on Twitter"},
    {ID_SEPARATOR, u""},
    {ID_ANOTHER_SOFTWARE, u"Another Software to do Automated Typing && Clicking..."},
    {ID_SEPARATOR, u""},
    {ID_ENCRYPTION_INFO, u"Encryption Info..."},
    {ID_SEPARATOR, u""},
    {ID_VISIT_SITE, u"Visit www.holvane.example"},
    {ID_SEPARATOR, u""},
    {ID_EXIT, u"Exit\tAlt+F4"},
}};

}  // namespace quenby
