#include "platform/controls/Control.h"

#include "platform/controls/Form.h"
#include "platform/core/Application.h"

#include <algorithm>

namespace {

TControl* captureControl = nullptr;

bool IsButtonDown(std::uint32_t msg)
{
    return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
}

bool IsButtonUp(std::uint32_t msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

bool IsPointerMessage(std::uint32_t msg) { return msg == WM_MOUSEMOVE || IsButtonDown(msg) || IsButtonUp(msg); }

}  // namespace

TControl* CaptureControl() { return captureControl; }
void SetCaptureControl(TControl* control) { captureControl = control; }

TShiftState ShiftFromParam(std::int32_t wParam)
{
    TShiftState shift = 0;
    if (wParam & MK_SHIFT)
        shift |= ssShift;
    if (wParam & MK_CONTROL)
        shift |= ssCtrl;
    if (wParam & MK_LBUTTON)
        shift |= ssLeft;
    if (wParam & MK_RBUTTON)
        shift |= ssRight;
    if (wParam & MK_MBUTTON)
        shift |= ssMiddle;
    return shift;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl()
{
    if (captureControl == this)
        captureControl = nullptr;
    SetParent(nullptr);
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == parent_)
        return;
    Invalidate();
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
    parent_ = parent;
    if (parent_ != nullptr)
        parent_->InsertControl(this);
    Invalidate();
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
}

void TControl::SetVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    VisibleChanged();
    Invalidate();
}

void TControl::SetColor(TColor color)
{
    color_ = color;
    Invalidate();
}

void TControl::SetFont(const TFont& font)
{
    font_ = font;
    Invalidate();
}

bool TControl::Showing() const
{
    for (const TControl* c = this; c != nullptr; c = c->Parent())
        if (!c->Visible())
            return false;
    return true;
}

TForm* TControl::ParentForm() const
{
    const TControl* c = this;
    while (c->Parent() != nullptr)
        c = c->Parent();
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::Invalidate() const
{
    if (TForm* form = ParentForm())
        form->InvalidateWindow();
}

void TControl::MouseInput(std::uint32_t msg, TShiftState shift, int x, int y)
{
    if (msg == WM_MOUSEMOVE) {
        MouseMove(shift, x, y);
        return;
    }
    if (IsButtonDown(msg)) {
        if (captureControl == nullptr)
            captureControl = this;
        return;
    }
    if (IsButtonUp(msg) && captureControl == this) {
        // The capture lasts while any button is held; a click is a left press and release
        // on the same element, released inside it.
        if ((shift & (ssLeft | ssRight | ssMiddle)) == 0)
            captureControl = nullptr;
        if (msg == WM_LBUTTONUP && x >= 0 && y >= 0 && x < width_ && y < height_)
            Click();
    }
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (onMouseMove_)
        onMouseMove_(this, shift, x, y);
}

void TControl::Click()
{
    if (onClick_)
        onClick_(this);
}

void TControl::Paint(DrawList&, int, int, const RECT&) const {}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl()
{
    // Children drawn on this window go with it; they are components of their own owner, which
    // destroys them, so here they only lose their parent.
    while (!controls_.empty())
        controls_.back()->SetParent(nullptr);
    DestroyHandle();
}

HWND TWinControl::Handle()
{
    if (!HandleAllocated())
        CreateWnd();
    return window_.get();
}

void TWinControl::CreateWnd()
{
    NativeWindow* parentWindow = Parent() != nullptr ? Parent()->Handle() : nullptr;
    // Errors raised by handlers stop at the window procedure and go to the error box.
    window_ = std::make_unique<NativeWindow>(MakeObjectInstance([this](TMessage& message) {
                                                 try {
                                                     WndProc(message);
                                                 } catch (const std::exception& error) {
                                                     if (Application != nullptr)
                                                         Application->HandleException(error);
                                                 }
                                             }),
                                             parentWindow);
}

void TWinControl::DestroyHandle()
{
    if (window_ == nullptr)
        return;
    // Whatever happens in WM_DESTROY, the window is gone afterwards. While WM_DESTROY is handled
    // it still exists: Handle() gives it (a hook reads its placement) instead of making another.
    struct Release {
        std::unique_ptr<NativeWindow>& window;
        ~Release() { window.reset(); }
    } release{window_};
    window_->Destroy();
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

TWinControl* TWinControl::WindowedChildAt(int x, int y) const
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        auto* child = dynamic_cast<TWinControl*>(*it);
        if (child != nullptr && child->Visible() && x >= child->Left() && y >= child->Top() &&
            x < child->Left() + child->Width() && y < child->Top() + child->Height())
            return child;
    }
    return nullptr;
}

void TWinControl::Perform(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam)
{
    SendMessage(Handle(), msg, wParam, lParam);
}

void TWinControl::WndProc(TMessage& message)
{
    if (IsPointerMessage(message.Msg))
        RoutePointer(message);
    else if (message.Msg == WM_CANCELMODE && captureControl != nullptr)
        captureControl = nullptr;
}

void TWinControl::RoutePointer(TMessage& message)
{
    int x = ParamX(message.LParam);
    int y = ParamY(message.LParam);
    TShiftState shift = ShiftFromParam(message.WParam);
    TControl* target = this;
    if (captureControl != nullptr && captureControl != this && captureControl->Parent() == this) {
        target = captureControl;
    } else if (captureControl == nullptr) {
        // The last painted shown element under the pointer takes it; one without a handler swallows it.
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
            TControl* c = *it;
            if (dynamic_cast<TWinControl*>(c) == nullptr && c->Visible() && c->Enabled() && x >= c->Left() &&
                y >= c->Top() && x < c->Left() + c->Width() && y < c->Top() + c->Height()) {
                target = c;
                break;
            }
        }
    }
    if (target == this)
        MouseInput(message.Msg, shift, x, y);
    else
        target->MouseInput(message.Msg, shift, x - target->Left(), y - target->Top());
}

void TWinControl::PaintBackground(DrawList& list, int originX, int originY, const RECT& clip) const
{
    AddFill(list, {originX, originY, originX + Width(), originY + Height()}, clip, Color());
}

void TWinControl::Paint(DrawList& list, int originX, int originY, const RECT& clip) const
{
    int x = originX + Left();
    int y = originY + Top();
    RECT mine = IntersectRect(clip, {x, y, x + Width(), y + Height()});
    if (IsRectEmpty(mine))
        return;
    PaintBackground(list, x, y, mine);
    // Windows lie above everything drawn on their parent.
    for (const TControl* c : controls_)
        if (c->Visible() && dynamic_cast<const TWinControl*>(c) == nullptr)
            c->Paint(list, x, y, mine);
    for (const TControl* c : controls_)
        if (c->Visible() && dynamic_cast<const TWinControl*>(c) != nullptr)
            c->Paint(list, x, y, mine);
}
