#include "input.h"

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

} // namespace sonfeld
