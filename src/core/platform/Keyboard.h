#pragma once

#include <memory>

#include "engine/Outcome.h"
#include "platform/KeyboardOutput.h"

namespace quenby {

// Opens keyboard output for one message.
class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    // A new output, or why keys cannot be sent (for example the display went away).
    virtual Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() = 0;
};

}  // namespace quenby
