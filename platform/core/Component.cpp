#include "platform/core/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner)
{
    if (owner != nullptr)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    state_ |= csDestroying;
    // Those that asked to be told forget us before we go.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& back = other->freeNotifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_ != nullptr)
        owner_->RemoveComponent(this);
}

void TComponent::DestroyComponents()
{
    while (!components_.empty()) {
        // Take it out of the list first, so that its destructor finds nothing to remove.
        TComponent* last = components_.back().release();
        components_.pop_back();
        last->owner_ = nullptr;
        for (auto& sibling : components_)
            sibling->Notification(last, TOperation::opRemove);
        Notification(last, TOperation::opRemove);
        delete last;
    }
}

void TComponent::SetDesigning(bool designing)
{
    state_ = designing ? (state_ | csDesigning) : (state_ & ~csDesigning);
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    for (const auto& c : components_)
        if (c->name_ == name)
            return c.get();
    return nullptr;
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove)
        RemoveFreeNotification(component);
}

void TComponent::FreeNotification(TComponent* component)
{
    if (component == nullptr || component == this)
        return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
        component->freeNotifies_.end())
        component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
}

void TComponent::InsertComponent(TComponent* component)
{
    component->owner_ = this;
    components_.emplace_back(component);
    for (auto& c : components_)
        if (c.get() != component)
            c->Notification(component, TOperation::opInsert);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    auto it = std::find_if(components_.begin(), components_.end(),
                           [component](const auto& p) { return p.get() == component; });
    if (it == components_.end())
        return;
    it->release();
    components_.erase(it);
    component->owner_ = nullptr;
    for (auto& c : components_)
        c->Notification(component, TOperation::opRemove);
    Notification(component, TOperation::opRemove);
}
