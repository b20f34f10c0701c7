#include "input.h"
#include "input_swap.h"

#include <mutex>

namespace sonfeld {

void TACSInput::ForceClose()
{
    try {
        CloseInput();
    } catch (...) {
        // Forcing a close must succeed whatever the source says.
    }
    busy_.store(false);
}

void ReplaceInput(TComponent& reader, std::atomic<TACSInput*>& slot, TSpinLock& lock,
                  TACSInput* value, bool running)
{
    TACSInput* old = slot.load();
    if (!running) {
        if (old != nullptr)
            old->RemoveFreeNotification(&reader);
        slot.store(value);
        if (value != nullptr)
            value->FreeNotification(&reader);
        return;
    }
    if (value != nullptr)
        value->OpenInput();
    {
        const std::lock_guard guard(lock);
        slot.store(value);
    }
    if (value != nullptr)
        value->FreeNotification(&reader);
    if (old != nullptr) {
        old->RemoveFreeNotification(&reader);
        old->CloseInput();
    }
}

} // namespace sonfeld
