// The game's rules on the manual clock: the step with its edges, paddles and speed, the title
// screen with its countdown, the game over, and the best count.

#include "GameFixture.h"

#include <sys/stat.h>

namespace {

class RulesTest : public GameFixture {
protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        Create(0);
        // The field in play: no title screen, no digit over it.
        UIGuard guard;
        F().Panel2->SetVisible(false);
        F().Label1->SetVisible(false);
    }
    void SetHits(int hits)
    {
        UIGuard guard;
        F().Label3->SetCaption(IntToStr(hits));
    }
    void SetBest(int best)
    {
        UIGuard guard;
        F().Label6->SetCaption(IntToStr(best));
    }
    void PaddlesAt(int left, int top) { Move(left, top); }
    bool GameOverHappened() { return F().Panel2->Visible() && F().Label2->Left() == 96 && F().Label2->Top() == 104; }
};

TEST_F(RulesTest, EdgesTurnTheHeadingPlayLoseAndEndTheGame)
{
    PaddlesAt(300, 300);  // out of the way
    const struct {
        int left, top, direction;  // one step before the edge
        int heading;               // after it
        const char* edge;
    } rows[] = {
        {1, 50, 4, 2, "left, going up-left"},     {1, 50, 6, 8, "left, going down-left"},
        {191, 50, 2, 4, "right, going up-right"}, {191, 50, 8, 6, "right, going down-right"},
        {50, 1, 2, 8, "top, going up-right"},     {50, 1, 4, 6, "top, going up-left"},
        {50, 197, 6, 4, "bottom, going down-left"}, {50, 197, 8, 2, "bottom, going down-right"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edge);
        {
            UIGuard guard;
            F().Panel2->SetVisible(false);
        }
        int loses = Plays("Lose");
        Place(row.left, row.top, row.direction);
        Step();
        EXPECT_EQ(F().direction, row.heading);
        EXPECT_EQ(Plays("Lose"), loses + 1);
        EXPECT_TRUE(GameOverHappened());
    }
}

TEST_F(RulesTest, ACornerIsTheLeftEdgeFirst)
{
    Place(1, 1, 4);
    Step();
    EXPECT_EQ(F().direction, 2);
    EXPECT_EQ(Plays("Lose"), 1);
    EXPECT_TRUE(GameOverHappened());
}

