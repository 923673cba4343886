#include "platform/core/Application.h"

#include "platform/controls/Form.h"
#include "platform/core/UILock.h"
#include "platform/window/WindowSystem.h"

#include <cxxabi.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

TApplication* Application = nullptr;

namespace {

// The application's own window is never shown; asked whether it is minimised, it answers for
// the main form, which is what a minimised application means here.
class ApplicationHost final : public WindowHost {
public:
    explicit ApplicationHost(const TApplication& app) : app_(app) {}
    void SetCaption(const std::string&) override {}
    void Show(std::uint32_t) override {}
    bool Visible() const override { return false; }
    bool GetPlacement(WINDOWPLACEMENT&) override { return false; }
    bool SetPlacement(const WINDOWPLACEMENT&) override { return false; }
    bool IsIconic() override
    {
        TForm* form = app_.MainForm();
        return form != nullptr && form->HandleAllocated() && ::IsIconic(form->Handle());
    }
    void Invalidate() override {}

private:
    const TApplication& app_;
};

}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner)
{
    window_ = std::make_unique<NativeWindow>(MakeObjectInstance([](TMessage&) {}), nullptr);
    window_->SetHost(std::make_unique<ApplicationHost>(*this));
}

TApplication::~TApplication()
{
    DestroyComponents();
    window_.reset();
}

std::string TApplication::ExeName() const
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return std::string(path, static_cast<std::size_t>(n));
}

void TApplication::Run()
{
    if (mainForm_ == nullptr)
        return;
    {
        UIGuard guard;
        mainForm_->Show();
    }
    if (!Terminated())
        CurrentWindowSystem().RunMessageLoop(*this);
}

void TApplication::Terminate()
{
    terminated_.store(true);
    if (HasWindowSystem())
        CurrentWindowSystem().Wake();
}

void TApplication::HandleException(const std::exception& error)
{
    if (TControl* capture = CaptureControl()) {
        auto* window = dynamic_cast<TWinControl*>(capture);
        if (window == nullptr)
            window = capture->Parent();
        SetCaptureControl(nullptr);
        if (window != nullptr && window->HandleAllocated())
            SendMessage(window->Handle(), WM_CANCELMODE);
    }
    ShowException(error);
}

void TApplication::ShowException(const std::exception& error)
{
    std::string text = ErrorBoxText(error.what());
    if (!HasWindowSystem()) {
        std::fprintf(stderr, "%s: %s\n", title_.c_str(), text.c_str());
        return;
    }
    // Ticks go on while the box waits for the user.
    UIUnguard unguard;
    CurrentWindowSystem().MessageBox(text, title_, MB_OK | MB_ICONSTOP, true);
}

std::string TApplication::ErrorBoxText(const std::string& message)
{
    if (message.empty())
        return message;
    auto last = static_cast<unsigned char>(message.back());
    if (last > 0x2E)  // a letter, or the last byte of a multi-byte character
        return message + ".";
    return message;
}

std::string ErrorClassName(const std::exception& error)
{
    if (auto* e = dynamic_cast<const Exception*>(&error))
        return e->ClassName();
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : typeid(error).name();
    std::free(demangled);
    return name;
}

std::string TApplication::FatalText(const std::exception& error, const std::string& exeName)
{
    std::string module = exeName.substr(exeName.find_last_of('/') + 1);
    std::uintptr_t address = 0;
    if (auto* e = dynamic_cast<const Exception*>(&error))
        address = e->ExceptAddr();
    char place[32];
    std::snprintf(place, sizeof place, "%08lX", static_cast<unsigned long>(address & 0xFFFFFFFFu));
    std::string message = error.what();
    if (!message.empty() && message.back() != '.')
        message += ".";
    return ErrorClassName(error) + "がﾓｼﾞｭｰﾙ " + module + " の " + place + " で発生しました。\n" + message;
}

const char* TApplication::FatalCaption() { return "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ"; }

void TApplication::ShowFatal(const std::exception& error, const std::string& exeName)
{
    std::string text = FatalText(error, exeName);
    if (!HasWindowSystem()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    CurrentWindowSystem().MessageBox(text, FatalCaption(), MB_OK | MB_ICONSTOP | MB_TASKMODAL, false);
}

void TApplication::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == mainForm_)
        mainForm_ = nullptr;
}
