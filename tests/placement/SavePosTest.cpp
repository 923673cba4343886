// The placement saver on the headless window system, with its INI file in a temporary folder.
#include "platform/services/Profile.h"
#include "tests/placement/PlacementFixture.h"

#include <filesystem>

namespace {

class SavePosTest : public PlacementTest {
protected:
    std::unique_ptr<TestForm> MakeForm(const FormLayout& layout = {})
    {
        return std::make_unique<TestForm>(nullptr, layout);
    }
    std::string Value(const std::string& key = "Form1.Bounds")
    {
        return GetPrivateProfileString("Bounds", key, "<none>", Ini());
    }
};

TEST_F(SavePosTest, FirstStartKeepsTheDesignedPlaceAndTheEndWritesIt)
{
    auto form = MakeForm();
    EXPECT_TRUE(form->HandleAllocated()) << "the end of loading made the window";
    EXPECT_EQ(GetWindowProc(form->Handle()), form->saver->HookProc());
    EXPECT_FALSE(HostOf(*form).Visible());
    EXPECT_EQ(PlacementOf(*form).rcNormalPosition, (RECT{368, 229, 575, 502}));
    EXPECT_FALSE(std::filesystem::exists(Ini())) << "reading writes nothing";

    form->Show();
    form.reset();
    EXPECT_EQ(ReadFile(Ini()), "[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,368,229,575,502\n");
}

struct LoadCase {
    const char* name;
    const char* value;  // nullptr: no file
    bool resumeIconic;
    TWindowState state;
    RECT normal;
    POINT minPosition;
    POINT maxPosition;
};

TEST_F(SavePosTest, LoadAppliesTheSavedValueWithTheWindowHidden)
{
    const RECT designed{368, 229, 575, 502};
    const POINT none{-1, -1};
    const LoadCase cases[] = {
        {"no file", nullptr, false, wsNormal, designed, none, none},
        {"empty value", "", false, wsNormal, designed, none, none},
        {"normal", "0,1,2,3,4,100,50,307,325", false, wsNormal, {100, 50, 307, 325}, {1, 2}, {3, 4}},
        {"maximised", "2,-1,-1,-8,-8,100,50,307,325", false, wsMaximized, {100, 50, 307, 325}, none, {-8, -8}},
        {"minimised, not resumed", "1,-32000,-32000,-1,-1,100,50,307,325", false, wsNormal, {100, 50, 307, 325},
         {-32000, -32000}, none},
        {"minimised, resumed", "1,-32000,-32000,-1,-1,100,50,307,325", true, wsMinimized, {100, 50, 307, 325},
         {-32000, -32000}, none},
        {"three items", "0,100,50", false, wsNormal, designed, none, none},
        {"ten items", "0,-1,-1,-1,-1,100,50,307,325,9", false, wsNormal, designed, none, none},
        {"sixth item not a number", "2,-1,-1,-1,-1,left,50,307,325", false, wsMaximized, {368, 50, 307, 325}, none,
         none},
        {"blanks around commas", " 0 , -1,-1 ,-1, -1 , 100 ,50 , 307,325 ", false, wsNormal, {100, 50, 307, 325},
         none, none},
        {"blanks only", "0 -1 -1 -1 -1 100 50 307 325", false, wsNormal, {100, 50, 307, 325}, none, none},
        {"negative coordinates", "0,-5,-6,-7,-8,-100,-20,107,253", false, wsNormal, {-100, -20, 107, 253},
         {-5, -6}, {-7, -8}},
        {"hexadecimal", "$2,-1,-1,-1,-1,$64,50,307,325", false, wsMaximized, {100, 50, 307, 325}, none, none},
        {"state not a number", "max,-1,-1,-1,-1,100,50,307,325", false, wsNormal, {100, 50, 307, 325}, none, none},
        {"state out of range", "7,-1,-1,-1,-1,100,50,307,325", false, wsNormal, {100, 50, 307, 325}, none, none},
        {"negative state", "-1,-1,-1,-1,-1,100,50,307,325", false, wsNormal, {100, 50, 307, 325}, none, none},
        {"quoted items", "\"0\",-1,-1,-1,-1,\"100\",50,307,325", false, wsNormal, {100, 50, 307, 325}, none, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Ini());
        if (c.value != nullptr)
            WriteFile(Ini(), std::string("[Bounds]\nForm1.Bounds=") + c.value + "\n");
        FormLayout layout;
        layout.resumeIconic = c.resumeIconic;
        auto form = MakeForm(layout);
        EXPECT_FALSE(HostOf(*form).Visible());
        EXPECT_EQ(form->WindowState(), c.state);
        WINDOWPLACEMENT p = PlacementOf(*form);
        EXPECT_EQ(p.rcNormalPosition, c.normal);
        EXPECT_EQ(p.ptMinPosition, c.minPosition);
        EXPECT_EQ(p.ptMaxPosition, c.maxPosition);
        form->saver->SetSaveBounds(false);  // leave the file as the case wrote it
    }
}

TEST_F(SavePosTest, APlaceOnNoDisplayFallsBackToTheDesignedOne)
{
    const struct {
        const char* name;
        std::vector<RECT> areas;
        const char* value;
        RECT normal;
    } cases[] = {
        {"right of the screen", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,3000,100,3207,373", {368, 229, 575, 502}},
        {"above the screen", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,100,-400,307,-127", {368, 229, 575, 502}},
        {"touching the edge only", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,-207,0,0,273", {368, 229, 575, 502}},
        {"one pixel on screen", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,-206,0,1,273", {-206, 0, 1, 273}},
        {"on a second display", {{0, 0, 1024, 768}, {1024, 0, 2048, 768}}, "0,-1,-1,-1,-1,1500,100,1707,373",
         {1500, 100, 1707, 373}},
        {"that display since removed", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,1500,100,1707,373",
         {368, 229, 575, 502}},
        {"an empty rectangle on screen", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,100,100,100,100", {100, 100, 100, 100}},
        {"an empty rectangle off screen", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,-300,100,-300,100", {368, 229, 575, 502}},
        {"far beyond the 32-bit range", {{0, 0, 1024, 768}}, "0,-1,-1,-1,-1,2147483600,0,2147483647,273",
         {368, 229, 415, 502}},
        {"designed place off screen too", {{2000, 0, 2800, 600}}, "0,-1,-1,-1,-1,-900,100,-693,373",
         {2000, 0, 2207, 273}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        windows_.SetWorkAreas(c.areas);
        WriteFile(Ini(), std::string("[Bounds]\nForm1.Bounds=") + c.value + "\n");
        auto form = MakeForm();
        EXPECT_EQ(PlacementOf(*form).rcNormalPosition, c.normal);
        form->saver->SetSaveBounds(false);
    }
}

TEST_F(SavePosTest, SaveWritesTheStateTheWindowIsIn)
{
    const struct {
        const char* name;
        TWindowState shownAs;
        const char* value;
    } cases[] = {
        {"normal", wsNormal, "0,-1,-1,-1,-1,368,229,575,502"},
        {"maximised", wsMaximized, "2,-1,-1,-1,-1,368,229,575,502"},
        {"minimised", wsMinimized, "1,-1,-1,-1,-1,368,229,575,502"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto form = MakeForm();
        form->SetWindowState(c.shownAs);
        form->Show();
        // Straight to the window's end: the headless window forgets "minimised" once hidden.
        form->DestroyHandle();
        EXPECT_EQ(Value(), c.value);
    }
}

TEST_F(SavePosTest, AMinimisedApplicationSavesStateOneForItsMainForm)
{
    TApplication application(nullptr);
    Application = &application;
    TestForm* form = nullptr;
    application.CreateForm(form);
    ASSERT_EQ(application.MainForm(), form);
    form->SetWindowState(wsMinimized);
    form->Show();
    ASSERT_TRUE(IsIconic(application.Handle()));
    form->DestroyHandle();
    EXPECT_EQ(Value(), "1,-1,-1,-1,-1,368,229,575,502");
    EXPECT_TRUE(windows_.Boxes().empty());
}

TEST_F(SavePosTest, AMaximisedFormComesBackMaximisedAndRestoresToItsNormalPlace)
{
    WriteFile(Ini(), "[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,100,50,307,325\n");
    auto form = MakeForm();
    form->SetWindowState(wsMaximized);
    form->Show();
    form.reset();
    EXPECT_EQ(Value(), "2,-1,-1,-1,-1,100,50,307,325");

    form = MakeForm();
    EXPECT_EQ(form->WindowState(), wsMaximized);
    form->Show();
    EXPECT_EQ(HostOf(*form).ShowState(), SW_SHOWMAXIMIZED);
    form->SetWindowState(wsNormal);
    EXPECT_EQ(HostOf(*form).ShowState(), SW_SHOWNORMAL);
    EXPECT_EQ(PlacementOf(*form).rcNormalPosition, (RECT{100, 50, 307, 325}));
}

TEST_F(SavePosTest, LoadingLaterKeepsTheWindowsShowCommand)
{
    auto form = MakeForm();
    form->Show();
    WriteFile(Ini(), "[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,100,50,307,325\n");
    form->saver->LoadPos();  // no longer loading: the shown window stays shown
    EXPECT_TRUE(HostOf(*form).Visible());
    EXPECT_EQ(PlacementOf(*form).rcNormalPosition, (RECT{100, 50, 307, 325}));
}

TEST_F(SavePosTest, SaveBoundsFalseNeitherReadsNorWritesButHooks)
{
    WriteFile(Ini(), "; mine\n[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,100,50,307,325\n");
    FormLayout layout;
    layout.saveBounds = false;
    auto form = MakeForm(layout);
    EXPECT_EQ(GetWindowProc(form->Handle()), form->saver->HookProc());
    EXPECT_EQ(PlacementOf(*form).rcNormalPosition, (RECT{368, 229, 575, 502}));
    form->Show();
    form.reset();
    EXPECT_EQ(ReadFile(Ini()), "; mine\n[Bounds]\nForm1.Bounds=0,-1,-1,-1,-1,100,50,307,325\n");
}

TEST_F(SavePosTest, TwoFormsKeepTheirOwnKeysInOneFile)
{
    WriteFile(Ini(), "; kept\n[Other]\nx=1\n");
    FormLayout a, b;
    a.name = "FormA";
    b.name = "FormB";
    b.left = 10;
    b.top = 20;
    auto formA = MakeForm(a);
    auto formB = MakeForm(b);
    formA.reset();
    formB.reset();
    EXPECT_EQ(ReadFile(Ini()), "; kept\n[Other]\nx=1\n[Bounds]\nFormA.Bounds=0,-1,-1,-1,-1,368,229,575,502\n"
                               "FormB.Bounds=0,-1,-1,-1,-1,10,20,217,293\n");

    a.left = b.left = 500;  // the layouts moved; the saved places win
    formB = MakeForm(b);
    formA = MakeForm(a);
    EXPECT_EQ(PlacementOf(*formA).rcNormalPosition, (RECT{368, 229, 575, 502}));
    EXPECT_EQ(PlacementOf(*formB).rcNormalPosition, (RECT{10, 20, 217, 293}));
}

TEST_F(SavePosTest, AFailedWriteIsReportedWithThePath)
{
    TestSavePosIni::path = dir_.File("no-such-folder/zimbrot.ini");
    TApplication application(nullptr);
    Application = &application;
    TestForm* form = nullptr;
    application.CreateForm(form);
    form->Show();
    delete form;
    ASSERT_EQ(windows_.Boxes().size(), 1u);
    EXPECT_EQ(windows_.Boxes()[0].text, dir_.File("no-such-folder/zimbrot.ini") + " に書き込めません.");
    EXPECT_FALSE(std::filesystem::exists(dir_.File("no-such-folder")));
}

TEST_F(SavePosTest, TheSaverMustBeOwnedByAForm)
{
    TComponent owner(nullptr);
    auto* saver = new TestSavePosIni(&owner);
    saver->Loading();
    try {
        saver->Loaded();
        FAIL() << "no error";
    } catch (const EInvalidCast& error) {
        EXPECT_EQ(error.Message(), "無効なｸﾗｽ型ｷｬｽﾄ");
    }
}

TEST(PlacementFile, IsTheExecutablesPathWithTheExtensionIni)
{
    const struct {
        const char* exe;
        const char* ini;
    } cases[] = {
        {"/usr/games/zimbrot", "/usr/games/zimbrot.ini"},
        {"/opt/zimbrot/zimbrot.bin", "/opt/zimbrot/zimbrot.ini"},
        {"/opt/zim.brot/zimbrot", "/opt/zim.brot/zimbrot.ini"},
        {"/opt/a.b/zim.tar.gz", "/opt/a.b/zim.tar.ini"},
        {"/x/zimbrot.", "/x/zimbrot.ini"},
        {"zimbrot", "zimbrot.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlacementFileFor(c.exe), c.ini) << c.exe;

    TComponent owner(nullptr);
    TKSavePosIni* saver = new TKSavePosIni(&owner);
    EXPECT_EQ(saver->FileName(), PlacementFileFor(std::filesystem::read_symlink("/proc/self/exe").string()));
}

}  // namespace
