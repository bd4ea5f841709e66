#pragma once

#include <functional>
#include <utility>

#include "app/MainView.h"

namespace quenby {

// The main window's view as the controller uses it: it passes every call on, and counts the
// dialogs and message boxes open through it. A modal window runs its own event loop, so requests
// from outside (another start of the program) can arrive while the command that opened it still
// holds the list; the count tells the controller to let them wait.
class CModalTrackingView final : public IMainView {
public:
    // `onAllClosed` runs whenever the last open modal window has closed.
    CModalTrackingView(IMainView& view, std::function<void()> onAllClosed)
        : m_view(view), m_onAllClosed(std::move(onAllClosed)) {}

    bool AnyModalOpen() const { return m_iOpen > 0; }

    EMessageResult ShowMessage(std::u16string_view text, EMessageIcon icon,
                               EMessageButtons buttons) override;
    bool ShowSuppressibleNotice(std::u16string_view text) override;
    std::optional<std::filesystem::path> ChooseFile(EFileDialog kind) override;
    void ShowAboutBox() override;
    bool RunMessageEditor(CMessageEditorPresenter& editor) override;
    void RunSettingsDialog(CSettingsPresenter& settings) override;

    void SetCaption(std::u16string_view caption) override { m_view.SetCaption(caption); }
    void SetRunIcon(bool running) override { m_view.SetRunIcon(running); }
    // Not counted: a run notice asks for no answer, and a shell shows it without a modal loop.
    void ShowRunNotice(std::u16string_view text) override { m_view.ShowRunNotice(text); }
    void RefreshList() override { m_view.RefreshList(); }
    std::optional<std::size_t> GetSelectedRow() override { return m_view.GetSelectedRow(); }
    void ClearSelection() override { m_view.ClearSelection(); }
    int GetColumnWidth(int column) override { return m_view.GetColumnWidth(column); }
    void SetColumnWidth(int column, int width) override { m_view.SetColumnWidth(column, width); }
    int FitDefaultColumnWidth(int column, int defaultWidth) override {
        return m_view.FitDefaultColumnWidth(column, defaultWidth);
    }
    std::u16string GetCountText() override { return m_view.GetCountText(); }
    void SetCountText(std::u16string_view text) override { m_view.SetCountText(text); }
    bool GetRandomOrderCheck() override { return m_view.GetRandomOrderCheck(); }
    void SetRandomOrderCheck(bool checked) override { m_view.SetRandomOrderCheck(checked); }
    HotKeyCapture GetHotKeyControl() override { return m_view.GetHotKeyControl(); }
    void SetHotKeyControl(const HotKeyCapture& hotKey) override { m_view.SetHotKeyControl(hotKey); }
    void SetHotKeyHint(std::u16string_view hint) override { m_view.SetHotKeyHint(hint); }
    std::vector<std::uint8_t> GetPlacement() override { return m_view.GetPlacement(); }
    void ApplyPlacement(const std::vector<std::uint8_t>& placement) override {
        m_view.ApplyPlacement(placement);
    }
    bool IsMinimized() override { return m_view.IsMinimized(); }
    void HideToTray() override { m_view.HideToTray(); }
    void RestoreWindow() override { m_view.RestoreWindow(); }
    void CopyWindowImageToClipboard() override { m_view.CopyWindowImageToClipboard(); }
    void DestroyWindow() override { m_view.DestroyWindow(); }

private:
    // Counts one modal window while it is open, also when its call ends by an exception.
    class COpen {
    public:
        explicit COpen(CModalTrackingView& owner) : m_owner(owner) { ++m_owner.m_iOpen; }
        ~COpen();
        COpen(const COpen&) = delete;
        COpen& operator=(const COpen&) = delete;

    private:
        CModalTrackingView& m_owner;
    };

    IMainView& m_view;
    std::function<void()> m_onAllClosed;
    int m_iOpen = 0;
};

}  // namespace quenby
