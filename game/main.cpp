// Zimbrot: the real window system and sound device, then the program's life on them.

#include "game/Program.h"
#include "platform/sdl/SdlAudio.h"
#include "platform/sdl/SdlWindowSystem.h"

#include <cstdio>
#include <memory>

int main()
{
    std::unique_ptr<SdlWindowSystem> windows;
    try {
        windows = std::make_unique<SdlWindowSystem>();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zimbrot: %s\n", error.what());
        return 1;
    }
    SetWindowSystem(windows.get());
    InstallSdlAudio();
    int exitCode = RunZimbrot();
    SetWindowSystem(nullptr);
    return exitCode;
}
