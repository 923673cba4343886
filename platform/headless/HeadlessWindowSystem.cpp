#include "platform/headless/HeadlessWindowSystem.h"

#include "platform/controls/Form.h"
#include "platform/core/Application.h"
#include "platform/core/UILock.h"

HeadlessWindowSystem::HeadlessWindowSystem() : workAreas_{{0, 0, 1024, 768}} {}

HeadlessWindowSystem::~HeadlessWindowSystem() = default;

std::unique_ptr<WindowHost> HeadlessWindowSystem::CreateHost(NativeWindow&, const WindowParams& params)
{
    return std::make_unique<HeadlessHost>(params);
}

void HeadlessWindowSystem::RunMessageLoop(TApplication& application)
{
    while (!application.Terminated() && !queue_.empty()) {
        auto work = std::move(queue_.front());
        queue_.erase(queue_.begin());
        UIGuard guard;
        work();
    }
}

int HeadlessWindowSystem::MessageBox(const std::string& text, const std::string& caption, unsigned type, bool owned)
{
    boxes_.push_back({text, caption, type, owned});
    if (whileBoxUp_)
        whileBoxUp_();
    return IDOK;
}

TSize HeadlessWindowSystem::MeasureText(const TFont& font, const std::string& text)
{
    int em = font.EmPixels();
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        // Half-width katakana (U+FF61..U+FF9F, EF BD A1..EF BE 9F) are single-byte characters too.
        bool halfWidth = c < 0x80 || (c == 0xEF && i + 1 < text.size() &&
                                      (static_cast<unsigned char>(text[i + 1]) == 0xBD ||
                                       static_cast<unsigned char>(text[i + 1]) == 0xBE));
        width += halfWidth ? (em + 1) / 2 : em;
        i += length;
    }
    return {width, em};
}

HeadlessHost::HeadlessHost(const WindowParams& params) : caption_(params.caption)
{
    placement_.showCmd = SW_SHOWNORMAL;
    placement_.ptMinPosition = {-1, -1};
    placement_.ptMaxPosition = {-1, -1};
    placement_.rcNormalPosition = {params.left, params.top,
                                   params.left + params.clientWidth + 2 * TForm::kFrameBorder,
                                   params.top + params.clientHeight + 2 * TForm::kFrameBorder + TForm::kCaptionHeight};
}

void HeadlessHost::Show(std::uint32_t showCmd)
{
    visible_ = showCmd != SW_HIDE;
    if (visible_)
        state_ = showCmd == SW_SHOWMAXIMIZED                                       ? SW_SHOWMAXIMIZED
                 : (showCmd == SW_SHOWMINIMIZED || showCmd == SW_SHOWMINNOACTIVE) ? SW_SHOWMINIMIZED
                                                                                   : SW_SHOWNORMAL;
}

bool HeadlessHost::GetPlacement(WINDOWPLACEMENT& placement)
{
    placement = placement_;
    placement.length = sizeof(WINDOWPLACEMENT);
    placement.flags = 0;
    placement.showCmd = visible_ ? state_ : (state_ == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    return true;
}

bool HeadlessHost::SetPlacement(const WINDOWPLACEMENT& placement)
{
    placement_ = placement;
    if (placement.showCmd != SW_HIDE)
        Show(placement.showCmd);
    return true;
}

void HeadlessPointer(TForm& form, std::uint32_t msg, int x, int y, std::int32_t buttons)
{
    UIGuard guard;
    form.DispatchPointer(msg, buttons, x, y);
}

void HeadlessClick(TForm& form, int x, int y)
{
    HeadlessPointer(form, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    HeadlessPointer(form, WM_LBUTTONUP, x, y, 0);
}
