#include "platform/controls/Form.h"

#include "platform/controls/StdCtrls.h"
#include "platform/core/Application.h"
#include "platform/services/Focus.h"
#include "platform/window/WindowSystem.h"

TForm::TForm(TComponent* owner) : TWinControl(owner)
{
    SetVisible(false);
}

TForm::~TForm() { DestroyForm(); }

void TForm::SetCaption(const std::string& caption)
{
    caption_ = caption;
    if (HandleAllocated() && window_->Host() != nullptr)
        window_->Host()->SetCaption(caption);
}

void TForm::SetClientSize(int width, int height)
{
    clientWidth_ = width;
    clientHeight_ = height;
    SetBounds(Left(), Top(), width + 2 * kFrameBorder, height + 2 * kFrameBorder + kCaptionHeight);
    for (TControl* c : Controls())
        if (auto* panel = dynamic_cast<TPanel*>(c))
            panel->Realign();
}

void TForm::SetWindowState(TWindowState state)
{
    windowState_ = state;
    if (Visible() && HandleAllocated() && window_->Host() != nullptr)
        window_->Host()->Show(state == wsMaximized ? SW_SHOWMAXIMIZED : state == wsMinimized ? SW_SHOWMINIMIZED
                                                                                              : SW_SHOWNORMAL);
}

void TForm::CreateWnd()
{
    TWinControl::CreateWnd();
    WindowParams params;
    params.caption = caption_;
    params.paint = [this](DrawList& list) { PaintClient(list); };
    params.pointer = [this](std::uint32_t msg, std::int32_t wParam, int x, int y) { DispatchPointer(msg, wParam, x, y); };
    params.left = Left();
    params.top = Top();
    params.clientWidth = clientWidth_;
    params.clientHeight = clientHeight_;
    window_->SetHost(CurrentWindowSystem().CreateHost(*window_, params));
}

void TForm::Show() { SetVisible(true); }
void TForm::Hide() { SetVisible(false); }

void TForm::VisibleChanged()
{
    if (Visible()) {
        HWND wnd = Handle();
        if (wnd->Host() != nullptr)
            wnd->Host()->Show(windowState_ == wsMaximized   ? SW_SHOWMAXIMIZED
                              : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                            : SW_SHOWNORMAL);
    } else if (HandleAllocated() && window_->Host() != nullptr) {
        window_->Host()->Show(SW_HIDE);
    }
}

void TForm::Close()
{
    if (Application != nullptr && Application->MainForm() == this)
        Application->Terminate();
    else
        Hide();
}

void TForm::WndProc(TMessage& message)
{
    switch (message.Msg) {
    case WM_CLOSE:
        Close();
        break;
    case WM_ACTIVATE:
        if (Application != nullptr && Application->MainForm() == this)
            SetMainWindowActive(message.WParam != 0);
        break;
    default:
        TWinControl::WndProc(message);
    }
}

void TForm::DispatchPointer(std::uint32_t msg, std::int32_t wParam, int x, int y)
{
    TWinControl* target = this;
    int originX = 0;
    int originY = 0;
    auto originOf = [this](TControl* c, int& ox, int& oy) {
        ox = oy = 0;
        for (; c != nullptr && c != this; c = c->Parent()) {
            ox += c->Left();
            oy += c->Top();
        }
    };
    if (TControl* capture = CaptureControl()) {
        auto* window = dynamic_cast<TWinControl*>(capture);
        target = window != nullptr ? window : capture->Parent();
        if (target == nullptr || target->ParentForm() != this)
            return;
        originOf(target, originX, originY);
    } else {
        while (TWinControl* child = target->WindowedChildAt(x - originX, y - originY)) {
            originX += child->Left();
            originY += child->Top();
            target = child;
        }
    }
    target->Perform(msg, wParam, MakePointParam(x - originX, y - originY));
}

void TForm::PaintClient(DrawList& list) const
{
    RECT client{0, 0, clientWidth_, clientHeight_};
    AddFill(list, client, client, Color());
    for (const TControl* c : Controls())
        if (c->Visible() && dynamic_cast<const TWinControl*>(c) == nullptr)
            c->Paint(list, 0, 0, client);
    for (const TControl* c : Controls())
        if (c->Visible() && dynamic_cast<const TWinControl*>(c) != nullptr)
            c->Paint(list, 0, 0, client);
}

void TForm::InvalidateWindow() const
{
    if (HandleAllocated() && window_->Host() != nullptr)
        window_->Host()->Invalidate();
}

void TForm::BeginLayout()
{
    Loading();
    loadedList_.clear();
    loadedList_.push_back(this);
}

void TForm::EndLayout()
{
    // Taken as a copy: a notification may not add to the list, but must not see it move either.
    std::vector<TComponent*> list = std::move(loadedList_);
    for (TComponent* c : list)
        c->Loaded();
}

void TForm::DoCreate()
{
    if (!onCreate_)
        return;
    try {
        onCreate_(this);
    } catch (const std::exception& error) {
        if (Application != nullptr)
            Application->HandleException(error);
    }
}

void TForm::DestroyForm()
{
    if (destroying_)
        return;
    destroying_ = true;
    SetCaptureControl(nullptr);
    Hide();
    // A save that fails while the window goes (the placement file) is reported, and the
    // shutdown goes on.
    try {
        DestroyHandle();
    } catch (const std::exception& error) {
        if (Application != nullptr)
            Application->HandleException(error);
    }
    // The visual elements first, each window together with its own elements, then the rest
    // last-first.
    auto destroyControl = [](TControl* control) {
        if (auto* window = dynamic_cast<TWinControl*>(control))
            while (!window->Controls().empty())
                delete window->Controls().back();
        delete control;
    };
    while (!Controls().empty())
        destroyControl(Controls().back());
    DestroyComponents();
}
