#pragma once

#include <memory>
#include <string>

#include "platform/TextSetter.h"

namespace quenby {

// Probes and sets the control under a screen point. Its accessibility connection is made at the
// first use (and tried again after a failure), so an owner that never asks never makes one.
class CTextSetter {
public:
    explicit CTextSetter(ITextSetterFactory& factory) : m_factory(factory) {}

    bool CanSetTextAt(ScreenPoint point);
    bool SetTextAt(ScreenPoint point, const std::u16string& text);

private:
    bool EnsureAutomation();

    ITextSetterFactory& m_factory;
    std::unique_ptr<ITextSetter> m_pAutomation;
};

}  // namespace quenby
