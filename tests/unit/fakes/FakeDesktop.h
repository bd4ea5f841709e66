#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/FocusWatcher.h"
#include "platform/GlobalShortcut.h"
#include "platform/MessageTypist.h"
#include "platform/Pointer.h"
#include "platform/ShellActions.h"
#include "platform/StopKey.h"
#include "platform/TextSetter.h"

namespace quenby::test {

// Controls on a fake screen: points where text can be set, and what each was set to.
struct FakeScreen {
    std::map<std::pair<int, int>, bool> m_settable;  // point -> takes text
    bool m_bFocusedFieldSettable = false;            // the field with the keyboard focus
    std::vector<std::pair<ScreenPoint, std::u16string>> m_sets;
    int m_iProbes = 0;
    int m_iSetters = 0;  // accessibility connections made
    bool m_bRefuseConnection = false;
    bool m_bRefuseSets = false;  // the probe passes, the set fails (a slider given words)
    // Told of every text set, to put it in order with the keys typed around it.
    std::function<void(const std::u16string&)> m_onSet;
};

class CFakeTextSetter final : public ITextSetter {
public:
    explicit CFakeTextSetter(FakeScreen& screen) : m_screen(screen) {}
    bool CanSetTextAt(ScreenPoint point) override {
        ++m_screen.m_iProbes;
        if (point.m_bFocusedField) {
            return m_screen.m_bFocusedFieldSettable;
        }
        auto it = m_screen.m_settable.find({point.m_x, point.m_y});
        return it != m_screen.m_settable.end() && it->second;
    }
    bool SetTextAt(ScreenPoint point, const std::u16string& text) override {
        if (!CanSetTextAt(point) || m_screen.m_bRefuseSets) {
            return false;
        }
        m_screen.m_sets.emplace_back(point, text);
        if (m_screen.m_onSet) {
            m_screen.m_onSet(text);
        }
        return true;
    }

private:
    FakeScreen& m_screen;
};

class CFakeTextSetterFactory final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override {
        if (m_screen.m_bRefuseConnection) {
            return nullptr;
        }
        ++m_screen.m_iSetters;
        return std::make_unique<CFakeTextSetter>(m_screen);
    }
    FakeScreen m_screen;
};

class CFakePointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override { return m_position; }
    std::optional<ScreenPoint> m_position = ScreenPoint{10, 20};
};

// Holds the registered combination; one in m_taken is refused, as when another program holds it.
class CFakeGlobalShortcut final : public IGlobalShortcut {
public:
    bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) override {
        if (m_taken.count({virtualKey, modifiers}) != 0) {
            return false;
        }
        m_registered = {virtualKey, modifiers};
        return true;
    }
    void UnregisterHotKey() override { m_registered.reset(); }
    std::optional<std::pair<std::uint16_t, std::uint16_t>> m_registered;
    std::map<std::pair<std::uint16_t, std::uint16_t>, bool> m_taken;
};

class CFakeShellActions final : public IShellActions {
public:
    void OpenWebAddress(std::string_view address) override { m_opened.emplace_back(address); }
    bool ShowFileInFolder(const std::filesystem::path& file) override {
        m_shown.push_back(file);
        return m_bFileExists;
    }
    std::vector<std::string> m_opened;
    std::vector<std::filesystem::path> m_shown;
    bool m_bFileExists = true;
};

// The focus as the test moves it: window 1 (the target) until told otherwise.
class CFakeFocusWatcher final : public IFocusWatcher {
public:
    std::optional<FocusedWindow> GetFocusedWindow() override { return m_focused; }
    void SetFocusChangeHandler(std::function<void()> onChange) override {
        m_onChange = std::move(onChange);
    }
    void MoveFocus(std::optional<FocusedWindow> to) {
        m_focused = to;
        if (m_onChange) {
            m_onChange();
        }
    }
    std::optional<FocusedWindow> m_focused = FocusedWindow{1, false};
    std::function<void()> m_onChange;
};

// Esc for the run: "take" and "release" in order; refused while m_bRefuse.
class CFakeStopKey final : public IStopKey {
public:
    bool Take() override {
        m_calls.emplace_back(m_bRefuse ? "refused" : "take");
        return !m_bRefuse;
    }
    void Release() override { m_calls.emplace_back("release"); }
    std::vector<std::string> m_calls;
    bool m_bRefuse = false;
};

// Holds each job until the test finishes it, as a typing thread still at work would.
class CManualTypist final : public IMessageTypist {
public:
    void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) override {
        m_jobs.push_back(std::move(job));
        m_pending = std::move(done);
    }
    void StopNow() override {}
    bool Busy() const { return static_cast<bool>(m_pending); }
    void Finish(TypingResult result = {}) {
        auto done = std::move(m_pending);
        m_pending = nullptr;
        done(result);
    }
    std::vector<TypingJob> m_jobs;

private:
    std::function<void(TypingResult)> m_pending;
};

}  // namespace quenby::test
