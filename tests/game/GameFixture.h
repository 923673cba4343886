#pragma once

// The main window on the headless backend with a manual clock, silent recorded sound and its own
// working directory: the game as a test drives it.

#include "game/Unit1.h"
#include "placement/KSavePos.h"
#include "platform/core/Application.h"
#include "platform/core/UILock.h"
#include "platform/headless/HeadlessAudio.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "platform/headless/ManualClock.h"
#include "platform/services/Cursor.h"
#include "platform/services/Focus.h"
#include "sound/DXSounds.h"
#include "timer/HTimer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class GameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/zimbrot-game-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        SetWindowSystem(&windows);
        SetTimerService(&clock);
        SetAudioSystem(&audio);
        SetMainWindowActive(true);
        ResetCursorDisplayCount();
    }

    void TearDown() override
    {
        Destroy();
        SetAudioSystem(nullptr);
        SetTimerService(nullptr);
        SetWindowSystem(nullptr);
        SetMainWindowActive(false);
        std::filesystem::current_path(previousDir_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Makes the main window as the program does, with a best-score file holding `best` unless
    // `best` is negative and `withFile` false.
    void Create(std::int32_t best = 0, bool withFile = true)
    {
        if (withFile)
            WriteBest(best);
        application_ = std::make_unique<TApplication>(nullptr);
        Application = application_.get();
        Application->SetTitle("Zimbrot");
        UIGuard guard;
        Application->CreateForm(Form1);
        Form1->Show();
    }

    void Destroy()
    {
        if (!application_)
            return;
        UIGuard guard;
        application_.reset();
        Application = nullptr;
    }

    static void WriteBest(std::int32_t value)
    {
        std::ofstream out("Best.dat", std::ios::binary);
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
    }

    static std::int32_t ReadBest()
    {
        std::ifstream in("Best.dat", std::ios::binary);
        unsigned char b[4] = {};
        in.read(reinterpret_cast<char*>(b), 4);
        return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    }

    TForm1& F() { return *Form1; }
    // Lets time pass, with the sound device playing along, so that clips end as they would.
    void Advance(std::uint64_t ms)
    {
        while (ms > 0) {
            std::uint64_t chunk = std::min<std::uint64_t>(ms, 10);
            clock.Advance(chunk);
            ms -= chunk;
            if (audio.IsOpen()) {
                audio.Pull(static_cast<int>(audio.Spec().Rate * chunk / 1000));
                audio.ClearRecorded();
            }
        }
    }
    void Click(int x, int y) { HeadlessClick(F(), x, y); }
    void Move(int x, int y) { HeadlessPointer(F(), WM_MOUSEMOVE, x, y); }
    // Puts the ball somewhere with a heading, as if it had got there.
    void Place(int left, int top, std::int32_t direction)
    {
        UIGuard guard;
        F().Label2->SetLeft(left);
        F().Label2->SetTop(top);
        F().direction = direction;
    }
    // One game step, as the step timer's tick runs it.
    void Step()
    {
        UIGuard guard;
        F().HITimer1Timer(F().HITimer1);
    }
    int Plays(const char* clip) { return F().DXWaveList1->Items().FindWave(clip).PlayCount(); }

    HeadlessWindowSystem windows;
    ManualClock clock;
    HeadlessAudioSystem audio;

private:
    std::unique_ptr<TApplication> application_;
    std::filesystem::path previousDir_;
    std::string dir_;
};
