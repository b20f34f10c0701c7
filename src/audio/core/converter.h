#pragma once

#include <atomic>

#include "input.h"
#include "spin_lock.h"

namespace sonfeld {

// Base of components that sit between an input and an output: an input
// themselves, reading from another input. A converter's ReadPCM holds its
// InputLock around its own reads from Input, as an output does.
class TACSConverter : public TACSInput {
public:
    using TACSInput::TACSInput;

    TACSInput* Input() const { return input_.load(); }
    // Ignores the converter itself. During a run the new input is opened,
    // swapped in between two reads, and the old one closed.
    virtual void SetInput(TACSInput* value);
    // Clears InputLock along the whole chain of converters.
    void UnlockInputs() override;

protected:
    void Notification(TComponent* component, TOperation operation) override;

    TSpinLock InputLock;

private:
    std::atomic<TACSInput*> input_{nullptr};
};

} // namespace sonfeld
