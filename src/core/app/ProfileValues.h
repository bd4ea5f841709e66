#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/MessageList.h"

namespace quenby {

// The application title names the product and its maker: the caption of message boxes, the end
// of every window caption, the tray tip, and the profile's own name.
inline constexpr std::u16string_view kAppTitle = u"Quenby by Holvane";
inline constexpr std::string_view kAppTitleUtf8 = "Quenby by Holvane";
// The vendor key under which the profile is kept.
inline constexpr std::string_view kVendorKey = "Holvane";

// One integer profile value: its name and what it reads as when absent.
struct ProfileInt {
    std::string_view m_strName;
    std::int32_t m_iDefault;
};

// Every value the program keeps in its profile, all in section "Settings". Values not listed
// here are composed: the shortcut's "<name> Key" / "<name> Mod" (CHotKeyProfile).
namespace profile {

inline constexpr ProfileInt RememberLastPositionAndSize{"RememberLastPositionAndSize", 1};
inline constexpr ProfileInt TextSettingUp{"TextSettingUp", 0};
inline constexpr ProfileInt KeyInputMethod{"m_iKeyInputMethod", 1};
// A run stops when another window takes the keyboard focus from the one a message started in.
inline constexpr ProfileInt StopOnFocusChange{"m_bStopOnFocusChange", 1};
inline constexpr ProfileInt Count{"m_iCount", 5};
inline constexpr ProfileInt RandomOrder{"m_bRandomOrder", 0};
inline constexpr ProfileInt NewSeconds{"m_iNewSeconds", 0};
inline constexpr ProfileInt NewMilliSeconds{"m_iNewMilliSeconds", 0};
// The message editor proposes both Enter presses until the user stores a choice; the text
// imports give imported lines none.
inline constexpr ProfileInt EnterBeforeTyping{"m_bEnterBeforeTyping", 1};
inline constexpr ProfileInt EnterAfterTyping{"m_bEnterAfterTyping", 1};
inline constexpr std::int32_t kImportEnterDefault = 0;

inline constexpr std::string_view LastFilePath = "LastFilePath";  // string, written only
inline constexpr std::string_view Location = "Location";          // main window placement
inline constexpr std::string_view Location1 = "Location1";        // message editor placement

// "Column0".."Column6", defaulting to the list's column widths.
inline constexpr std::array<ProfileInt, COLUMN_COUNT> ColumnWidths{{
    {"Column0", kMessageColumns[0].m_iDefaultWidth},
    {"Column1", kMessageColumns[1].m_iDefaultWidth},
    {"Column2", kMessageColumns[2].m_iDefaultWidth},
    {"Column3", kMessageColumns[3].m_iDefaultWidth},
    {"Column4", kMessageColumns[4].m_iDefaultWidth},
    {"Column5", kMessageColumns[5].m_iDefaultWidth},
    {"Column6", kMessageColumns[6].m_iDefaultWidth},
}};

}  // namespace profile

// Keyboard simulation methods ("m_iKeyInputMethod").
inline constexpr std::int32_t KEY_INPUT_UNICODE =
    0;  // "Normal (Supports Multiple Language Characters)"
inline constexpr std::int32_t KEY_INPUT_LAYOUT = 1;  // "Use Current Keyboard Layout"

}  // namespace quenby