TEST_F(RulesTest, PaddleReachIncludesBothEndsAndNothingBeyond)
{
    const struct {
        int left, top, direction;  // one step before the line
        int paddleX, paddleY;      // pointer over the ground
        bool hit;
        int heading;
        const char* what;
    } rows[] = {
        // The bottom paddle at left 80: the ball arrives on top 185.
        {66, 184, 6, 80, 140, true, 4, "bottom, left 65"},
        {129, 184, 8, 80, 140, true, 2, "bottom, left 130"},
        {65, 184, 6, 80, 140, false, 6, "bottom, left 64"},
        {130, 184, 8, 80, 140, false, 8, "bottom, left 131"},
        // The top paddle: the ball arrives on top 16.
        {66, 17, 4, 80, 140, true, 6, "top, left 65"},
        {130, 17, 2, 80, 140, false, 2, "top, left 131"},
        // The left paddle at top 80: the ball arrives on left 16.
        {17, 64, 6, 40, 80, true, 8, "left, top 65"},
        {17, 131, 4, 40, 80, true, 2, "left, top 130"},
        {17, 63, 6, 40, 80, false, 6, "left, top 64"},
        {17, 132, 4, 40, 80, false, 4, "left, top 131"},
        // The right paddle: the ball arrives on left 178.
        {177, 64, 8, 40, 80, true, 6, "right, top 65"},
        {177, 132, 2, 40, 80, false, 2, "right, top 131"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PaddlesAt(row.paddleX, row.paddleY);
        SetHits(0);
        int hits = Plays("Hit");
        Place(row.left, row.top, row.direction);
        Step();
        EXPECT_EQ(F().direction, row.heading);
        EXPECT_EQ(F().Label3->Caption(), row.hit ? "1" : "0");
        EXPECT_EQ(Plays("Hit"), hits + (row.hit ? 1 : 0));
    }
}

TEST_F(RulesTest, ABallOnTwoPaddleLinesScoresTwiceAndReversesBothWays)
{
    PaddlesAt(20, 160);  // bottom paddle reach 5..70, left paddle reach 145..210
    Place(17, 184, 6);   // arrives at (16, 185)
    Step();
    EXPECT_EQ(F().Label3->Caption(), "2");
    EXPECT_EQ(Plays("Hit"), 2);
    EXPECT_EQ(F().direction, 2);  // down-left: the bottom paddle gives 4, the left one then 2
}

TEST_F(RulesTest, SpeedFollowsTheHitCount)
{
    PaddlesAt(80, 140);
    const struct {
        int hitsBefore;
        int left, top, direction;  // a step that hits the bottom paddle, or not
        int paddleX, paddleY;
        std::uint32_t interval;
        const char* what;
    } rows[] = {
        {8, 100, 184, 6, 80, 140, 15, "ninth hit: unchanged"},
        {9, 100, 184, 6, 80, 140, 14, "tenth hit"},
        {19, 17, 184, 6, 20, 160, 13, "double hit from 19 to 21"},
        {59, 100, 184, 6, 80, 140, 9, "sixtieth"},
        {199, 100, 184, 6, 80, 140, 4, "two hundredth"},
        {500, 100, 100, 6, 80, 140, 4, "no hit at 500"},
    };
    {
        UIGuard guard;
        F().HITimer1->SetInterval(15);
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PaddlesAt(row.paddleX, row.paddleY);
        SetHits(row.hitsBefore);
        Place(row.left, row.top, row.direction);
        Step();
        EXPECT_EQ(F().HITimer1->Interval(), row.interval);
    }
    // After a game over the count is 0 and the interval stays that of the lost game.
    Place(1, 50, 4);
    Step();
    EXPECT_EQ(F().Label3->Caption(), "0");
    EXPECT_EQ(F().HITimer1->Interval(), 4u);
}

TEST_F(RulesTest, BestCountFollowsTheHitCountOnlyWhenItIsGreater)
{
    PaddlesAt(80, 140);
    SetBest(7);
    SetHits(7);
    Place(100, 100, 6);
    Step();
    EXPECT_EQ(F().Label6->Caption(), "7");
    Place(100, 184, 6);
    Step();
    EXPECT_EQ(F().Label3->Caption(), "8");
    EXPECT_EQ(F().Label6->Caption(), "8");
    // Ten digits and more: the counts grow to the left of 110.
    SetHits(99);
    Place(100, 184, 6);
    Step();
    EXPECT_EQ(F().Label6->Caption(), "100");
    EXPECT_EQ(F().Label6->Left() + F().Label6->Width(), 110);
    EXPECT_EQ(F().Label3->Left() + F().Label3->Width(), 110);
    EXPECT_LT(F().Label3->Left(), 104);
}

TEST_F(RulesTest, GameOverStoresTheBestCountEveryTime)
{
    SetBest(23);
    Place(1, 50, 4);
    Step();
    EXPECT_EQ(ReadBest(), 23);
    EXPECT_EQ(F().bestScore, 23);
    EXPECT_EQ(std::filesystem::file_size("Best.dat"), 4u);
    std::filesystem::remove("Best.dat");
    Place(1, 50, 4);
    Step();
    EXPECT_EQ(ReadBest(), 23) << "rewritten although unchanged";
}

TEST_F(RulesTest, AFailedStoreStopsTheTickWhereItAroseAndIsReported)
{
    // A directory named Best.dat refuses the store whoever runs the test.
    std::filesystem::remove("Best.dat");
    std::filesystem::create_directory("Best.dat");
    SetHits(5);
    {
        UIGuard guard;
        F().HITimer1->SetEnabled(true);  // so that the tick runs as the service runs it
    }
    Place(1, 50, 4);  // the next step meets the left edge
    Advance(15);
    EXPECT_EQ(Plays("Lose"), 1);
    EXPECT_EQ(F().direction, 2);
    EXPECT_FALSE(F().Panel2->Visible()) << "the rest of the game over was not done";
    EXPECT_EQ(F().Label3->Caption(), "5");
    EXPECT_EQ(F().Label2->Left(), 0);
    ASSERT_EQ(clock.TickErrors().size(), 1u);
    EXPECT_NE(clock.TickErrors()[0].find("EInOutError"), std::string::npos) << clock.TickErrors()[0];
    // The game goes on: the next tick steps again.
    Advance(15);
    EXPECT_EQ(F().Label2->Left(), 1);
}

class TitleTest : public GameFixture {
protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        Create(0);
    }
};

