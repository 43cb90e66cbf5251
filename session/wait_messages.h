#pragma once
// Waiting on the user-interface thread without freezing the window.
#include <cstdint>

namespace kivo {

// Returns once more than `ms` milliseconds have passed, and never before 200 ms; until then
// the thread's main context keeps dispatching its events (drawing, input, timers, calls from
// workers).
void WaitWithMessages(uint32_t ms);

}  // namespace kivo
