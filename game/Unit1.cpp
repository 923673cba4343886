#include "game/Unit1.h"

#include "game/BestScoreFile.h"
#include "placement/KSavePos.h"
#include "platform/core/UILock.h"
#include "platform/services/Cursor.h"
#include "sound/DXSounds.h"
#include "timer/HTimer.h"

TForm1* Form1 = nullptr;

namespace {

TFont Face(const char* name, int height, bool bold, TColor color)
{
    return TFont{name, height, bold, color, SHIFTJIS_CHARSET};
}

constexpr const char* kPGothic = "ＭＳ Ｐゴシック";
constexpr const char* kHeavy = "ＤＦ特太ゴシック体";
constexpr const char* kHeiseiW5 = "ＤＦ平成ゴシック体W5";

// Where the ball stands between games.
constexpr int kBallHomeLeft = 96;
constexpr int kBallHomeTop = 104;

}  // namespace

std::int32_t TurnHeading(std::int32_t direction, Rebound event)
{
    // Rows of the heading-change table, for headings 2, 4, 6 and 8.
    static constexpr std::int32_t kTable[6][4] = {
        {2, 2, 8, 8},  // left edge
        {4, 4, 6, 6},  // right edge
        {8, 6, 6, 8},  // top edge
        {2, 4, 4, 2},  // bottom edge
        {8, 6, 4, 2},  // bottom or top paddle
        {4, 2, 8, 6},  // left or right paddle
    };
    if (direction != 2 && direction != 4 && direction != 6 && direction != 8)
        return direction;
    return kTable[static_cast<int>(event)][direction / 2 - 1];
}

std::uint32_t StepInterval(std::int32_t hits)
{
    static constexpr struct {
        std::int32_t from;
        std::uint32_t interval;
    } kSpeeds[] = {{200, 4}, {150, 5}, {120, 6}, {100, 7}, {80, 8}, {60, 9},
                   {50, 10}, {40, 11}, {30, 12}, {20, 13}, {10, 14}};
    for (const auto& speed : kSpeeds)
        if (hits >= speed.from)
            return speed.interval;
    return 0;
}

TForm1::TForm1(TComponent* owner) : TForm(owner)
{
    Form1 = this;
    try {
        ReadLayout();
    } catch (...) {
        Form1 = nullptr;
        throw;
    }
    DoCreate();
}

