#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenby {

class CMessageEditorPresenter;
class CSettingsPresenter;

enum class EMessageIcon { Information, Question, Warning, Error };
enum class EMessageButtons { Ok, YesNo, YesNoCancel };
enum class EMessageResult { Ok, Yes, No, Cancel };

// The file dialogs: which files they offer ("Quenby Unencrypted Data Files" *.quenbydata, or
// "Simple Text Files" *.txt) and whether they save or open.
enum class EFileDialog { SaveDataFile, LoadDataFile, AppendTextFile };

// A key combination as the shortcut capture control shows it.
struct HotKeyCapture {
    std::uint16_t m_wVirtualKey = 0;  // Windows virtual-key code; 0: empty
    bool m_bControl = false;
    bool m_bAlt = false;
    bool m_bShift = false;
    bool m_bSuper = false;        // the Windows / Super key
    bool m_bExtendedKey = false;  // the key is one of the separate navigation keys
    friend bool operator==(const HotKeyCapture&, const HotKeyCapture&) = default;
};

// What the main window's behaviour needs from the window that shows it. Everything is called on
// the UI thread; the dialogs and message boxes are modal.
class IMainView {
public:
    virtual ~IMainView() = default;

    // A message box owned by the main window, with the application title as its caption.
    virtual EMessageResult ShowMessage(std::u16string_view text, EMessageIcon icon,
                                       EMessageButtons buttons) = 0;
    // An information notice with a box to stop it for good; true when the user ticked the box.
    virtual bool ShowSuppressibleNotice(std::u16string_view text) = 0;
    // A modal file dialog; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFile(EFileDialog kind) = 0;
    // The about box.
    virtual void ShowAboutBox() = 0;
    // Runs the message editor modally; true when it closed with OK.
    virtual bool RunMessageEditor(CMessageEditorPresenter& editor) = 0;
    // Runs the settings dialog modally.
    virtual void RunSettingsDialog(CSettingsPresenter& settings) = 0;

    // A notice about how a run ended, shown without taking the keyboard focus where the shell
    // can (the tray icon's balloon, a desktop notification); a message box otherwise.
    virtual void ShowRunNotice(std::u16string_view text) {
        ShowMessage(text, EMessageIcon::Information, EMessageButtons::Ok);
    }

    virtual void SetCaption(std::u16string_view caption) = 0;
    // Shows the running or the idle icon, on the window and in the notification area.
    virtual void SetRunIcon(bool running) = 0;

    // The rows of the list changed: show them again.
    virtual void RefreshList() = 0;
    virtual std::optional<std::size_t> GetSelectedRow() = 0;
    virtual void ClearSelection() = 0;
    virtual int GetColumnWidth(int column) = 0;
    virtual void SetColumnWidth(int column, int width) = 0;
    // The width a column starts with while the user never set one: the given default (in
    // pixels of the classic 8-point dialog font), widened as far as the heading needs.
    virtual int FitDefaultColumnWidth(int column, int defaultWidth) = 0;

    // The count box, as text, and the "Random Order" box.
    virtual std::u16string GetCountText() = 0;
    virtual void SetCountText(std::u16string_view text) = 0;
    virtual bool GetRandomOrderCheck() = 0;
    virtual void SetRandomOrderCheck(bool checked) = 0;
    // The shortcut capture control.
    virtual HotKeyCapture GetHotKeyControl() = 0;
    virtual void SetHotKeyControl(const HotKeyCapture& hotKey) = 0;
    // A line by the shortcut control saying how start/stop is bound; empty: none.
    virtual void SetHotKeyHint(std::u16string_view hint) = 0;

    // The window's position, size and state, in the shell's own form; one that cannot be applied
    // is ignored.
    virtual std::vector<std::uint8_t> GetPlacement() = 0;
    virtual void ApplyPlacement(const std::vector<std::uint8_t>& placement) = 0;
    virtual bool IsMinimized() = 0;
    // Hides to the notification area (or minimises, where there is none).
    virtual void HideToTray() = 0;
    // Shows, restores and activates the window.
    virtual void RestoreWindow() = 0;
    // Puts an image of the main window on the clipboard.
    virtual void CopyWindowImageToClipboard() = 0;
    // Destroys the window; the program ends.
    virtual void DestroyWindow() = 0;
};

}  // namespace quenby
