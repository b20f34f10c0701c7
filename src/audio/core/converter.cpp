#include "converter.h"

#include "input_swap.h"

namespace sonfeld {

void TACSConverter::SetInput(TACSInput* value)
{
    if (value == this)
        return;
    ReplaceInput(*this, input_, InputLock, value, Busy());
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
