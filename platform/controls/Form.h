#pragma once

#include "platform/controls/Control.h"

#include <string>
#include <type_traits>
#include <vector>

enum TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// A top-level window. Its Left and Top are the outer frame's position on the screen, its Width
// the outer width (client plus the fixed single frame); the elements lie in its client area.
class TForm : public TWinControl {
public:
    // The fixed single frame's border as the design counts it, per side.
    static constexpr int kFrameBorder = 3;
    static constexpr int kCaptionHeight = 19;

    explicit TForm(TComponent* owner);
    ~TForm() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void SetClientSize(int width, int height);
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState state);

    const TNotifyEvent& OnCreate() const { return onCreate_; }
    void SetOnCreate(TNotifyEvent handler) { onCreate_ = std::move(handler); }

    void Show();
    void Hide();
    // Asks the application to end when this is its main form.
    void Close();

    // The window thread's entry for pointer input over the client area (client coordinates):
    // picks the window under the pointer, or the one that holds the capture, and sends it there.
    void DispatchPointer(std::uint32_t msg, std::int32_t wParam, int x, int y);
    // What the client area looks like now; called under the UI lock.
    void PaintClient(DrawList& list) const;
    void InvalidateWindow() const;

    void WndProc(TMessage& message) override;

protected:
    void CreateWnd() override;
    void VisibleChanged() override;

    // Reading the stored layout: elements are made in layout order, each added to the
    // end-of-loading list after its own properties and elements; the form heads that list.
    void BeginLayout();
    template <class T, class Props>
    T* ReadElement(TWinControl* parent, const char* name, Props&& props)
    {
        auto* element = new T(this);
        element->Loading();
        element->SetName(name);
        if constexpr (std::is_base_of_v<TControl, T>) {
            if (parent != nullptr)
                element->SetParent(parent);
        }
        props(*element);
        loadedList_.push_back(element);
        return element;
    }
    template <class T, class Props>
    T* ReadComponent(const char* name, Props&& props)
    {
        return ReadElement<T>(nullptr, name, std::forward<Props>(props));
    }
    // The end-of-loading notifications in list order, then the form leaves its creating state.
    void EndLayout();
    // Runs the create handler; an error that leaves it goes to the error box.
    void DoCreate();
    // Hides, destroys the window, then the visual elements, then the other components last-first.
    void DestroyForm();

private:
    std::string caption_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    TWindowState windowState_ = wsNormal;
    TNotifyEvent onCreate_;
    std::vector<TComponent*> loadedList_;
    bool destroying_ = false;
};
