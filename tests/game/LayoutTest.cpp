// The main window as it is made: every element's place, size, text, font, colours and
// visibility, the handlers wired to each, and the start-up's error paths.

#include "GameFixture.h"

#include "game/Program.h"

namespace {

class LayoutTest : public GameFixture {};

TEST_F(LayoutTest, EveryElementHasItsPlaceTextFontAndColours)
{
    Create(7);
    // Sizes follow the text in the headless metrics: half an em per single-byte character.
    const struct {
        TControl* TForm1::*element;
        const char* name;
        TControl* TForm1::*parent;  // null: the window
        int left, top, width, height;
        const char* caption;        // null: not a label
        const char* face;
        int fontHeight;
        bool bold;
        TColor text, background;
        bool visible;
    } rows[] = {
#define E(field) reinterpret_cast<TControl* TForm1::*>(&TForm1::field)
        {E(Label2), "Label2", nullptr, 96, 104, 12, 12, "●", "ＭＳ Ｐゴシック", -12, false, clWhite, clBlack, true},
        {E(Bevel1), "Bevel1", nullptr, 80, 192, 42, 1, nullptr, nullptr, 0, false, 0, 0, true},
        {E(Bevel2), "Bevel2", nullptr, 80, 16, 42, 1, nullptr, nullptr, 0, false, 0, 0, true},
        {E(Bevel3), "Bevel3", nullptr, 16, 80, 1, 42, nullptr, nullptr, 0, false, 0, 0, true},
        {E(Bevel4), "Bevel4", nullptr, 184, 80, 1, 42, nullptr, nullptr, 0, false, 0, 0, true},
        {E(Bevel5), "Bevel5", nullptr, 0, 208, 201, 1, nullptr, nullptr, 0, false, 0, 0, false},
        {E(Label1), "Label1", nullptr, 77, 56, 48, 96, "3", "ＤＦ特太ゴシック体", -96, true, clWhite, clBlack, true},
        {E(Panel1), "Panel1", nullptr, -8, 208, 217, 49, nullptr, nullptr, 0, false, 0, clWhite, true},
        {E(Label3), "Label3", E(Panel1), 104, 8, 6, 12, "0", "ＭＳ Ｐゴシック", -12, true, clWindowText, clWhite, true},
        {E(Label4), "Label4", E(Panel1), 112, 8, 18, 12, "Hit", "ＭＳ Ｐゴシック", -12, true, clWindowText, clWhite, true},
        {E(Label5), "Label5", E(Panel1), 112, 24, 42, 12, "BestHit", "ＭＳ Ｐゴシック", -12, true, clWindowText, clWhite, true},
        {E(Label6), "Label6", E(Panel1), 104, 24, 6, 12, "7", "ＭＳ Ｐゴシック", -12, true, clWindowText, clWhite, true},
        {E(Panel2), "Panel2", nullptr, 0, 0, 201, 248, nullptr, nullptr, 0, false, 0, clBlack, true},
        {E(Label7), "Label7", E(Panel2), 16, 16, 168, 48, "Zimbrot", "ＤＦ特太ゴシック体", -48, true, clWhite, clBlack, true},
        {E(Label8), "Label8", E(Panel2), 56, 184, 90, 29, "Click!", "ＤＦ特太ゴシック体", -29, true, clWhite, clBlack, true},
        {E(Label9), "Label9", E(Panel2), 96, 64, 84, 24, "var 0.2", "ＤＦ特太ゴシック体", -24, true, clWhite, clBlack, true},
        {E(Label10), "Label10", E(Panel2), 16, 224, 161, 13, TForm1::kCreditLine, "ＤＦ平成ゴシック体W5", -13, false, clWhite, clBlack, true},
#undef E
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TControl* c = F().*row.element;
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->Name(), row.name);
        EXPECT_EQ(c->Owner(), &F());
        EXPECT_EQ(c->Parent(), row.parent ? static_cast<TWinControl*>(F().*row.parent) : &F());
        EXPECT_EQ(c->Left(), row.left);
        EXPECT_EQ(c->Top(), row.top);
        EXPECT_EQ(c->Width(), row.width);
        EXPECT_EQ(c->Height(), row.height);
        EXPECT_EQ(c->Visible(), row.visible);
        if (row.caption != nullptr) {
            auto* label = static_cast<TLabel*>(c);
            EXPECT_EQ(label->Caption(), row.caption);
            EXPECT_EQ(c->Font().Name, row.face);
            EXPECT_EQ(c->Font().Height, row.fontHeight);
            EXPECT_EQ(c->Font().Bold, row.bold);
            EXPECT_EQ(c->Font().Color, row.text);
            EXPECT_FALSE(label->Transparent());
        }
        if (row.caption != nullptr || dynamic_cast<TPanel*>(c) != nullptr) {
            EXPECT_EQ(c->Color(), row.background);
        }
    }
    // The two counts keep their right edge at 110.
    EXPECT_EQ(F().Label3->Left() + F().Label3->Width(), 110);
    EXPECT_EQ(F().Label6->Left() + F().Label6->Width(), 110);
    EXPECT_EQ(F().Label3->Alignment(), TAlignment::taRightJustify);
}

