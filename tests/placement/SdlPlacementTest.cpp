// The placement of a real SDL window under Xvfb and openbox.
#include <gtest/gtest.h>  // before X11's headers, whose macros clash with it

#include "platform/sdl/SdlPlacement.h"
#include "tests/placement/XServer.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kClientWidth = 201;
constexpr int kClientHeight = 248;

class SdlPlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>();
        ASSERT_TRUE(server_->Ready()) << "Xvfb with openbox did not come up";
        ::setenv("DISPLAY", server_->Display().c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window_ = SDL_CreateWindow("placement", 368, 229, kClientWidth, kClientHeight, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_EQ(SDL_GetWindowWMInfo(window_, &info), SDL_TRUE);
        xwindow_ = info.info.x11.window;
        placement_ = std::make_unique<SdlPlacement>(window_);
    }

    void TearDown() override
    {
        placement_.reset();
        if (window_ != nullptr)
            SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        server_.reset();
    }

    // Hands SDL's window events to the placement, as the window host does, until the condition
    // holds.
    bool PumpUntil(const std::function<bool()>& condition)
    {
        return XServer::WaitFor([&] {
            SDL_Event event;
            while (SDL_PollEvent(&event))
                placement_->OnEvent(event);
            return condition();
        });
    }

    bool FrameAt(int left, int top)
    {
        return PumpUntil([&] {
            XServer::Rect r;
            return server_->FrameOf(xwindow_, r) && r.left == left && r.top == top;
        });
    }

    bool Unmapped()
    {
        return PumpUntil([&] {
            XServer::Rect r;
            return !server_->FrameOf(xwindow_, r);
        });
    }

    XServer::Rect Frame()
    {
        XServer::Rect r;
        server_->FrameOf(xwindow_, r);
        return r;
    }

    WINDOWPLACEMENT Get()
    {
        WINDOWPLACEMENT p;
        EXPECT_TRUE(placement_->Get(p));
        return p;
    }

    std::unique_ptr<XServer> server_;
    SDL_Window* window_ = nullptr;
    ::Window xwindow_ = 0;
    std::unique_ptr<SdlPlacement> placement_;
};

TEST_F(SdlPlacementTest, ShowsTheFrameWhereTheWindowWasMade)
{
    WINDOWPLACEMENT before = Get();
    EXPECT_EQ(before.rcNormalPosition.left, 368);
    EXPECT_EQ(before.rcNormalPosition.top, 229);
    EXPECT_EQ(before.showCmd, SW_SHOWNORMAL);

    placement_->Show(SW_SHOWNORMAL);
    ASSERT_TRUE(FrameAt(368, 229));
    XServer::Rect frame = Frame();
    EXPECT_GT(frame.right - frame.left, kClientWidth) << "openbox draws a frame";
    WINDOWPLACEMENT p = Get();
    EXPECT_EQ(p.rcNormalPosition, (RECT{frame.left, frame.top, frame.right, frame.bottom}));
    EXPECT_EQ(p.showCmd, SW_SHOWNORMAL);
    EXPECT_FALSE(placement_->IsIconic());
}

TEST_F(SdlPlacementTest, PlacementSetWhileHiddenAppliesAtTheFirstShow)
{
    const struct {
        int left, top;
    } places[] = {{100, 50}, {-40, 500}};
    for (const auto& place : places) {
        SCOPED_TRACE(place.left);
        WINDOWPLACEMENT p = Get();
        p.showCmd = SW_HIDE;
        p.ptMinPosition = {-32000, -32000};
        p.rcNormalPosition = {place.left, place.top, place.left + 300, place.top + 300};
        ASSERT_TRUE(placement_->Set(p));
        EXPECT_TRUE(Unmapped()) << "SW_HIDE keeps the window hidden";
        placement_->Show(SW_SHOWNORMAL);
        ASSERT_TRUE(FrameAt(place.left, place.top));
        WINDOWPLACEMENT back = Get();
        XServer::Rect frame = Frame();
        EXPECT_EQ(back.rcNormalPosition, (RECT{frame.left, frame.top, frame.right, frame.bottom}))
            << "the window keeps its own size";
        EXPECT_EQ(back.ptMinPosition, (POINT{-32000, -32000}));
        placement_->Show(SW_HIDE);
        ASSERT_TRUE(Unmapped());
    }
}

