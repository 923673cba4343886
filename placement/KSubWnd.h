#pragma once

#include "platform/core/Component.h"
#include "platform/window/NativeWindow.h"

#include <memory>

class TForm;

// A component that places itself in front of a form's window procedure: every message to the
// form's window passes through WndProc first and then goes on to the procedure that was there
// before. Used through descendants, which override WndProc and call the base.
class TKCustomSubWnd : public TComponent {
public:
    explicit TKCustomSubWnd(TComponent* owner);
    ~TKCustomSubWnd() override;

    TForm* HookedForm() const { return hookedForm_; }
    const WNDPROC& HookProc() const { return hookProc_; }
    const WNDPROC& PrevWndProc() const { return prevWndProc_; }

    void Notification(TComponent* component, TOperation operation) override;

protected:
    // Moves the hook: puts the old form's procedure back, then hooks the new form, creating its
    // window if it has none yet. Nothing is replaced in design mode.
    void SetHookedForm(TForm* form);
    // Hands the message on to the previous procedure and keeps its result.
    virtual void WndProc(TMessage& message);

private:
    class HookProcedure;
    void Unhook();

    TForm* hookedForm_ = nullptr;
    WNDPROC hookProc_;
    WNDPROC prevWndProc_;
};
