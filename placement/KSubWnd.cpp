#include "placement/KSubWnd.h"

#include "platform/controls/Form.h"

// The hook's window procedure, bound to its component. Once the component is gone it passes
// messages straight on to the procedure it replaced, so that a chain that still holds it (a
// later hook that kept it as its own previous procedure) does not reach a dead object.
class TKCustomSubWnd::HookProcedure final : public WindowProcedure {
public:
    explicit HookProcedure(TKCustomSubWnd* owner) : owner_(owner) {}

    std::int32_t Call(HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override
    {
        if (owner_ == nullptr)
            return CallWindowProc(previous_, wnd, msg, wParam, lParam);
        TMessage message{msg, wParam, lParam, 0};
        owner_->WndProc(message);
        return message.Result;
    }

    void Release(WNDPROC previous)
    {
        owner_ = nullptr;
        previous_ = std::move(previous);
    }

private:
    TKCustomSubWnd* owner_;
    WNDPROC previous_;
};

TKCustomSubWnd::TKCustomSubWnd(TComponent* owner) : TComponent(owner)
{
    hookProc_ = std::make_shared<HookProcedure>(this);
}

TKCustomSubWnd::~TKCustomSubWnd()
{
    Unhook();
    static_cast<HookProcedure&>(*hookProc_).Release(prevWndProc_);
    hookProc_.reset();
}

void TKCustomSubWnd::Unhook()
{
    // A window already destroyed took its procedure with it: nothing to put back.
    if (!IsDesigning() && hookedForm_ != nullptr && hookedForm_->HandleAllocated())
        SetWindowProc(hookedForm_->Handle(), prevWndProc_);
}

void TKCustomSubWnd::SetHookedForm(TForm* form)
{
    if (form == hookedForm_)
        return;
    Unhook();
    hookedForm_ = form;
    if (!IsDesigning() && form != nullptr) {
        prevWndProc_ = SetWindowProc(form->Handle(), hookProc_);
        // Told when the form goes, so that a form destroyed before us is not reached again.
        FreeNotification(form);
    }
}

void TKCustomSubWnd::WndProc(TMessage& message)
{
    if (hookedForm_ == nullptr)
        return;
    message.Result = CallWindowProc(prevWndProc_, hookedForm_->Handle(), message.Msg, message.WParam, message.LParam);
}

void TKCustomSubWnd::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove || component == nullptr || component != hookedForm_)
        return;
    // A form on its way out has already destroyed its window; one only taken out of its owner
    // still has it, and gets its procedure back.
    if ((component->ComponentState() & csDestroying) != 0)
        hookedForm_ = nullptr;
    else
        SetHookedForm(nullptr);
}
