#pragma once

#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "input/SurrogateJoiner.h"
#include "linux/wayland/TextIntake.h"
#include "linux/wayland/VirtualKeymap.h"
#include "linux/wayland/WaylandPacer.h"
#include "linux/wayland/WaylandSession.h"
#include "linux/xkb/XkbCompose.h"
#include "platform/Keyboard.h"

struct zwp_virtual_keyboard_v1;

namespace quenby {

class CWaylandLayout;

// Key events through a virtual keyboard (zwp_virtual_keyboard_v1) on a Wayland connection of its
// own, for one message, on the thread that types it.
//
// Unicode texts: every character goes through our own keymap (CVirtualKeymap), uploaded once per
// run of at most CVirtualKeymap::kCapacity distinct keysyms; Wayland delivers keymap and keys in
// order, so a key is always read with the keymap it was sent with. The layout method sends the keys
// of the user's keymap, uploaded to the virtual keyboard as it is, and a character of it that takes
// a dead key as the dead key and the key after it (the focused client composes them).
class CWaylandKeyboardOutput final : public IKeyboardOutput {
public:
    // `seatHadKeyboard`: whether the seat had a keyboard before `keyboard` was made;
    // `userKeymap`: the user's keymap as XKB text (empty when unknown); `beep`: the error sound;
    // `intake`: how the focused application's reading is seen (null: not at all).
    CWaylandKeyboardOutput(std::unique_ptr<CWaylandSession> session,
                           zwp_virtual_keyboard_v1* keyboard, bool seatHadKeyboard,
                           std::string userKeymap, WaylandPacing pacing, std::function<void()> beep,
                           ITextIntake* intake = nullptr);
    ~CWaylandKeyboardOutput() override;
    CWaylandKeyboardOutput(const CWaylandKeyboardOutput&) = delete;
    CWaylandKeyboardOutput& operator=(const CWaylandKeyboardOutput&) = delete;

    void BeginUnicodeText(std::u16string_view text) override;
    void EndUnicodeText() override;
    void SendKey(KeyCode key, bool down) override;
    void SendUnicodeUnit(char16_t unit, bool down) override;
    void PressEnter() override;
    void Beep() override;
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override;
    Status SendStatus() override;
    void SetInterrupt(std::function<bool()> interrupted) override;

private:
    enum class EKeymap { None, User, Virtual };

    void TypeCodePoint(char32_t codePoint, bool down);
    // Uploads the keymap that has the keysym (the next chunk of the text, or one of its own).
    void SelectVirtualKeymapFor(xkb_keysym_t keysym);
    bool Upload(const std::string& text);
    bool UseUserKeymap();
    void Press(xkb_keycode_t key, bool down);
    void ReleaseAll();

    std::unique_ptr<CWaylandSession> m_session;
    bool m_bSeatHadKeyboard;
    zwp_virtual_keyboard_v1* m_keyboard;
    std::string m_strUserKeymap;
    WaylandPacing m_pacing;
    std::function<void()> m_beep;
    CWaylandPacer m_pacer;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;  // the keymap uploaded now
    xkb_state* m_state = nullptr;    // its state, for the modifiers the compositor is told
    EKeymap m_keymapKind = EKeymap::None;
    std::vector<CVirtualKeymap> m_chunks;  // the keymaps of the Unicode text, in text order
    std::size_t m_iNextChunk = 0;          // the first chunk not uploaded yet
    std::optional<CVirtualKeymap> m_virtual;
    std::unique_ptr<CWaylandLayout> m_userLayout;  // for Enter in the user's keymap
    std::shared_ptr<const std::vector<PressSequence>> m_sequences;  // of the last layout loaded
    std::unordered_map<char32_t, xkb_keycode_t> m_down;
    std::vector<xkb_keycode_t> m_pressed;
    CSurrogateJoiner m_surrogates;
    bool m_bUploaded = false;
};

// Opens a Wayland connection and a virtual keyboard for each message. Remembers the last keymap
// the compositor reported that was the user's, not a virtual keyboard's of ours: between messages
// the seat's keyboard may still be our last one, or none.
class CWaylandKeyboard final : public IKeyboard {
public:
    // `intake`: how the focused application's reading is seen; null: keys go at a fixed pace.
    explicit CWaylandKeyboard(WaylandPacing pacing = {}, std::function<void()> beep = {},
                              std::shared_ptr<ITextIntake> intake = nullptr)
        : m_pacing(pacing), m_beep(std::move(beep)), m_intake(std::move(intake)) {}
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;

private:
    WaylandPacing m_pacing;
    std::function<void()> m_beep;
    std::shared_ptr<ITextIntake> m_intake;
    std::mutex m_mutex;  // OpenOutput runs on whichever thread types
    std::string m_strUserKeymap;
};

// The Wayland keyboard when $WAYLAND_DISPLAY names a compositor that offers virtual keyboards;
// null otherwise (no Wayland, or a compositor without the protocol). `beep` is the error sound
// of the layout method: the core Wayland protocols have none. `intake`: see CWaylandKeyboard.
std::unique_ptr<IKeyboard> OpenWaylandKeyboard(std::function<void()> beep = {},
                                               std::shared_ptr<ITextIntake> intake = nullptr);

}  // namespace quenby
