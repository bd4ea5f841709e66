#include "input/AppHelper.h"

#include "input/TextTyper.h"
#include "platform/Keyboard.h"

namespace quenby {

Status CAppHelper::TypeMessage(const std::u16string& text, bool enterBefore, bool enterAfter) {
    Expected<std::unique_ptr<IKeyboardOutput>> output = m_services.m_keyboard.OpenOutput();
    if (!output.ok()) {
        return output.status();
    }
    CTextTyper typer(*output.value(), m_services.m_sleeper, m_services.m_runActive);
    typer.m_uCharDelayMin = m_uCharDelayMin;
    typer.m_uCharDelayMax = m_uCharDelayMax;
    typer.SetKeyInputMethod(m_iKeyInputMethod);
    if (enterBefore) {
        typer.PressEnter();
    }
    // Setting takes no pauses and does not look at the run flag: it is one step. A control can
    // pass the probe and still refuse the text (a slider takes numbers only): the message is
    // then typed, so it is never lost.
    const bool set = m_bSetTextAtCursor && m_textSetter.CanSetTextAt(m_ptRunCursor) &&
                     m_textSetter.SetTextAt(m_ptRunCursor, text);
    if (!set) {
        typer.TypeText(text);
    }
    if (enterAfter) {
        typer.PressEnter();
    }
    return Status::Ok();
}

}  // namespace quenby
