#include "input/TextSetter.h"

namespace quenby {

bool CTextSetter::EnsureAutomation() {
    if (!m_pAutomation) {
        m_pAutomation = m_factory.CreateTextSetter();
    }
    return m_pAutomation != nullptr;
}

bool CTextSetter::CanSetTextAt(ScreenPoint point) {
    return EnsureAutomation() && m_pAutomation->CanSetTextAt(point);
}

bool CTextSetter::SetTextAt(ScreenPoint point, const std::u16string& text) {
    return EnsureAutomation() && m_pAutomation->SetTextAt(point, text);
}

}  // namespace quenby
