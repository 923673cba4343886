// The game's window placement on a real X server with a window manager: where the window first
// opens, what the placement file holds after a move and a close, and where the next start puts it.
#include <gtest/gtest.h>  // before X11's headers, whose macros clash with it

#include "XSession.h"
#include "platform/services/Profile.h"
#include "tests/placement/XServer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class PlacementE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session_.Ok()) << "Xvfb did not start";
        display_ = XOpenDisplay(session_.DisplayName().c_str());
        ASSERT_NE(display_, nullptr);
        // openbox owns the screen before it frames windows; a window mapped in between may
        // never be shown.
        ASSERT_TRUE(XServer::ProbeWindowManager(display_)) << "openbox frames no window";
        std::ofstream(dir_.File("Best.dat"), std::ios::binary).write("\0\0\0\0", 4);
        exe_ = CopyZimbrot(dir_);
        ini_ = dir_.File("zimbrot.ini");
    }

    void TearDown() override
    {
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }

    // Starts the game and waits for its window to show; gives the window.
    unsigned long Start(std::unique_ptr<Program>& game)
    {
        game = std::make_unique<Program>(session_, exe_, dir_.Path());
        unsigned long window = session_.WaitForWindow("Zimbrot");
        EXPECT_NE(window, 0u) << game->Stderr();
        return window;
    }

    bool FrameAt(unsigned long window, int left, int top)
    {
        return WaitFor([&] {
            XServer::Rect r;
            return XServer::FrameOf(display_, window, r) && r.left == left && r.top == top;
        });
    }

    XServer::Rect Frame(unsigned long window)
    {
        XServer::Rect r;
        XServer::FrameOf(display_, window, r);
        return r;
    }

    void Close(unsigned long window, Program& game)
    {
        session_.Close(window);
        EXPECT_EQ(game.Wait(), 0) << game.Stderr();
    }

    std::string Saved() { return GetPrivateProfileString("Bounds", "Form1.Bounds", "<none>", ini_); }

    static std::string Value(const XServer::Rect& r)
    {
        return "0,-1,-1,-1,-1," + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom);
    }

    XSession session_{true};
    Display* display_ = nullptr;
    TempDir dir_;
    std::string exe_;
    std::string ini_;
};

TEST_F(PlacementE2ETest, OpensWhereItWasClosed)
{
    ASSERT_FALSE(std::filesystem::exists(ini_));
    std::unique_ptr<Program> game;
    unsigned long window = Start(game);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(FrameAt(window, 368, 229)) << "first start at the designed place";

    // Drag the window by its title bar, as the user would.
    XServer::Rect before = Frame(window);
    int grabX = before.left + 60, grabY = before.top + 6;
    ASSERT_EQ(session_.Xdotool("mousemove " + std::to_string(grabX) + " " + std::to_string(grabY) +
                               " mousedown 1 sleep 0.2 mousemove_relative -- 40 30 sleep 0.2 mousemove_relative -- "
                               "-172 -89 sleep 0.2 mouseup 1"),
              0);
    ASSERT_TRUE(FrameAt(window, 368 - 132, 229 - 59)) << "the drag moved the window";
    XServer::Rect moved = Frame(window);
    Close(window, *game);
    EXPECT_EQ(Saved(), Value(moved));

    window = Start(game);
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(FrameAt(window, moved.left, moved.top)) << "the next start opens where the window was";
    EXPECT_EQ(Value(Frame(window)), Value(moved));
    Close(window, *game);
    EXPECT_EQ(Saved(), Value(moved)) << "written again, unchanged";
}

TEST_F(PlacementE2ETest, APlaceOffEveryDisplayOpensAtTheDesignedPlace)
{
    std::ofstream(ini_) << "; moved by hand\n[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,3000,-900,3203,-628\n";
    std::unique_ptr<Program> game;
    unsigned long window = Start(game);
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(FrameAt(window, 368, 229));
    XServer::Rect shown = Frame(window);
    Close(window, *game);
    std::ifstream in(ini_);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "; moved by hand\n[Bounds]\nForm1.Bounds=" + Value(shown) + "\n");
}

// Makes a folder refuse new files even to root, for as long as it lives.
class ImmutableDir {
public:
    explicit ImmutableDir(std::string path) : path_(std::move(path))
    {
        ok_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
    }
    ~ImmutableDir()
    {
        if (ok_)
            (void)std::system(("chattr -i '" + path_ + "'").c_str());
    }
    bool Ok() const { return ok_; }

private:
    std::string path_;
    bool ok_ = false;
};

TEST_F(PlacementE2ETest, AFailedSaveEndsTheGameCleanly)
{
    std::unique_ptr<Program> game;
    unsigned long window = Start(game);
    ASSERT_NE(window, 0u);
    ImmutableDir locked(dir_.Path());
    if (!locked.Ok())
        GTEST_SKIP() << "chattr +i is not available here";
    session_.Close(window);
    // The end reports the failure in the error box, which stays up until it is answered.
    bool answered = false;
    ASSERT_TRUE(WaitFor([&] {
        unsigned long box = session_.FindWindow("Zimbrot");
        int l, t, w, h;
        if (!answered && box != 0 && session_.Mapped(box) && session_.Geometry(box, l, t, w, h) && w != 201) {
            EXPECT_TRUE(game->Running()) << "the box did not wait for its answer";
            session_.Xdotool("key --window " + std::to_string(box) + " Return");
            answered = true;
        }
        return !game->Running();
    })) << game->Stderr();
    EXPECT_TRUE(answered) << "no error box";
    EXPECT_EQ(game->Wait(), 0) << game->Stderr();
    EXPECT_FALSE(std::filesystem::exists(ini_));
}

}  // namespace
