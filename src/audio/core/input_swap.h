#pragma once

#include <atomic>

#include "input.h"
#include "spin_lock.h"

namespace sonfeld {

// Makes value the input held in slot for reader (an output or a converter).
// Idle, only the free notifications move. During a run the new input is
// opened first, the swap is made under lock (between two reads), and the old
// input is closed after.
void ReplaceInput(TComponent& reader, std::atomic<TACSInput*>& slot, TSpinLock& lock,
                  TACSInput* value, bool running);

} // namespace sonfeld
