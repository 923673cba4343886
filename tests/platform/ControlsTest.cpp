// Controls: label sizing, painting order and pixels, pointer routing, capture and clicks.

#include "platform/controls/Form.h"
#include "platform/controls/StdCtrls.h"
#include "platform/headless/HeadlessWindowSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Paints a draw list into a plain pixel map, so that tests can read what a window shows.
std::map<std::pair<int, int>, TColor> Rasterise(const DrawList& list)
{
    std::map<std::pair<int, int>, TColor> pixels;
    for (const auto& c : list) {
        if (c.kind != DrawCommand::Kind::FillRect)
            continue;
        for (int y = std::max(c.rect.top, c.clip.top); y < std::min(c.rect.bottom, c.clip.bottom); ++y)
            for (int x = std::max(c.rect.left, c.clip.left); x < std::min(c.rect.right, c.clip.right); ++x)
                pixels[{x, y}] = c.color;
    }
    return pixels;
}

struct Event {
    std::string who;
    std::string what;
    int x = 0;
    int y = 0;
};

// A field with a drawn label, a bevel, a panel with a label, and a covering panel that can be
// hidden: enough to route every kind of pointer event.
class FieldForm : public TForm {
public:
    explicit FieldForm(TComponent* owner) : TForm(owner)
    {
        BeginLayout();
        SetClientSize(200, 200);
        SetColor(clBlack);
        auto record = [this](const char* who) {
            return [this, who](TComponent*, TShiftState, int x, int y) { events.push_back({who, "move", x, y}); };
        };
        auto clicked = [this](const char* who) {
            return [this, who](TComponent*) { events.push_back({who, "click", 0, 0}); };
        };
        SetOnMouseMove(record("form"));
        SetOnClick(clicked("form"));
        ball = ReadElement<TLabel>(this, "ball", [](TLabel& l) {
            l.SetBounds(50, 50, 10, 10);
            l.SetCaption("●");
        });
        paddle = ReadElement<TBevel>(this, "paddle", [](TBevel& b) { b.SetBounds(40, 55, 42, 1); });
        digit = ReadElement<TLabel>(this, "digit", [&](TLabel& l) {
            l.SetBounds(100, 100, 20, 20);
            l.SetCaption("3");
            l.SetFont(TFont{"x", -40, true, clWhite});
            l.SetOnMouseMove(record("digit"));
        });
        strip = ReadElement<TPanel>(this, "strip", [&](TPanel& p) {
            p.SetBounds(-8, 150, 216, 60);
            p.SetColor(clWhite);
            p.SetOnMouseMove(record("strip"));
            count = ReadElement<TLabel>(&p, "count", [](TLabel& l) {
                l.SetBounds(102, 8, 8, 12);
                l.SetAlignment(TAlignment::taRightJustify);
                l.SetCaption("0");
                l.SetFont(TFont{"x", -12, true, clWindowText});
            });
        });
        cover = ReadElement<TPanel>(this, "cover", [&](TPanel& p) {
            p.SetAlign(TAlign::alClient);
            p.SetColor(clBlack);
            p.SetOnMouseMove(record("cover"));
            p.SetOnClick(clicked("cover"));
            heading = ReadElement<TLabel>(&p, "heading", [&](TLabel& l) {
                l.SetBounds(10, 10, 50, 20);
                l.SetCaption("Title");
                l.SetColor(clBlack);
                l.SetFont(TFont{"x", -12, false, clWhite});
                l.SetOnClick(clicked("heading"));
                l.SetOnMouseMove(record("heading"));
            });
        });
        EndLayout();
    }

    std::vector<Event> events;
    TLabel* ball;
    TBevel* paddle;
    TLabel* digit;
    TPanel* strip;
    TLabel* count;
    TPanel* cover;
    TLabel* heading;
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetWindowSystem(&windows);
        form = std::make_unique<FieldForm>(nullptr);
    }
    void TearDown() override
    {
        form.reset();
        SetWindowSystem(nullptr);
    }
    HeadlessWindowSystem windows;
    std::unique_ptr<FieldForm> form;
};