TEST_F(LayoutTest, TheWindowAndItsComponents)
{
    Create();
    EXPECT_EQ(F().Caption(), "Zimbrot");
    EXPECT_EQ(F().ClientWidth(), 201);
    EXPECT_EQ(F().ClientHeight(), 248);
    EXPECT_EQ(F().Width(), 207);
    EXPECT_EQ(F().Left(), 368);
    EXPECT_EQ(F().Top(), 229);
    EXPECT_EQ(F().Color(), clBlack);
    EXPECT_EQ(F().Font().Name, "ＭＳ Ｐゴシック");
    EXPECT_EQ(F().Font().Height, -12);
    EXPECT_EQ(F().Font().Charset, SHIFTJIS_CHARSET);

    EXPECT_FALSE(F().HITimer1->Enabled());
    EXPECT_EQ(F().HITimer1->Interval(), 15u);
    EXPECT_TRUE(F().HITimer2->Enabled());
    EXPECT_EQ(F().HITimer2->Interval(), 500u);
    EXPECT_NE(F().HITimer2->TimerID(), 0u);
    EXPECT_EQ(F().HITimer1->TimerID(), 0u);
    EXPECT_FALSE(F().KSavePosIni1->ResumeIconic());
    EXPECT_TRUE(F().KSavePosIni1->SaveBounds());
    EXPECT_EQ(F().Name(), "Form1");
    EXPECT_EQ(F().DXWaveList1->DXSound(), F().DXSound1);
    ASSERT_EQ(F().DXWaveList1->Items().Count(), 3);
    EXPECT_EQ(F().DXWaveList1->Items().Items(0).Name(), "count");
    EXPECT_EQ(F().DXWaveList1->Items().Items(1).Name(), "Hit");
    EXPECT_EQ(F().DXWaveList1->Items().Items(2).Name(), "Lose");
    EXPECT_TRUE(F().DXSound1->AutoInitialize());

    // The create handler has run: heading 6; the other fields stay 0.
    EXPECT_EQ(F().direction, 6);
    EXPECT_EQ(F().bestScore, 0);
    EXPECT_EQ(F().countdownActive, 0);
}

