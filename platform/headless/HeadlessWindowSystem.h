#pragma once

#include "platform/window/WindowSystem.h"

#include <functional>
#include <string>
#include <vector>

// A window system without a screen, for deterministic tests: windows are records, message boxes
// are recorded and answered at once, text is measured with fixed advances (half an em for a
// single-byte character, a full em for any other), and the message loop runs queued work.
class HeadlessWindowSystem final : public WindowSystem {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type = 0;
        bool owned = false;
    };

    HeadlessWindowSystem();
    ~HeadlessWindowSystem() override;

    std::unique_ptr<WindowHost> CreateHost(NativeWindow& window, const WindowParams& params) override;
    void RunMessageLoop(TApplication& application) override;
    void Wake() override {}
    int MessageBox(const std::string& text, const std::string& caption, unsigned type, bool owned) override;
    TSize MeasureText(const TFont& font, const std::string& text) override;
    std::vector<RECT> WorkAreas() override { return workAreas_; }

    void SetWorkAreas(std::vector<RECT> areas) { workAreas_ = std::move(areas); }
    const std::vector<Box>& Boxes() const { return boxes_; }
    void ClearBoxes() { boxes_.clear(); }
    // Called (without the UI lock) while a box is "up", as if the user took a while to answer.
    void SetWhileBoxUp(std::function<void()> action) { whileBoxUp_ = std::move(action); }
    // Work for the message loop, run under the UI lock in order.
    void Post(std::function<void()> work) { queue_.push_back(std::move(work)); }

private:
    std::vector<Box> boxes_;
    std::vector<RECT> workAreas_;
    std::vector<std::function<void()>> queue_;
    std::function<void()> whileBoxUp_;
};

// The record behind a headless top-level window.
class HeadlessHost final : public WindowHost {
public:
    explicit HeadlessHost(const WindowParams& params);
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    void Show(std::uint32_t showCmd) override;
    bool Visible() const override { return visible_; }
    bool GetPlacement(WINDOWPLACEMENT& placement) override;
    bool SetPlacement(const WINDOWPLACEMENT& placement) override;
    // A window hidden while minimised is still minimised.
    bool IsIconic() override { return state_ == SW_SHOWMINIMIZED; }
    void Invalidate() override { ++invalidations_; }

    const std::string& Caption() const { return caption_; }
    std::uint32_t ShowState() const { return state_; }
    int Invalidations() const { return invalidations_; }
    RECT NormalRect() const { return placement_.rcNormalPosition; }

private:
    std::string caption_;
    bool visible_ = false;
    std::uint32_t state_ = SW_SHOWNORMAL;
    WINDOWPLACEMENT placement_;
    int invalidations_ = 0;
};

// Sends pointer input to a form as the real window system would, under the UI lock.
void HeadlessPointer(class TForm& form, std::uint32_t msg, int x, int y, std::int32_t buttons = 0);
// A left click at a point: press, then release at the same point.
void HeadlessClick(class TForm& form, int x, int y);
