#pragma once

#include "platform/TextSetter.h"

namespace quenby {

// UI Automation where it exists, Active Accessibility where it does not (Wine), chosen each
// time a setter is made: on the thread that will use it, which must have initialised COM.
class CWin32TextSetterFactory final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override;
};

}  // namespace quenby
