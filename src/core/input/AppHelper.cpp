#include "input/AppHelper.h"

#include "input/KeyGate.h"
#include "input/TextTyper.h"
#include "platform/FocusWatcher.h"
#include "platform/Keyboard.h"
#include "platform/Timers.h"

namespace quenby {
namespace {

const std::atomic<bool> kNeverStopped{false};

// Wakes the pauses of this message while it is typed, each time the focus moves: the gate then
// looks whether it left the target.
class CWakeOnFocusChange {
public:
    CWakeOnFocusChange(IFocusWatcher* focus, ISleeper& sleeper) : m_focus(focus) {
        if (m_focus != nullptr) {
            m_focus->SetFocusChangeHandler([&sleeper] { sleeper.Wake(); });
        }
    }
    ~CWakeOnFocusChange() {
        if (m_focus != nullptr) {
            m_focus->SetFocusChangeHandler(nullptr);
        }
    }
    CWakeOnFocusChange(const CWakeOnFocusChange&) = delete;
    CWakeOnFocusChange& operator=(const CWakeOnFocusChange&) = delete;

private:
    IFocusWatcher* m_focus;
};

}  // namespace

TypingResult CAppHelper::TypeMessage(const std::u16string& text, bool enterBefore,
                                     bool enterAfter) {
    CKeyGate gate(m_services.m_runActive, m_pStopNow != nullptr ? *m_pStopNow : kNeverStopped,
                  m_services.m_focus, m_bStopOnFocusChange);
    // Nothing, not even Enter before, goes to Quenby's own window.
    if (const ETypingEnd end = gate.Open(); end != ETypingEnd::Completed) {
        return TypingResult{end};
    }
    const CWakeOnFocusChange wake(m_services.m_focus, m_services.m_sleeper);
    return TypeWithGate(gate, text, enterBefore, enterAfter);
}

TypingResult CAppHelper::TypeWithGate(CKeyGate& gate, const std::u16string& text, bool enterBefore,
                                      bool enterAfter) {
    Expected<std::unique_ptr<IKeyboardOutput>> output = m_services.m_keyboard.OpenOutput();
    if (!output.ok()) {
        return TypingResult{ETypingEnd::Failed, output.status()};
    }
    IKeyboardOutput& keys = *output.value();
    // A stop, or the focus leaving the target, ends a wait for the application at once; a run
    // flag that drops the rest of the text does not (Enter after still goes, in its turn).
    keys.SetInterrupt([&gate] { return gate.Check() != ETypingEnd::Completed; });
    CTextTyper typer(keys, m_services.m_sleeper, gate);
    typer.m_uCharDelayMin = m_uCharDelayMin;
    typer.m_uCharDelayMax = m_uCharDelayMax;
    typer.SetKeyInputMethod(m_iKeyInputMethod);
    ETypingEnd end = enterBefore ? typer.PressEnter() : ETypingEnd::Completed;
    if (end == ETypingEnd::Completed) {
        // Setting takes no pauses and does not look at the run flag: it is one step. A control
        // can pass the probe and still refuse the text (a slider takes numbers only): the
        // message is then typed, so it is never lost.
        const bool set = m_bSetTextAtCursor && m_textSetter.CanSetTextAt(m_ptRunCursor) &&
                         m_textSetter.SetTextAt(m_ptRunCursor, text);
        if (!set) {
            end = typer.TypeText(text);
        }
    }
    if (enterAfter && end == ETypingEnd::Completed) {
        end = typer.PressEnter();
    }
    if (end == ETypingEnd::Failed) {
        return TypingResult{end, keys.SendStatus()};
    }
    return TypingResult{end};
}

}  // namespace quenby
