#pragma once

#include <string>
#include <vector>

namespace sonfeld {

enum class TOperation { opInsert, opRemove };

// Base of every pipeline component: an owner, a name, and the removal notice.
// An owner destroys the components it owns, last created first. When a
// component is destroyed, its owner's other components and every component
// that asked for it through FreeNotification receive
// Notification(component, opRemove) so they drop their references to it.
// Components are created, linked and destroyed on one thread (the UI thread).
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Asks for a removal notice when component is destroyed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    // Sends the removal notice now instead of from this base's destructor. A
    // component that others use while they run (an input) calls it first in
    // its own destructor, while its members are still whole; the notice is
    // sent once.
    void NotifyRemoval();

private:
    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> owned_;
    std::vector<TComponent*> subscribers_; // asked for a notice when this goes
    std::vector<TComponent*> watched_;     // this asked them for a notice
    bool removalNotified_ = false;
};

} // namespace sonfeld
