#pragma once

#include "platform/controls/Form.h"
#include "platform/controls/StdCtrls.h"

#include <cstdint>
#include <string>

class THITimer;
class TKSavePosIni;
class TDXWaveList;
class TDXSound;

// What the ball meets in a step.
enum class Rebound { LeftEdge, RightEdge, TopEdge, BottomEdge, TopOrBottomPaddle, LeftOrRightPaddle };

// The game's only window: the field with the ball and four paddles, the countdown digit, the
// score strip and the title screen, with every game rule in its handlers.
class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* owner);
    ~TForm1() override;

    // The elements, by their layout names.
    TLabel* Label2 = nullptr;  // the ball
    TBevel* Bevel1 = nullptr;  // bottom paddle
    TBevel* Bevel2 = nullptr;  // top paddle
    TBevel* Bevel3 = nullptr;  // left paddle
    TBevel* Bevel4 = nullptr;  // right paddle
    TBevel* Bevel5 = nullptr;  // floor line, never shown
    TLabel* Label1 = nullptr;  // countdown digit
    TPanel* Panel1 = nullptr;  // score strip
    TLabel* Label3 = nullptr;  // hit count
    TLabel* Label4 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label6 = nullptr;  // best count
    TPanel* Panel2 = nullptr;  // title screen
    TLabel* Label7 = nullptr;  // heading
    TLabel* Label8 = nullptr;  // prompt
    TLabel* Label9 = nullptr;  // version text
    TLabel* Label10 = nullptr; // credit line
    THITimer* HITimer1 = nullptr;  // step timer
    THITimer* HITimer2 = nullptr;  // title timer
    TKSavePosIni* KSavePosIni1 = nullptr;
    TDXWaveList* DXWaveList1 = nullptr;
    TDXSound* DXSound1 = nullptr;

    // The game's fields.
    std::int32_t direction = 0;
    std::int32_t bestScore = 0;
    std::int32_t countdownActive = 0;

    // The handlers.
    void FormCreate(TComponent* sender);
    void FormMouseMove(TComponent* sender, TShiftState shift, int x, int y);
    void Panel2MouseMove(TComponent* sender, TShiftState shift, int x, int y);
    void Panel2Click(TComponent* sender);
    void HITimer1Timer(TComponent* sender);
    void HITimer2Timer(TComponent* sender);

    void WndProc(TMessage& message) override;

    // Where the best score is kept, relative to the current directory.
    static constexpr const char* kBestFile = "Best.dat";
    static constexpr const char* kCreditLine = "(C) The Zimbrot Project";

private:
    void ReadLayout();
    bool OnEdge(Rebound edge) const;
    void GameOver();
    void PlayClip(const char* name);
};

extern TForm1* Form1;

// The rules of the step, as tables: the heading after meeting an edge or a paddle, the step
// timer's interval for a hit count (0 leaves it alone).
std::int32_t TurnHeading(std::int32_t direction, Rebound event);
std::uint32_t StepInterval(std::int32_t hits);
