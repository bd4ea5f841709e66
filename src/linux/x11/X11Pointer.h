#pragma once

#include <memory>

#include "linux/x11/XcbConnection.h"
#include "platform/Pointer.h"

namespace quenby {

// The pointer position on the X screen, through a connection opened at the first question and
// opened again if the server was restarted meanwhile.
class CX11Pointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override;

private:
    std::unique_ptr<CXcbConnection> m_connection;
};

}  // namespace quenby