TEST_F(SdlPlacementTest, AMoveIsSeenAndKeptWhileHidden)
{
    placement_->Show(SW_SHOWNORMAL);
    ASSERT_TRUE(FrameAt(368, 229));
    server_->MoveFrame(xwindow_, 612, 40);
    ASSERT_TRUE(FrameAt(612, 40));
    ASSERT_TRUE(PumpUntil([&] { return Get().rcNormalPosition.left == 612; }));
    XServer::Rect frame = Frame();
    RECT shown{frame.left, frame.top, frame.right, frame.bottom};
    EXPECT_EQ(Get().rcNormalPosition, shown);

    placement_->Show(SW_HIDE);
    ASSERT_TRUE(Unmapped());
    EXPECT_EQ(Get().rcNormalPosition, shown) << "hidden, the window reports where it showed";
    EXPECT_EQ(Get().showCmd, SW_SHOWNORMAL);

    placement_->Show(SW_SHOWNORMAL);
    EXPECT_TRUE(FrameAt(612, 40)) << "shown again where it was";
}

TEST_F(SdlPlacementTest, PlacementSetWhileShownMovesTheWindow)
{
    placement_->Show(SW_SHOWNORMAL);
    ASSERT_TRUE(FrameAt(368, 229));
    WINDOWPLACEMENT p = Get();
    const int width = p.rcNormalPosition.right - p.rcNormalPosition.left;
    p.showCmd = SW_SHOWNORMAL;
    p.rcNormalPosition = {50, 60, 51, 61};
    ASSERT_TRUE(placement_->Set(p));
    // Asked for, it is the window's place at once, before the window manager has moved it.
    EXPECT_EQ(Get().rcNormalPosition.left, 50);
    EXPECT_EQ(Get().rcNormalPosition.top, 60);
    ASSERT_TRUE(FrameAt(50, 60));
    EXPECT_EQ(Get().rcNormalPosition.right - Get().rcNormalPosition.left, width);
}

TEST_F(SdlPlacementTest, FirstShownMinimised)
{
    placement_->Show(SW_SHOWMINIMIZED);
    ASSERT_TRUE(PumpUntil([&] { return placement_->IsIconic(); }));
    WINDOWPLACEMENT p = Get();
    EXPECT_EQ(p.showCmd, SW_SHOWMINIMIZED);
    EXPECT_EQ(p.rcNormalPosition.left, 368);
    EXPECT_EQ(p.rcNormalPosition.top, 229);
}

TEST_F(SdlPlacementTest, MinimisedStaysMinimisedWhileHidden)
{
    placement_->Show(SW_SHOWNORMAL);
    ASSERT_TRUE(FrameAt(368, 229));
    RECT normal = Get().rcNormalPosition;
    SDL_MinimizeWindow(window_);  // as the user would, through the window manager
    ASSERT_TRUE(PumpUntil([&] { return placement_->IsIconic(); }));
    EXPECT_EQ(Get().showCmd, SW_SHOWMINIMIZED);

    placement_->Show(SW_HIDE);
    ASSERT_TRUE(Unmapped());
    EXPECT_TRUE(placement_->IsIconic());
    WINDOWPLACEMENT hidden = Get();
    EXPECT_EQ(hidden.showCmd, SW_SHOWMINIMIZED);
    EXPECT_EQ(hidden.rcNormalPosition, normal);

    placement_->Show(SW_SHOWNORMAL);
    ASSERT_TRUE(FrameAt(normal.left, normal.top));
    EXPECT_FALSE(placement_->IsIconic());
}

}  // namespace