TEST_F(TitleTest, ThePromptBlinksEvery500MillisecondsAndNothingElseMovesBeforeTheFirstClick)
{
    std::vector<bool> seen;
    for (int i = 0; i < 4; ++i) {
        Advance(500);
        seen.push_back(F().Label8->Visible());
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(F().Label2->Left(), 96);
    EXPECT_EQ(F().Label2->Top(), 104);
    EXPECT_EQ(Plays("count") + Plays("Hit") + Plays("Lose"), 0);
}

TEST_F(TitleTest, CountdownTimeline)
{
    Advance(200);
    Click(100, 100);
    struct Expect {
        std::uint64_t at;  // ms after the click
        const char* digit;
        bool digitShown;
        int counts;
        bool stepping;
    };
    const Expect timeline[] = {
        {0, "3", true, 0, false},     {699, "3", true, 0, false},   {700, "2", true, 1, false},
        {1399, "2", true, 1, false},  {1400, "1", true, 2, false},  {2099, "1", true, 2, false},
        {2100, "3", false, 3, true},  // the digit is hidden and reset; "0" is never seen
    };
    std::uint64_t at = 0;
    for (const auto& e : timeline) {
        Advance(e.at - at);
        at = e.at;
        SCOPED_TRACE(e.at);
        EXPECT_EQ(F().Label1->Caption(), e.digit);
        EXPECT_EQ(F().Label1->Visible(), e.digitShown);
        EXPECT_EQ(Plays("count"), e.counts);
        EXPECT_EQ(F().HITimer1->Enabled(), e.stepping);
    }
    EXPECT_FALSE(F().HITimer2->Enabled());
    EXPECT_EQ(F().countdownActive, 0);
    EXPECT_EQ(F().HITimer1->Interval(), 15u);
    // The first step comes 15 ms after the third "count".
    Advance(14);
    EXPECT_EQ(F().Label2->Left(), 96);
    Advance(1);
    EXPECT_EQ(F().Label2->Left(), 95);
    EXPECT_EQ(F().Label2->Top(), 105);
}

TEST_F(TitleTest, PromptKeepsItsVisibilityThroughTheCountdown)
{
    Advance(500);  // hidden
    Click(100, 100);
    Advance(1400);
    EXPECT_FALSE(F().Label8->Visible());
}

TEST_F(TitleTest, AGameOverDuringALaterCountdownKeepsTheDigitsNumber)
{
    // A first game, lost at once: the ball runs on from then.
    Move(300, 300);
    Click(100, 100);
    Advance(2100);
    Place(1, 50, 4);
    Advance(15);
    ASSERT_TRUE(F().Panel2->Visible());
    // A second countdown, with the ball far from any edge until it reaches "2".
    Place(96, 104, 0);
    Click(100, 100);
    EXPECT_EQ(F().countdownActive, 1);
    Advance(700);
    EXPECT_EQ(F().Label1->Caption(), "2");
    Place(5, 100, 4);  // the left edge five steps on
    Advance(100);
    EXPECT_TRUE(F().Panel2->Visible());
    EXPECT_EQ(F().countdownActive, 0);
    EXPECT_EQ(F().Label1->Caption(), "2") << "the digit keeps its number";
    EXPECT_EQ(F().HITimer2->Interval(), 500u);
    // The next countdown starts from 2 and ends 1400 ms after the click.
    Place(96, 104, 0);
    Click(100, 100);
    Advance(1399);
    EXPECT_TRUE(F().Label1->Visible());
    EXPECT_EQ(F().Label1->Caption(), "1");
    Advance(1);
    EXPECT_FALSE(F().Label1->Visible());
    EXPECT_EQ(Plays("count"), 3 + 1 + 2);
}

TEST_F(TitleTest, AfterTheFirstGameTheBallGoesOnBehindTheTitleScreen)
{
    Click(100, 100);
    Advance(2100);
    // Paddles far away: the ball from (96, 104) heading 6 meets the bottom edge 94 steps later.
    Move(300, 300);
    Advance(96 * 15);
    EXPECT_EQ(Plays("Lose"), 1);
    EXPECT_TRUE(F().Panel2->Visible());
    std::filesystem::remove("Best.dat");
    // Behind the title screen it keeps going, losing again at the next edge.
    Advance(2000);
    EXPECT_GE(Plays("Lose"), 2);
    EXPECT_TRUE(std::filesystem::exists("Best.dat")) << "rewritten at the next edge";
    EXPECT_TRUE(F().Panel2->Visible());
    EXPECT_TRUE(F().HITimer1->Enabled());
    EXPECT_TRUE(F().HITimer2->Enabled());
}

TEST_F(TitleTest, PointerHidesOverTheFieldAndShowsOverTheTitleScreen)
{
    EXPECT_EQ(CursorDisplayCount(), 0);
    Move(100, 100);  // over the title screen
    EXPECT_EQ(CursorDisplayCount(), 1);
    Click(100, 100);
    for (int i = 0; i < 10; ++i)
        Move(30 + i, 30);  // over the ground of the field
    EXPECT_EQ(CursorDisplayCount(), -10);
    {
        UIGuard guard;
        F().Panel2->SetVisible(true);
    }
    Move(100, 100);
    EXPECT_EQ(CursorDisplayCount(), 1);
    // Leaving the window brings a hidden pointer back.
    {
        UIGuard guard;
        F().Panel2->SetVisible(false);
    }
    Move(30, 30);
    SendMessage(F().Handle(), WM_MOUSELEAVE);
    EXPECT_GE(CursorDisplayCount(), 0);
}

}  // namespace
