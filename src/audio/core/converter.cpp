#include "converter.h"

#include <mutex>

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
    {
        const std::lock_guard lock(InputLock);
        input_.store(value);
    }
    if (value != nullptr)
        value->FreeNotification(this);
    if (old != nullptr) {
        old->RemoveFreeNotification(this);
        old->CloseInput();
    }
}

void TACSConverter::UnlockInputs()
{
    InputLock.unlock();
    if (TACSInput* next = Input())
        next->UnlockInputs();
}

void TACSConverter::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove && component != nullptr && component == Input())
        input_.store(nullptr);
    TACSInput::Notification(component, operation);
}

} // namespace sonfeld
