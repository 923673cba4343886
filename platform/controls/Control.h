#pragma once

#include "platform/controls/Graphics.h"
#include "platform/core/Component.h"
#include "platform/window/NativeWindow.h"

#include <functional>
#include <memory>
#include <vector>

class TWinControl;
class TForm;

enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;

// A visual element: a box in its parent's client coordinates, visibility, and the pointer events
// it raises. Elements without a window of their own are drawn on their parent and get their
// pointer events routed there.
class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    const TFont& Font() const { return font_; }
    virtual void SetFont(const TFont& font);

    const TMouseMoveEvent& OnMouseMove() const { return onMouseMove_; }
    void SetOnMouseMove(TMouseMoveEvent handler) { onMouseMove_ = std::move(handler); }
    const TNotifyEvent& OnClick() const { return onClick_; }
    void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }

    // Shown here and in every container up to the form.
    bool Showing() const;
    // Marks what this element shows as changed; the window thread repaints.
    void Invalidate() const;
    TForm* ParentForm() const;

    // Pointer input in this element's own client coordinates, already routed here.
    void MouseInput(std::uint32_t msg, TShiftState shift, int x, int y);

    // Appends what the element looks like, in its parent's client coordinates, clipped.
    virtual void Paint(DrawList& list, int originX, int originY, const RECT& clip) const;

protected:
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Click();
    virtual void VisibleChanged() {}

private:
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clBtnFace;
    TFont font_;
    TMouseMoveEvent onMouseMove_;
    TNotifyEvent onClick_;
};

// The element that holds the pointer while a button is down, if any.
TControl* CaptureControl();
void SetCaptureControl(TControl* control);

// An element with a native window of its own (forms and panels). Its window procedure routes
// pointer messages to the elements drawn on it.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The native window, made when first asked for.
    HWND Handle();
    bool HandleAllocated() const { return window_ != nullptr && !window_->Destroyed(); }
    void DestroyHandle();

    // Children in stacking order, first painted first.
    const std::vector<TControl*>& Controls() const { return controls_; }
    // The topmost shown windowed child under a point of this client area, or null.
    TWinControl* WindowedChildAt(int x, int y) const;
    // Sends a pointer message to this window, in its client coordinates.
    void Perform(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam);

    void Paint(DrawList& list, int originX, int originY, const RECT& clip) const override;

    // The default window procedure of this control.
    virtual void WndProc(TMessage& message);

protected:
    virtual void CreateWnd();
    // Paints this control's own background; children come after.
    virtual void PaintBackground(DrawList& list, int originX, int originY, const RECT& clip) const;
    std::unique_ptr<NativeWindow> window_;

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void RoutePointer(TMessage& message);

    std::vector<TControl*> controls_;
};

TShiftState ShiftFromParam(std::int32_t wParam);
