#pragma once

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainView.h"
#include "app/MessageEditorPresenter.h"
#include "app/SettingsPresenter.h"
#include "engine/WideText.h"

namespace quenby::test {

struct ShownMessage {
    std::u16string m_strText;
    EMessageIcon m_icon;
    EMessageButtons m_buttons;
};

// The main window as the controller sees it: records what it was asked to show, and answers from
// scripts the test sets up (message box answers, chosen files, what the user does in the editor).
class CFakeMainView final : public IMainView {
public:
    EMessageResult ShowMessage(std::u16string_view text, EMessageIcon icon,
                               EMessageButtons buttons) override {
        WhileOpen();
        m_messages.push_back({std::u16string(text), icon, buttons});
        return buttons == EMessageButtons::Ok ? EMessageResult::Ok
                                              : Next(m_answers, EMessageResult::Cancel);
    }
    bool ShowSuppressibleNotice(std::u16string_view text) override {
        WhileOpen();
        m_notices.emplace_back(text);
        return m_bSuppressNotices;
    }
    std::optional<std::filesystem::path> ChooseFile(EFileDialog) override {
        WhileOpen();
        return Next(m_files, std::optional<std::filesystem::path>());
    }
    void ShowAboutBox() override { WhileOpen(); }
    bool RunMessageEditor(CMessageEditorPresenter& editor) override {
        WhileOpen();
        m_editorCaptions.push_back(editor.Caption());
        return m_editorScript && m_editorScript(editor);
    }
    void RunSettingsDialog(CSettingsPresenter&) override {
        WhileOpen();
        ++m_iSettingsRuns;
    }
    void ShowRunNotice(std::u16string_view text) override { m_runNotices.emplace_back(text); }
    void SetCaption(std::u16string_view caption) override { m_strCaption = caption; }
    void SetRunIcon(bool running) override { m_runIcons.push_back(running); }
    void RefreshList() override {}
    std::optional<std::size_t> GetSelectedRow() override { return m_selected; }
    void ClearSelection() override { m_selected.reset(); }
    int GetColumnWidth(int column) override {
        return m_columnWidths[static_cast<std::size_t>(column)];
    }
    void SetColumnWidth(int column, int width) override {
        m_columnWidths[static_cast<std::size_t>(column)] = width;
    }
    // Headings as wide as m_iHeadingWidth.
    int FitDefaultColumnWidth(int, int defaultWidth) override {
        return std::max(defaultWidth, m_iHeadingWidth);
    }
    std::u16string GetCountText() override { return m_strCount; }
    void SetCountText(std::u16string_view text) override { m_strCount = text; }
    bool GetRandomOrderCheck() override { return m_bRandomOrder; }
    void SetRandomOrderCheck(bool checked) override { m_bRandomOrder = checked; }
    HotKeyCapture GetHotKeyControl() override { return m_hotKey; }
    void SetHotKeyControl(const HotKeyCapture& hotKey) override { m_hotKey = hotKey; }
    void SetHotKeyHint(std::u16string_view hint) override { m_strHotKeyHint = hint; }
    std::vector<std::uint8_t> GetPlacement() override { return m_placement; }
    void ApplyPlacement(const std::vector<std::uint8_t>& placement) override {
        m_appliedPlacements.push_back(placement);
    }
    bool IsMinimized() override { return m_bMinimized; }
    void HideToTray() override { m_bHidden = true; }
    void RestoreWindow() override { m_bHidden = false; }
    void CopyWindowImageToClipboard() override { ++m_iClipboardCopies; }
    void DestroyWindow() override { m_bDestroyed = true; }

    // Texts of the message boxes shown so far, for compact checks.
    std::vector<std::u16string_view> MessageTexts() const {
        std::vector<std::u16string_view> texts;
        for (const ShownMessage& m : m_messages) {
            texts.push_back(m.m_strText);
        }
        return texts;
    }

    // Scripts.
    std::deque<EMessageResult> m_answers;
    std::deque<std::filesystem::path> m_files;
    std::function<bool(CMessageEditorPresenter&)> m_editorScript;
    bool m_bSuppressNotices = false;
    // Runs once while the next dialog or message box is open, as events from outside would.
    std::function<void()> m_whileOpen;
    std::optional<std::size_t> m_selected;
    bool m_bMinimized = false;
    std::vector<std::uint8_t> m_placement{1, 2, 3, 4};
    int m_iHeadingWidth = 0;

    // Records.
    std::vector<ShownMessage> m_messages;
    std::vector<std::u16string> m_notices;
    std::vector<std::u16string> m_runNotices;
    std::vector<std::u16string> m_editorCaptions;
    std::vector<bool> m_runIcons;
    std::vector<std::vector<std::uint8_t>> m_appliedPlacements;
    std::array<int, 7> m_columnWidths{};
    std::u16string m_strCaption;
    std::u16string m_strCount;
    bool m_bRandomOrder = false;
    HotKeyCapture m_hotKey;
    std::u16string m_strHotKeyHint;
    int m_iSettingsRuns = 0;
    int m_iClipboardCopies = 0;
    bool m_bHidden = false;
    bool m_bDestroyed = false;

private:
    void WhileOpen() {
        if (std::function<void()> events = std::exchange(m_whileOpen, nullptr)) {
            events();
        }
    }
    // The next scripted answer, or what the user does when no answer is left.
    template <typename T, typename Otherwise>
    static Otherwise Next(std::deque<T>& script, Otherwise otherwise) {
        if (!script.empty()) {
            otherwise = script.front();
            script.pop_front();
        }
        return otherwise;
    }
};

// An editor script that types these values into the fields and presses OK until accepted.
inline std::function<bool(CMessageEditorPresenter&)> EditorEnters(MessageEditorFields fields) {
    return [fields](CMessageEditorPresenter& editor) {
        editor.OnInitDialog();
        return editor.OnOK(fields).m_bAccepted;
    };
}

inline MessageEditorFields Fields(std::u16string text, int seconds = 0, int milliSeconds = 0,
                                  bool before = true, bool after = true, unsigned pcMin = 20,
                                  unsigned pcMax = 60) {
    return {std::move(text),
            FormatSigned(seconds),
            FormatSigned(milliSeconds),
            FormatUnsigned(pcMin),
            FormatUnsigned(pcMax),
            before,
            after};
}

}  // namespace quenby::test
