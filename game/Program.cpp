#include "game/Program.h"

#include "game/Unit1.h"
#include "platform/core/Application.h"
#include "platform/core/UILock.h"
#include "platform/services/Cursor.h"

#include <memory>

int RunZimbrot()
{
    auto application = std::make_unique<TApplication>(nullptr);
    Application = application.get();
    Application->SetTitle("Zimbrot");

    int exitCode = 0;
    try {
        // Creation is window-thread work: ticks of the title timer wait until it is done.
        UIGuard guard;
        Application->CreateForm(Form1);
    } catch (const std::exception& error) {
        TApplication::ShowFatal(error, Application->ExeName());
        exitCode = 1;
    }
    if (exitCode == 0)
        Application->Run();

    {
        UIGuard guard;
        application.reset();
        Application = nullptr;
    }
    ResetCursorDisplayCount();
    return exitCode;
}
