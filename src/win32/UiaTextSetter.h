#pragma once

#include <memory>

#include "platform/TextSetter.h"

struct IUIAutomation;

namespace quenby {

// Set-text through UI Automation: the element at the point must be enabled and have a Value
// pattern that is not read-only; the value is set with SetValue. The connection and transaction
// timeouts bound every call to the target.
class CUiaTextSetter final : public ITextSetter {
public:
    // The automation object, or nothing where UI Automation is not available (Wine) or COM is not
    // initialised on this thread.
    static std::unique_ptr<CUiaTextSetter> Create();
    ~CUiaTextSetter() override;
    CUiaTextSetter(const CUiaTextSetter&) = delete;
    CUiaTextSetter& operator=(const CUiaTextSetter&) = delete;

    bool CanSetTextAt(ScreenPoint point) override;
    bool SetTextAt(ScreenPoint point, const std::u16string& text) override;

private:
    explicit CUiaTextSetter(IUIAutomation* automation) : m_pAutomation(automation) {}

    IUIAutomation* m_pAutomation;
};

}  // namespace quenby
