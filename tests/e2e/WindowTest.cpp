// The program on a real X server: its window, its title screen, and how it ends.

#include "XSession.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

namespace {

void WriteBest(const TempDir& dir, std::int32_t value)
{
    std::ofstream out(dir.File("Best.dat"), std::ios::binary);
    for (int i = 0; i < 4; ++i)
        out.put(static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
}

int CountColour(const Image& image, int left, int top, int right, int bottom, std::uint32_t colour)
{
    int count = 0;
    for (int y = top; y < bottom && y < image.height; ++y)
        for (int x = left; x < right && x < image.width; ++x)
            count += image.At(x, y) == colour;
    return count;
}

// Pixels darker than mid-grey: antialiased glyphs have few pure black ones.
int CountDark(const Image& image, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom && y < image.height; ++y)
        for (int x = left; x < right && x < image.width; ++x) {
            std::uint32_t p = image.At(x, y);
            count += ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
        }
    return count;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
        WriteBest(dir, 7);
        exe = CopyZimbrot(dir);
    }

    XSession x;
    TempDir dir;
    std::string exe;
};

TEST_F(WindowTest, ShowsTheTitleScreenInAFixedWindowAndEndsWithCodeZeroWhenClosed)
{
    Program game(x, exe, dir.Path());
    unsigned long window = x.WaitForWindow("Zimbrot");
    ASSERT_NE(window, 0u) << game.Stderr();

    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(window, left, top, width, height));
    EXPECT_EQ(width, 201);
    EXPECT_EQ(height, 248);

    // Each text of the title screen shows white inside its own box: heading, prompt (it blinks,
    // so wait for it), version text and credit line; the ground around them stays black.
    Image image;
    auto titleDrawn = [&] {
        image = x.Capture(window);
        return image.width == 201 && CountColour(image, 16, 16, 192, 64, 0xFFFFFF) > 200 &&
               CountColour(image, 56, 184, 153, 213, 0xFFFFFF) > 50 &&
               CountColour(image, 96, 64, 188, 88, 0xFFFFFF) > 50 && CountColour(image, 16, 224, 184, 237, 0xFFFFFF) > 30;
    };
    EXPECT_TRUE(WaitFor(titleDrawn)) << "title screen not drawn";
    image.WritePpm(dir.File("title.ppm"));
    if (const char* keep = std::getenv("ZIMBROT_SCREENSHOTS"))
        image.WritePpm(std::string(keep) + "/title.ppm");
    EXPECT_EQ(CountColour(image, 0, 90, 16, 180, 0x000000), 16 * 90) << "ground beside the texts is black";
    EXPECT_EQ(CountColour(image, 0, 238, 201, 248, 0x000000), 201 * 10) << "the title screen covers the score strip";

    x.Close(window);
    EXPECT_EQ(game.Wait(), 0) << game.Stderr();
}

TEST_F(WindowTest, TerminationSignalsCloseTheGameLikeTheCloseBox)
{
    for (int signal : {SIGTERM, SIGINT}) {
        Program game(x, exe, dir.Path());
        ASSERT_NE(x.WaitForWindow("Zimbrot"), 0u) << game.Stderr();
        game.Signal(signal);
        EXPECT_EQ(game.Wait(), 0) << "signal " << signal << ": " << game.Stderr();
    }
}

TEST_F(WindowTest, MissingBestFileShowsTheErrorBoxBeforeTheWindow)
{
    std::remove(dir.File("Best.dat").c_str());
    Program game(x, exe, dir.Path());
    // The box comes first; it carries the application's title as its caption.
    unsigned long box = x.WaitForWindow("Zimbrot");
    ASSERT_NE(box, 0u) << game.Stderr();
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(box, left, top, width, height));
    EXPECT_NE(std::make_pair(width, height), std::make_pair(201, 248)) << "the main window came before the box";
    Image image;
    EXPECT_TRUE(WaitFor([&] {
        image = x.Capture(box);
        // The stop icon's red and the message's dark glyphs.
        return CountColour(image, 0, 0, image.width, image.height, 0xD02020) > 300 &&
               CountDark(image, 48, 0, image.width, image.height - 40) > 40;
    })) << "error box not drawn";
    if (const char* keep = std::getenv("ZIMBROT_SCREENSHOTS"))
        image.WritePpm(std::string(keep) + "/errorbox.ppm");

    x.Xdotool("key --window " + std::to_string(box) + " Return");
    unsigned long window = 0;
    EXPECT_TRUE(WaitFor([&] {
        window = x.FindWindow("Zimbrot");
        int l, t, w, h;
        return window != 0 && x.Mapped(window) && x.Geometry(window, l, t, w, h) && w == 201 && h == 248;
    })) << "main window did not follow the box";
    x.Close(window);
    EXPECT_EQ(game.Wait(), 0) << game.Stderr();
}

TEST(WithoutDisplay, PrintsOneLineAndExitsWithOne)
{
    // No display named at all, and one named that is not there.
    for (const char* environment : {"env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ",
                                    "env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:4999 "}) {
        SCOPED_TRACE(environment);
        TempDir dir;
        std::string command = environment + ZimbrotPath() + " 2>" + dir.File("err") + " >/dev/null";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        std::ifstream in(dir.File("err"));
        std::string first, second;
        std::getline(in, first);
        EXPECT_EQ(first.rfind("zimbrot: cannot open the display", 0), 0u) << first;
        EXPECT_FALSE(std::getline(in, second)) << "more than one line: " << second;
    }
}

}  // namespace