TForm1::~TForm1()
{
    // Ticks stop before anything their handlers touch goes: the elements and the sound
    // components are destroyed before the timers.
    if (HITimer1 != nullptr)
        HITimer1->SetEnabled(false);
    if (HITimer2 != nullptr)
        HITimer2->SetEnabled(false);
    DestroyForm();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::ReadLayout()
{
    BeginLayout();
    SetName("Form1");
    SetLeft(368);
    SetTop(229);
    SetClientSize(201, 248);
    SetCaption("Zimbrot");
    SetColor(clBlack);
    SetFont(Face(kPGothic, -12, false, clWindowText));
    SetOnCreate([this](TComponent* sender) { FormCreate(sender); });
    auto formMouseMove = [this](TComponent* sender, TShiftState shift, int x, int y) {
        FormMouseMove(sender, shift, x, y);
    };
    auto panel2MouseMove = [this](TComponent* sender, TShiftState shift, int x, int y) {
        Panel2MouseMove(sender, shift, x, y);
    };
    auto panel2Click = [this](TComponent* sender) { Panel2Click(sender); };
    SetOnMouseMove(formMouseMove);

    Label2 = ReadElement<TLabel>(this, "Label2", [](TLabel& l) {
        l.SetBounds(96, 104, 12, 12);
        l.SetCaption("●");
        l.SetColor(clBlack);
        l.SetFont(Face(kPGothic, -12, false, clWhite));
    });
    auto paddle = [this](const char* name, int left, int top, int width, int height) {
        return ReadElement<TBevel>(this, name, [=](TBevel& b) { b.SetBounds(left, top, width, height); });
    };
    Bevel1 = paddle("Bevel1", 80, 192, 42, 1);
    Bevel2 = paddle("Bevel2", 80, 16, 42, 1);
    Bevel3 = paddle("Bevel3", 16, 80, 1, 42);
    Bevel4 = paddle("Bevel4", 184, 80, 1, 42);
    Bevel5 = ReadElement<TBevel>(this, "Bevel5", [](TBevel& b) {
        b.SetBounds(0, 208, 201, 1);
        b.SetVisible(false);
    });
    Label1 = ReadElement<TLabel>(this, "Label1", [&](TLabel& l) {
        l.SetBounds(77, 56, 50, 96);
        l.SetCaption("3");
        l.SetColor(clBlack);
        l.SetFont(Face(kHeavy, -96, true, clWhite));
        l.SetOnMouseMove(formMouseMove);
    });

    Panel1 = ReadElement<TPanel>(this, "Panel1", [&](TPanel& p) {
        p.SetBounds(-8, 208, 217, 49);
        p.SetColor(clWhite);
        p.SetFont(Font());
        p.SetOnMouseMove(formMouseMove);
        auto strip = [&](const char* name, int left, int top, int width, TAlignment alignment, const char* text) {
            return ReadElement<TLabel>(&p, name, [=](TLabel& l) {
                l.SetBounds(left, top, width, 12);
                l.SetAlignment(alignment);
                l.SetCaption(text);
                l.SetColor(clWhite);
                l.SetFont(Face(kPGothic, -12, true, clWindowText));
            });
        };
        Label3 = strip("Label3", 102, 8, 8, TAlignment::taRightJustify, "0");
        Label4 = strip("Label4", 112, 8, 19, TAlignment::taLeftJustify, "Hit");
        Label5 = strip("Label5", 112, 24, 47, TAlignment::taLeftJustify, "BestHit");
        Label6 = strip("Label6", 102, 24, 8, TAlignment::taRightJustify, "1");
    });

    Panel2 = ReadElement<TPanel>(this, "Panel2", [&](TPanel& p) {
        p.SetBounds(0, 0, 201, 248);
        p.SetAlign(TAlign::alClient);
        p.SetColor(clBlack);
        p.SetFont(Font());
        p.SetOnClick(panel2Click);
        p.SetOnMouseMove(panel2MouseMove);
        auto title = [&](const char* name, int left, int top, int width, int height, const char* text, TFont font) {
            return ReadElement<TLabel>(&p, name, [=](TLabel& l) {
                l.SetBounds(left, top, width, height);
                l.SetCaption(text);
                l.SetColor(clBlack);
                l.SetFont(font);
                l.SetOnClick(panel2Click);
                l.SetOnMouseMove(panel2MouseMove);
            });
        };
        Label7 = title("Label7", 16, 16, 176, 48, "Zimbrot", Face(kHeavy, -48, true, clWhite));
        Label8 = title("Label8", 56, 184, 97, 29, "Click!", Face(kHeavy, -29, true, clWhite));
        Label9 = title("Label9", 96, 64, 92, 24, "var 0.2", Face(kHeavy, -24, true, clWhite));
        Label10 = title("Label10", 16, 224, 168, 13, kCreditLine, Face(kHeiseiW5, -13, false, clWhite));
    });

    HITimer1 = ReadComponent<THITimer>("HITimer1", [this](THITimer& t) {
        t.SetEnabled(false);
        t.SetInterval(15);
        t.SetOnTimer([this](TComponent* sender) { HITimer1Timer(sender); });
    });
    HITimer2 = ReadComponent<THITimer>("HITimer2", [this](THITimer& t) {
        t.SetInterval(500);
        t.SetOnTimer([this](TComponent* sender) { HITimer2Timer(sender); });
    });
    KSavePosIni1 = ReadComponent<TKSavePosIni>("KSavePosIni1", [](TKSavePosIni& s) {
        s.SetSaveBounds(true);
        s.SetResumeIconic(false);
    });
    DXWaveList1 = ReadComponent<TDXWaveList>("DXWaveList1", [](TDXWaveList& list) { AddBuiltinClips(list); });
    DXSound1 = ReadComponent<TDXSound>("DXSound1", [](TDXSound& sound) { sound.SetAutoInitialize(true); });
    // References between components are resolved once the whole layout has been read.
    DXWaveList1->SetDXSound(DXSound1);
    EndLayout();
}

void TForm1::PlayClip(const char* name) { DXWaveList1->Items().FindWave(name).PlayWave(false); }

void TForm1::FormCreate(TComponent*)
{
    direction = 6;
    bestScore = ReadBestScore(kBestFile);
    Label6->SetCaption(IntToStr(bestScore));
}

void TForm1::HITimer1Timer(TComponent*)
{
    static constexpr int kMove[9][2] = {{0, 0}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    if (direction >= 1 && direction <= 8)
        Label2->SetBounds(Label2->Left() + kMove[direction][0], Label2->Top() + kMove[direction][1], Label2->Width(),
                          Label2->Height());

    // Edges, in this order; a game over puts the ball home, where no later edge holds.
    for (Rebound edge : {Rebound::LeftEdge, Rebound::RightEdge, Rebound::TopEdge, Rebound::BottomEdge}) {
        if (!OnEdge(edge))
            continue;
        PlayClip("Lose");
        direction = TurnHeading(direction, edge);
        GameOver();
    }

    // Paddles, in this order, each seeing the heading the ones before left.
    auto reachX = [this](TBevel* paddle) {
        return Label2->Left() >= paddle->Left() - 15 && Label2->Left() <= paddle->Left() + 50;
    };
    auto reachY = [this](TBevel* paddle) {
        return Label2->Top() >= paddle->Top() - 15 && Label2->Top() <= paddle->Top() + 50;
    };
    auto hit = [this](Rebound rebound) {
        PlayClip("Hit");
        Label3->SetCaption(IntToStr(StrToInt(Label3->Caption()) + 1));
        direction = TurnHeading(direction, rebound);
    };
    if (Label2->Top() == Bevel1->Top() - 7 && reachX(Bevel1))
        hit(Rebound::TopOrBottomPaddle);
    if (Label2->Top() == Bevel2->Top() && reachX(Bevel2))
        hit(Rebound::TopOrBottomPaddle);
    if (Label2->Left() == Bevel3->Left() && reachY(Bevel3))
        hit(Rebound::LeftOrRightPaddle);
    if (Label2->Left() == Bevel4->Left() - 6 && reachY(Bevel4))
        hit(Rebound::LeftOrRightPaddle);

    std::int32_t hits = StrToInt(Label3->Caption());
    if (hits > StrToInt(Label6->Caption()))
        Label6->SetCaption(Label3->Caption());
    if (std::uint32_t interval = StepInterval(hits))
        HITimer1->SetInterval(interval);
}

bool TForm1::OnEdge(Rebound edge) const
{
    switch (edge) {
    case Rebound::LeftEdge: return Label2->Left() == 0;
    case Rebound::RightEdge: return Label2->Left() == Form1->Width() - 15;
    case Rebound::TopEdge: return Label2->Top() == 0;
    case Rebound::BottomEdge: return Label2->Top() == Bevel5->Top() - 10;
    default: return false;
    }
}

void TForm1::GameOver()
{
    bestScore = StrToInt(Label6->Caption());
    StoreBestScore(kBestFile, bestScore);
    countdownActive = 0;
    HITimer2->SetInterval(500);
    Panel2->SetVisible(true);
    Label3->SetCaption("0");
    Label2->SetLeft(kBallHomeLeft);
    Label2->SetTop(kBallHomeTop);
    Label1->SetVisible(true);
    HITimer2->SetEnabled(true);
}

void TForm1::HITimer2Timer(TComponent*)
{
    if (countdownActive != 1) {
        Label8->SetVisible(!Label8->Visible());
        return;
    }
    PlayClip("count");
    Label1->SetCaption(IntToStr(StrToInt(Label1->Caption()) - 1));
    if (Label1->Caption() == "0") {
        Label1->SetVisible(false);
        Label1->SetCaption("3");
        countdownActive = 0;
        HITimer2->SetEnabled(false);
        HITimer1->SetEnabled(false);
        HITimer1->SetInterval(15);
        HITimer1->SetEnabled(true);
    }
}

void TForm1::Panel2Click(TComponent*)
{
    countdownActive = 1;
    HITimer2->SetInterval(700);
    Panel2->SetVisible(false);
}

void TForm1::FormMouseMove(TComponent*, TShiftState, int x, int y)
{
    while (ShowCursor(false) >= 0) {
    }
    Bevel1->SetLeft(x);
    Bevel2->SetLeft(x);
    Bevel3->SetTop(y);
    Bevel4->SetTop(y);
}

void TForm1::Panel2MouseMove(TComponent*, TShiftState, int, int)
{
    while (ShowCursor(true) <= 0) {
    }
}

void TForm1::WndProc(TMessage& message)
{
    // A pointer hidden over the field comes back when it leaves the window.
    if (message.Msg == WM_MOUSELEAVE)
        while (ShowCursor(true) < 0) {
        }
    TForm::WndProc(message);
}