TEST_F(ControlsTest, RightAlignedLabelGrowsToTheLeftKeepingItsRightEdge)
{
    // Half an em per digit with the headless metrics.
    const struct {
        const char* caption;
        int left;
        int width;
    } cases[] = {{"0", 104, 6}, {"10", 98, 12}, {"100", 92, 18}, {"7", 104, 6}};
    for (const auto& c : cases) {
        form->count->SetCaption(c.caption);
        EXPECT_EQ(form->count->Left(), c.left) << c.caption;
        EXPECT_EQ(form->count->Width(), c.width) << c.caption;
        EXPECT_EQ(form->count->Left() + form->count->Width(), 110) << c.caption;
        EXPECT_EQ(form->count->Height(), 12);
    }
}

TEST_F(ControlsTest, LeftAlignedLabelKeepsItsLeftEdgeAndSizesToItsTextAtEndOfLoading)
{
    EXPECT_EQ(form->ball->Left(), 50);
    EXPECT_EQ(form->ball->Width(), 12);   // one full-width character
    EXPECT_EQ(form->digit->Width(), 20);  // one half-width character at an em of 40
    EXPECT_EQ(form->digit->Height(), 40);
}

TEST_F(ControlsTest, PointerGoesToTheTopmostShownElementUnderIt)
{
    form->cover->SetVisible(false);
    const struct {
        int x, y;
        const char* who;  // nullptr: swallowed
        int ex, ey;
    } cases[] = {
        {10, 10, "form", 10, 10},       // the ground
        {52, 52, nullptr, 0, 0},        // the ball has no handler: swallowed
        {70, 55, nullptr, 0, 0},        // the paddle, drawn after the ball, over it
        {105, 110, "digit", 5, 10},     // the digit, in its own coordinates
        {20, 180, "strip", 28, 30},     // the strip, in its coordinates
        {98, 160, nullptr, 0, 0},       // a label of the strip swallows it
        {5, 199, "strip", 13, 49},      // the strip covers the field below 150
    };
    for (const auto& c : cases) {
        form->events.clear();
        HeadlessPointer(*form, WM_MOUSEMOVE, c.x, c.y);
        if (c.who == nullptr) {
            EXPECT_TRUE(form->events.empty()) << c.x << "," << c.y << " went to " << form->events[0].who;
            continue;
        }
        ASSERT_EQ(form->events.size(), 1u) << c.x << "," << c.y;
        EXPECT_EQ(form->events[0].who, c.who) << c.x << "," << c.y;
        EXPECT_EQ(form->events[0].x, c.ex);
        EXPECT_EQ(form->events[0].y, c.ey);
    }
}

TEST_F(ControlsTest, HiddenElementsTakeNoPointerAndTheCoveringPanelTakesAll)
{
    form->events.clear();
    HeadlessPointer(*form, WM_MOUSEMOVE, 105, 110);
    HeadlessPointer(*form, WM_MOUSEMOVE, 20, 180);
    HeadlessPointer(*form, WM_MOUSEMOVE, 15, 15);
    ASSERT_EQ(form->events.size(), 3u);
    EXPECT_EQ(form->events[0].who, "cover");
    EXPECT_EQ(form->events[1].who, "cover");
    EXPECT_EQ(form->events[2].who, "heading");
    form->cover->SetVisible(false);
    form->digit->SetVisible(false);
    form->events.clear();
    HeadlessPointer(*form, WM_MOUSEMOVE, 105, 110);
    ASSERT_EQ(form->events.size(), 1u);
    EXPECT_EQ(form->events[0].who, "form");
}

TEST_F(ControlsTest, ClickNeedsPressAndReleaseOnTheSameElement)
{
    const struct {
        int downX, downY, upX, upY;
        const char* clicked;
    } cases[] = {
        {15, 15, 16, 16, "heading"},  // on the heading
        {100, 100, 101, 99, "cover"}, // on the panel itself
        {15, 15, 100, 100, nullptr},  // released off the heading: nothing
        {100, 100, 15, 15, "cover"},  // the panel holds the pointer; released inside its box
        {15, 15, 300, 15, nullptr},   // released outside the window
    };
    for (const auto& c : cases) {
        form->events.clear();
        HeadlessPointer(*form, WM_LBUTTONDOWN, c.downX, c.downY, MK_LBUTTON);
        HeadlessPointer(*form, WM_LBUTTONUP, c.upX, c.upY, 0);
        std::vector<std::string> clicks;
        for (const auto& e : form->events)
            if (e.what == "click")
                clicks.push_back(e.who);
        if (c.clicked == nullptr)
            EXPECT_TRUE(clicks.empty()) << c.downX << "," << c.downY << " -> " << c.upX << "," << c.upY;
        else
            EXPECT_EQ(clicks, std::vector<std::string>{c.clicked});
        EXPECT_EQ(CaptureControl(), nullptr);
    }
}

