#pragma once

#include "platform/core/Component.h"
#include "platform/window/NativeWindow.h"

#include <atomic>
#include <exception>
#include <memory>
#include <string>

class TForm;

// The application object: title, main form, message loop, and the reporting of errors in the
// error box. It also has a window of its own that is never seen; that is the window the
// minimised test asks about for the main form.
class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }
    TForm* MainForm() const { return mainForm_; }
    HWND Handle() const { return window_.get(); }
    std::string ExeName() const;

    // Makes a form; the first form made becomes the main form. The form's constructor fills the
    // global reference itself, before it reads its layout; a failed construction clears it.
    template <class T>
    void CreateForm(T*& reference)
    {
        try {
            T* form = new T(this);
            reference = form;
            if (mainForm_ == nullptr)
                mainForm_ = form;
        } catch (...) {
            reference = nullptr;
            throw;
        }
    }

    // Shows the main form and runs the message loop until terminated.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_.load(); }

    // The error box for an error that left a handler on the window thread.
    void HandleException(const std::exception& error);
    void ShowException(const std::exception& error);

    // The text the error box shows for a message: a "." is appended unless the message is empty
    // or ends in a single-byte character with a code of 0x2E or below.
    static std::string ErrorBoxText(const std::string& message);
    // The fatal error box's two lines for an error that ended the start-up.
    static std::string FatalText(const std::exception& error, const std::string& exeName);
    static const char* FatalCaption();
    // Shows the fatal error box (no owner, modal for the whole program).
    static void ShowFatal(const std::exception& error, const std::string& exeName);

    void Notification(TComponent* component, TOperation operation) override;

private:
    std::string title_;
    TForm* mainForm_ = nullptr;
    std::atomic<bool> terminated_{false};
    std::unique_ptr<NativeWindow> window_;
};

extern TApplication* Application;

// The class name an error reports: the design's class name for our errors.
std::string ErrorClassName(const std::exception& error);
