#pragma once

#include "placement/KSavePos.h"
#include "platform/controls/Form.h"
#include "platform/core/Application.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/placement/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A window procedure that records what reaches it and answers with a result of its own.
class RecordingProc final : public WindowProcedure {
public:
    struct Seen {
        HWND wnd;
        std::uint32_t msg;
        std::int32_t wParam;
        std::int32_t lParam;
        bool operator==(const Seen&) const = default;
    };

    explicit RecordingProc(std::vector<std::string>* order = nullptr, std::string name = "previous")
        : order_(order), name_(std::move(name))
    {
    }

    std::int32_t Call(HWND wnd, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override
    {
        calls.push_back({wnd, msg, wParam, lParam});
        if (order_ != nullptr)
            order_->push_back(name_);
        return ResultFor(msg, wParam, lParam);
    }

    static std::int32_t ResultFor(std::uint32_t msg, std::int32_t wParam, std::int32_t lParam)
    {
        return static_cast<std::int32_t>(msg * 7919u) ^ wParam ^ (lParam >> 3);
    }

    std::vector<Seen> calls;

private:
    std::vector<std::string>* order_;
    std::string name_;
};

// The placement saver with its file in the test's own folder instead of beside the test program.
class TestSavePosIni : public TKSavePosIni {
public:
    using TKSavePosIni::TKSavePosIni;
    std::string FileName() const override { return path; }
    using TKSaveFormPos::LoadPos;

    static inline std::string path;
};

// What a test form's layout holds.
struct FormLayout {
    std::string name = "Form1";
    int left = 368;
    int top = 229;
    bool saveBounds = true;
    bool resumeIconic = false;
};

// A form read from a layout as the game's main window is: its own properties, then the saver,
// then the end-of-loading notifications.
class TestForm : public TForm {
public:
    explicit TestForm(TComponent* owner, const FormLayout& layout = FormLayout{}) : TForm(owner)
    {
        BeginLayout();
        SetName(layout.name);
        SetCaption(layout.name);
        SetBounds(layout.left, layout.top, 0, 0);
        SetClientSize(201, 248);
        saver = ReadComponent<TestSavePosIni>("KSavePosIni1", [&](TestSavePosIni& s) {
            s.SetSaveBounds(layout.saveBounds);
            s.SetResumeIconic(layout.resumeIconic);
        });
        EndLayout();
    }

    TestSavePosIni* saver = nullptr;
};

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetWindowSystem(&windows_);
        TestSavePosIni::path = Ini();
    }
    void TearDown() override
    {
        Application = nullptr;
        SetWindowSystem(nullptr);
    }

    std::string Ini() const { return dir_.File("zimbrot.ini"); }
    HeadlessHost& HostOf(TForm& form) { return static_cast<HeadlessHost&>(*form.Handle()->Host()); }
    WINDOWPLACEMENT PlacementOf(TForm& form)
    {
        WINDOWPLACEMENT p;
        EXPECT_TRUE(GetWindowPlacement(form.Handle(), &p));
        return p;
    }

    HeadlessWindowSystem windows_;
    TempDir dir_;
};
