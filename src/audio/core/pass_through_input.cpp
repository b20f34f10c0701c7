#include "pass_through_input.h"

#include "acs_exception.h"

namespace sonfeld {

TPassThroughInput::TPassThroughInput(TACSInput* source, TComponent* owner)
    : TACSInput(owner), source_(source)
{
    if (source_ != nullptr)
        source_->FreeNotification(this);
}

void TPassThroughInput::CheckCanOpen() const
{
    if (Busy())
        throw EACSException("The component is buisy");
    if (source_ == nullptr)
        throw EACSException("Input is not assigned");
}

void TPassThroughInput::BeginRun()
{
    size_.store(source_->Size());
    position_.store(0);
    BufStart = 1;
    BufEnd = 0;
    busy_.store(true);
}

int TPassThroughInput::ReadSource(void* buffer, int bufferSize)
{
    if (source_ == nullptr)
        return 0;
    const int count = source_->ReadPCM(buffer, bufferSize);
    if (count > 0)
        position_.fetch_add(count);
    return count;
}

void TPassThroughInput::CloseInput()
{
    if (source_ != nullptr && source_->Busy())
        source_->CloseInput();
    busy_.store(false);
}

void TPassThroughInput::Notification(TComponent* component, TOperation operation)
{
    TACSInput::Notification(component, operation);
    if (operation == TOperation::opRemove && component == source_)
        source_ = nullptr;
}

} // namespace sonfeld
