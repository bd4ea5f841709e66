#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/SurrogateJoiner.h"
#include "linux/portal/LayoutKeysyms.h"
#include "linux/portal/RemoteDesktopSession.h"
#include "platform/Keyboard.h"

namespace quenby {

class CPortalBus;

// Sets a whole message into the focused field instead of typing it; true when the field took it.
// Called on the typing thread.
using FocusedTextSetter = std::function<bool(const std::u16string& text)>;

// Keys for one message through a RemoteDesktop portal session, on the thread that types it.
//
// Unicode texts: a character on a key of the user's layout goes as that key (with Shift or AltGr
// as it needs), any other as a keysym (Tab and Return for the control characters), which the
// desktop maps through the user's layout. A character the layout lacks would be dropped by the
// desktop: when the text has any, the whole text is first offered to `setFocusedText`; when that
// is not possible, those characters beep and are skipped. The layout method sends the user's
// keymap's keys by keycode.
class CPortalKeyboardOutput final : public IKeyboardOutput {
public:
    // `layout`: the keysyms of the user's layout, nothing when unknown (then every keysym is
    // sent); `userKeymap`: the same keymap as XKB text, for the keys of both methods.
    CPortalKeyboardOutput(std::shared_ptr<CRemoteDesktopSession> session,
                          std::optional<CLayoutKeysyms> layout, std::string userKeymap,
                          std::function<void()> beep, FocusedTextSetter setFocusedText);
    ~CPortalKeyboardOutput() override;
    CPortalKeyboardOutput(const CPortalKeyboardOutput&) = delete;
    CPortalKeyboardOutput& operator=(const CPortalKeyboardOutput&) = delete;

    void BeginUnicodeText(std::u16string_view text) override;
    void EndUnicodeText() override;
    void SendKey(KeyCode key, bool down) override;
    void SendUnicodeUnit(char16_t unit, bool down) override;
    void PressEnter() override;
    void Beep() override;
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override;
    Status SendStatus() override;

    // The characters of `text` the layout lacks, in text order, each once; empty when the
    // layout is unknown.
    std::u32string MissingCharacters(std::u16string_view text) const;

private:
    bool Typeable(std::uint32_t keysym) const;
    void SendKeysym(std::uint32_t keysym, bool down);
    void ReleaseAll();

    std::shared_ptr<CRemoteDesktopSession> m_session;
    std::optional<CLayoutKeysyms> m_layout;
    std::string m_strUserKeymap;
    std::function<void()> m_beep;
    FocusedTextSetter m_setFocusedText;
    bool m_bTextWasSet = false;  // the current Unicode text went into the field: send nothing
    CSurrogateJoiner m_surrogates;
    std::vector<std::uint32_t> m_keysymsDown;
    std::vector<KeyCode> m_keysDown;
    std::unique_ptr<IKeyboardLayout> m_keys;  // the user's layout's keys, null when unknown
};

// The RemoteDesktop portal's keyboard. One session for the life of the program, started at the
// first message (the desktop asks the user's consent then) and started again only when the
// desktop has closed it. Reads the user's layout afresh for each message.
class CPortalKeyboard final : public IKeyboard {
public:
    // `readUserKeymap`: the user's keymap as XKB text, empty when unknown; `profile` (may be
    // null) keeps the desktop's token for the next session's consent.
    CPortalKeyboard(std::shared_ptr<CPortalBus> bus, std::function<std::string()> readUserKeymap,
                    std::function<void()> beep, FocusedTextSetter setFocusedText,
                    std::shared_ptr<IProfileStore> profile, PortalWaits waits = {});
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;

private:
    std::shared_ptr<CPortalBus> m_bus;
    std::function<std::string()> m_readUserKeymap;
    std::function<void()> m_beep;
    FocusedTextSetter m_setFocusedText;
    std::shared_ptr<IProfileStore> m_profile;
    PortalWaits m_waits;
    std::mutex m_mutex;  // OpenOutput runs on whichever thread types
    std::shared_ptr<CRemoteDesktopSession> m_session;
};

// The keymap the Wayland compositor sends its clients, as XKB text; empty without Wayland.
std::string ReadWaylandUserKeymap();

// Whether the desktop's RemoteDesktop portal is there. Cheap: no session, no consent.
bool RemoteDesktopPortalAvailable();

// The portal keyboard when the desktop offers the RemoteDesktop portal; null otherwise.
// `beep`: the error sound; `setFocusedText`: sets a message into the focused field (may be
// empty: characters the layout lacks then always beep and are skipped).
std::unique_ptr<IKeyboard> OpenPortalKeyboard(std::function<void()> beep,
                                              FocusedTextSetter setFocusedText);

}  // namespace quenby