TEST_F(ControlsTest, HeldButtonKeepsMovesOnThePressedElementEvenOutsideTheWindow)
{
    form->cover->SetVisible(false);
    HeadlessPointer(*form, WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    form->events.clear();
    HeadlessPointer(*form, WM_MOUSEMOVE, 105, 110, MK_LBUTTON);  // over the digit
    HeadlessPointer(*form, WM_MOUSEMOVE, -30, 400, MK_LBUTTON);  // off the window
    HeadlessPointer(*form, WM_LBUTTONUP, -30, 400, 0);
    HeadlessPointer(*form, WM_MOUSEMOVE, 105, 110, 0);
    ASSERT_EQ(form->events.size(), 3u);
    EXPECT_EQ(form->events[0].who, "form");
    EXPECT_EQ(form->events[0].x, 105);
    EXPECT_EQ(form->events[1].who, "form");
    EXPECT_EQ(form->events[1].x, -30);
    EXPECT_EQ(form->events[1].y, 400);
    EXPECT_EQ(form->events[2].who, "digit");

    // Pressed on the ball, which has no handler: moves go nowhere until release.
    HeadlessPointer(*form, WM_LBUTTONDOWN, 52, 52, MK_LBUTTON);
    form->events.clear();
    HeadlessPointer(*form, WM_MOUSEMOVE, 10, 10, MK_LBUTTON);
    EXPECT_TRUE(form->events.empty());
    HeadlessPointer(*form, WM_LBUTTONUP, 10, 10, 0);
}

TEST_F(ControlsTest, BevelDrawsAHighlightLineWithOneShadowEndPixel)
{
    form->cover->SetVisible(false);
    DrawList list;
    form->PaintClient(list);
    auto pixels = Rasterise(list);
    // The horizontal paddle at (40, 55), 42 long: its leftmost pixel in shadow, the rest highlight.
    EXPECT_EQ((pixels[{40, 55}]), clBtnShadow);
    for (int x = 41; x < 82; ++x)
        EXPECT_EQ((pixels[{x, 55}]), clBtnHighlight) << x;
    EXPECT_EQ((pixels.count({82, 55}) ? pixels[{82, 55}] : clBlack), clBlack);

    form->paddle->SetBounds(30, 20, 1, 42);
    list.clear();
    form->PaintClient(list);
    pixels = Rasterise(list);
    // A vertical one: the lowest pixel in shadow.
    EXPECT_EQ((pixels[{30, 61}]), clBtnShadow);
    for (int y = 20; y < 61; ++y)
        EXPECT_EQ((pixels[{30, y}]), clBtnHighlight) << y;
}

TEST_F(ControlsTest, PanelsLieAboveDrawnElementsAndHiddenOnesAreNotPainted)
{
    // Move the strip over the digit: where they overlap, only the strip shows.
    form->cover->SetVisible(false);
    form->strip->SetTop(105);
    DrawList list;
    form->PaintClient(list);
    auto pixels = Rasterise(list);
    EXPECT_EQ((pixels[{101, 106}]), clWhite);  // the strip's white over the digit's black box
    form->paddle->SetVisible(false);
    list.clear();
    form->PaintClient(list);
    for (const auto& c : list)
        EXPECT_FALSE(c.color == clBtnShadow) << "hidden paddle painted";
    // With the cover shown, nothing else is painted inside the client area.
    form->cover->SetVisible(true);
    list.clear();
    form->PaintClient(list);
    pixels = Rasterise(list);
    for (const auto& [point, colour] : pixels)
        EXPECT_EQ(colour, clBlack) << point.first << "," << point.second;
}

}  // namespace
