#include "engine/RunFlag.h"

namespace quenby {

std::atomic<bool> g_bTypingRunActive{false};

}  // namespace quenby