TEST_F(LayoutTest, PointerRoutingPlacesThePaddlesOnlyFromTheFieldTheDigitAndTheStrip)
{
    Create();
    {
        UIGuard guard;
        F().Panel2->SetVisible(false);
    }
    Place(30, 150, 6);
    const struct {
        int x, y;
        bool moves;
        int paddleLeft, paddleTop;
        int cursor;  // the display count after the move
        const char* over;
    } rows[] = {
        {100, 50, true, 100, 50, -1, "the ground"},
        {50, 220, true, 58, 12, -2, "the strip away from its labels"},
        {100, 100, true, 23, 44, -3, "the shown digit"},
        {35, 155, false, 23, 44, -3, "the ball"},
        {5, 215, true, 13, 7, -4, "the strip's left end"},
        {115, 220, false, 13, 7, -4, "the strip's Hit label"},
        {16, 20, false, 13, 7, -4, "the left paddle, where the strip's move put it"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.over);
        Move(row.x, row.y);
        EXPECT_EQ(F().Bevel1->Left(), row.paddleLeft);
        EXPECT_EQ(F().Bevel2->Left(), row.paddleLeft);
        EXPECT_EQ(F().Bevel3->Top(), row.paddleTop);
        EXPECT_EQ(F().Bevel4->Top(), row.paddleTop);
        EXPECT_EQ(F().Bevel1->Top(), 192);
        EXPECT_EQ(F().Bevel2->Top(), 16);
        EXPECT_EQ(F().Bevel3->Left(), 16);
        EXPECT_EQ(F().Bevel4->Left(), 184);
        EXPECT_EQ(CursorDisplayCount(), row.cursor);
    }
    // Over the title screen the pointer shows again, in one event however far it went.
    {
        UIGuard guard;
        F().Panel2->SetVisible(true);
    }
    Move(100, 100);
    EXPECT_EQ(CursorDisplayCount(), 1);
    EXPECT_EQ(F().Bevel1->Left(), 13) << "the title screen leaves the paddles alone";
}

TEST_F(LayoutTest, TitleScreenTakesEveryClickOnItselfAndItsLabels)
{
    const struct {
        int x, y;
        const char* on;
    } rows[] = {{5, 5, "the title screen"}, {20, 20, "the heading"}, {60, 190, "the prompt"},
                {100, 70, "the version text"}, {20, 228, "the credit line"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.on);
        Create();
        Click(row.x, row.y);
        EXPECT_EQ(F().countdownActive, 1);
        EXPECT_FALSE(F().Panel2->Visible());
        EXPECT_EQ(F().HITimer2->Interval(), 700u);
        Destroy();
    }
}

TEST_F(LayoutTest, ARefusedTitleTimerEndsTheStartWithTheFatalBoxAndCodeOne)
{
    WriteBest(3);
    clock.SetRefuse(true);
    EXPECT_EQ(RunZimbrot(), 1);
    EXPECT_EQ(Form1, nullptr);
    ASSERT_EQ(windows.Boxes().size(), 1u);
    const auto& box = windows.Boxes()[0];
    EXPECT_EQ(box.caption, "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ");
    EXPECT_FALSE(box.owned);
    EXPECT_EQ(box.type, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    EXPECT_EQ(box.text.rfind("EHITimerErrorがﾓｼﾞｭｰﾙ ", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(" で発生しました。\nNo timer available."), std::string::npos) << box.text;
}

TEST_F(LayoutTest, AnErrorInTheCreateHandlerIsShownAndTheProgramGoesOn)
{
    // No best-score file: the box comes before the window, and the game starts anyway.
    Create(0, false);
    ASSERT_EQ(windows.Boxes().size(), 1u);
    EXPECT_EQ(windows.Boxes()[0].text, "ﾌｧｲﾙが見つかりません.");
    EXPECT_EQ(windows.Boxes()[0].caption, "Zimbrot");
    EXPECT_TRUE(windows.Boxes()[0].owned);
    EXPECT_EQ(F().Label6->Caption(), "1");
    EXPECT_EQ(F().direction, 6);
    EXPECT_EQ(F().bestScore, 0);
}

TEST_F(LayoutTest, TitleTimerKeepsTickingWhileTheErrorBoxIsUp)
{
    // The box waits for the user without the lock; ticks go on meanwhile.
    int blinksDuringBox = -1;
    windows.SetWhileBoxUp([&] {
        bool before = Form1 != nullptr && Form1->Label8->Visible();
        clock.Advance(500);
        blinksDuringBox = Form1 != nullptr && Form1->Label8->Visible() != before;
    });
    Create(0, false);
    EXPECT_EQ(blinksDuringBox, 1);
}

}  // namespace
