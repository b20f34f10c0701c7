#include "converter.h"

#include <thread>

namespace sonfeld {

void TACSConverter::SetInput(TACSInput* value)
{
    if (value == this)
        return;
    TACSInput* old = Input();
    if (!Busy()) {
        if (old != nullptr)
            old->RemoveFreeNotification(this);
        input_.store(value);
        if (value != nullptr)
            value->FreeNotification(this);
        return;
    }
    if (value != nullptr)
        value->OpenInput();
    while (InputLock.exchange(true))
        std::this_thread::yield();
    input_.store(value);
    InputLock.store(false);
    if (value != nullptr)
        value->FreeNotification(this);
    if (old != nullptr) {
        old->RemoveFreeNotification(this);
        old->CloseInput();
    }
}

void TACSConverter::UnlockInputs()
{
    InputLock.store(false);
    if (auto* next = dynamic_cast<TACSConverter*>(Input()))
        next->UnlockInputs();
}

void TACSConverter::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove && component != nullptr && component == Input())
        input_.store(nullptr);
    TACSInput::Notification(component, operation);
}

} // namespace sonfeld
