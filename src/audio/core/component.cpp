#include "component.h"

#include <algorithm>

namespace sonfeld {

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_ != nullptr) {
        owner_->owned_.push_back(this);
        for (TComponent* sibling : owner_->owned_)
            if (sibling != this)
                sibling->Notification(this, TOperation::opInsert);
    }
}

TComponent::~TComponent()
{
    while (!owned_.empty()) {
        TComponent* last = owned_.back();
        delete last; // its destructor takes it off owned_
    }
    NotifyRemoval();
    if (owner_ != nullptr)
        Erase(owner_->owned_, this);
}

void TComponent::NotifyRemoval()
{
    if (removalNotified_)
        return;
    removalNotified_ = true;
    std::vector<TComponent*> told;
    if (owner_ != nullptr)
        for (TComponent* sibling : owner_->owned_)
            if (sibling != this) {
                sibling->Notification(this, TOperation::opRemove);
                told.push_back(sibling);
            }
    for (TComponent* subscriber : std::vector<TComponent*>(subscribers_)) {
        Erase(subscriber->watched_, this);
        if (std::find(told.begin(), told.end(), subscriber) == told.end())
            subscriber->Notification(this, TOperation::opRemove);
    }
    subscribers_.clear();
    for (TComponent* other : watched_)
        Erase(other->subscribers_, this);
    watched_.clear();
}

void TComponent::FreeNotification(TComponent* component)
{
    if (component == nullptr || component == this)
        return;
    if (std::find(subscribers_.begin(), subscribers_.end(), component) == subscribers_.end()) {
        subscribers_.push_back(component);
        component->watched_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (component == nullptr)
        return;
    Erase(subscribers_, component);
    Erase(component->watched_, this);
}

void TComponent::Notification(TComponent* /*component*/, TOperation /*operation*/)
{
}

} // namespace sonfeld
