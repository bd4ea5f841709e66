#pragma once

namespace quenby {

// Whether the session bus has a desktop portal that shows file dialogs (its FileChooser answers
// within `timeoutMs`; asking starts the portal where the bus can start it).
bool PortalOffersFileChooser(int timeoutMs);

}  // namespace quenby
