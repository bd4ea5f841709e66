#pragma once

#include <atomic>

namespace quenby {

// True while a typing run is active. Only the typing run sets and clears it; the text typer reads
// it before every character, on the typing thread, so a stop ends the text being typed.
extern std::atomic<bool> g_bTypingRunActive;

}  // namespace quenby
