// The main window closed while both timers tick on the real timer service, many times over:
// no tick may reach an element, a sound component or a timer that is already gone.

#include "game/Unit1.h"
#include "platform/core/Application.h"
#include "platform/core/UILock.h"
#include "platform/headless/HeadlessAudio.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

TEST(Shutdown, ClosingWhileBothTimersTickIsSafe)
{
    char name[] = "/tmp/zimbrot-shutdown-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(name);
    std::ofstream("Best.dat", std::ios::binary).write("\0\0\0\0", 4);
    HeadlessWindowSystem windows;
    HeadlessAudioSystem audio;
    SetWindowSystem(&windows);
    SetAudioSystem(&audio);

    for (int round = 0; round < 40; ++round) {
        auto application = std::make_unique<TApplication>(nullptr);
        Application = application.get();
        {
            UIGuard guard;
            Application->CreateForm(Form1);
            // Both timers at their fastest, the ball bouncing off edges (game overs write the file).
            Form1->Panel2Click(Form1->Panel2);
            Form1->HITimer2->SetInterval(1);
            Form1->HITimer1->SetInterval(1);
            Form1->HITimer1->SetEnabled(true);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
        {
            UIGuard guard;
            application.reset();
            Application = nullptr;
        }
        EXPECT_EQ(Form1, nullptr);
    }

    SetAudioSystem(nullptr);
    SetWindowSystem(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(name);
}

}  // namespace
