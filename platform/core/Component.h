#pragma once

#include "platform/core/Exception.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TComponent;

// A handler bound to its receiver, called with the sender (create, click and tick handlers).
using TNotifyEvent = std::function<void(TComponent* sender)>;

enum class TOperation { opInsert, opRemove };

// The component library's state flags that the game's components look at.
enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csDesigning = 1u << 1,
    csDestroying = 1u << 2,
};

// A component is owned by another: the owner holds it and destroys what it owns last-first in its
// own destructor. Components are created on the heap with their owner (`new T(owner)`); one
// destroyed earlier by hand takes itself out of its owner's list.
class TComponent {
public:
    explicit TComponent(TComponent* owner);
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent();

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    unsigned ComponentState() const { return state_; }
    bool IsLoading() const { return (state_ & csLoading) != 0; }
    bool IsDesigning() const { return (state_ & csDesigning) != 0; }
    void SetDesigning(bool designing);

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(static_cast<std::size_t>(index)).get(); }
    TComponent* FindComponent(const std::string& name) const;

    // Marks the component as being read from a stored layout; Loaded() ends that state.
    void Loading() { state_ |= csLoading; }
    // The end-of-loading notification. Descendants call the base first.
    virtual void Loaded() { state_ &= ~csLoading; }
    // Told when a component this one is linked with comes or goes (its owner's other components,
    // and those registered with FreeNotification).
    virtual void Notification(TComponent* component, TOperation operation);
    // Asks `component` to tell this one when it is destroyed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    // Destroys the owned components last-first. A descendant whose owned components must go
    // before its own members calls this in its destructor; the base destructor calls it anyway.
    void DestroyComponents();

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    unsigned state_ = 0;
    std::vector<std::unique_ptr<TComponent>> components_;
    std::vector<TComponent*> freeNotifies_;
};

// The checked cast of the component library ("as"): throws EInvalidCast when it does not hold.
template <class T>
T& ComponentAs(TComponent* component)
{
    if (auto* cast = dynamic_cast<T*>(component))
        return *cast;
    throw EInvalidCast("無効なｸﾗｽ型ｷｬｽﾄ");
}
