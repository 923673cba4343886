// The application object: the error box's text and the fatal error box's two lines.

#include "platform/controls/Form.h"
#include "platform/core/Application.h"
#include "platform/headless/HeadlessWindowSystem.h"

#include <gtest/gtest.h>

namespace {

ZIM_DECLARE_EXCEPTION(ETestError, Exception);

TEST(ErrorBoxText, AppendsAPeriodUnlessTheMessageEndsInASmallSingleByteCharacter)
{
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"ﾌｧｲﾙが見つかりません", "ﾌｧｲﾙが見つかりません."},     // ends in a double-byte character
        {"No timer available", "No timer available."},         // ends in a letter
        {"I/O ｴﾗｰ (32)", "I/O ｴﾗｰ (32)"},                      // ends in ")"
        {"done.", "done."},                                    // ends in "."
        {"trailing ", "trailing "},                            // ends in a space
        {"ends in -", "ends in -"},                            // 0x2D
        {"ends in /", "ends in /."},                           // 0x2F is past the limit
        {"ﾃﾞｨｽｸ", "ﾃﾞｨｽｸ."},                                   // half-width katakana are letters here
        {"", ""},                                              // an empty message shows an empty box
    };
    for (const auto& c : cases)
        EXPECT_EQ(TApplication::ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(FatalText, NamesTheClassModuleAndPlaceThenTheMessage)
{
    ETestError error("No timer available");
    std::string text = TApplication::FatalText(error, "/usr/games/zimbrot");
    auto newline = text.find('\n');
    ASSERT_NE(newline, std::string::npos);
    std::string first = text.substr(0, newline);
    EXPECT_EQ(first.rfind("ETestErrorがﾓｼﾞｭｰﾙ zimbrot の ", 0), 0u) << first;
    // Eight hexadecimal digits, then the closing words.
    std::string place = first.substr(std::string("ETestErrorがﾓｼﾞｭｰﾙ zimbrot の ").size(), 8);
    EXPECT_EQ(place.find_first_not_of("0123456789ABCDEF"), std::string::npos) << place;
    EXPECT_EQ(first.substr(first.size() - std::string(" で発生しました。").size()), " で発生しました。");
    EXPECT_EQ(text.substr(newline + 1), "No timer available.");
    EXPECT_STREQ(TApplication::FatalCaption(), "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ");

    EXPECT_EQ(TApplication::FatalText(ETestError("ends."), "z").substr(TApplication::FatalText(ETestError("ends."), "z").find('\n') + 1),
              "ends.");
    EXPECT_EQ(TApplication::FatalText(ETestError(""), "z").back(), '\n');
}

TEST(HandleException, ShowsTheErrorBoxOwnedByTheApplicationAndCancelsTheCapture)
{
    HeadlessWindowSystem windows;
    SetWindowSystem(&windows);
    {
        TApplication application(nullptr);
        Application = &application;
        application.SetTitle("Zimbrot");
        TForm* form = nullptr;
        application.CreateForm(form);
        form->SetClientSize(10, 10);
        SetCaptureControl(form);
        application.HandleException(EInOutError(2));
        ASSERT_EQ(windows.Boxes().size(), 1u);
        EXPECT_EQ(windows.Boxes()[0].text, "ﾌｧｲﾙが見つかりません.");
        EXPECT_EQ(windows.Boxes()[0].caption, "Zimbrot");
        EXPECT_EQ(windows.Boxes()[0].type, MB_OK | MB_ICONSTOP);
        EXPECT_TRUE(windows.Boxes()[0].owned);
        EXPECT_EQ(CaptureControl(), nullptr);
        EXPECT_EQ(application.MainForm(), form);
    }
    Application = nullptr;
    SetWindowSystem(nullptr);
}

TEST(EInOutError, MessagesFollowTheCode)
{
    const struct {
        int code;
        const char* message;
    } cases[] = {
        {2, "ﾌｧｲﾙが見つかりません"},         {3, "不正なﾌｧｲﾙ名です"},
        {4, "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます"},     {5, "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
        {100, "ﾌｧｲﾙの末尾以降を読み込みました"}, {101, "ﾃﾞｨｽｸがいっぱいです"},
        {32, "I/O ｴﾗｰ (32)"},
    };
    for (const auto& c : cases) {
        EInOutError error(c.code);
        EXPECT_EQ(error.Message(), c.message);
        EXPECT_EQ(error.ErrorCode(), c.code);
        EXPECT_STREQ(error.ClassName(), "EInOutError");
    }
}

}  // namespace
