// The window message hook on the headless window system.
#include "tests/placement/PlacementFixture.h"

#include <climits>

namespace {

// The hook with no work of its own, or with a log of what it saw first.
class TestSubWnd : public TKCustomSubWnd {
public:
    explicit TestSubWnd(TComponent* owner, std::vector<std::string>* order = nullptr)
        : TKCustomSubWnd(owner), order_(order)
    {
    }
    using TKCustomSubWnd::SetHookedForm;

protected:
    void WndProc(TMessage& message) override
    {
        if (order_ != nullptr)
            order_->push_back("hook");
        TKCustomSubWnd::WndProc(message);
    }

private:
    std::vector<std::string>* order_;
};

class HookTest : public PlacementTest {
protected:
    // A form whose window has a procedure we can watch, installed before any hook.
    std::shared_ptr<RecordingProc> Watch(TForm& form, std::vector<std::string>* order = nullptr)
    {
        auto proc = std::make_shared<RecordingProc>(order);
        SetWindowProc(form.Handle(), proc);
        return proc;
    }
};

TEST_F(HookTest, EveryMessageReachesThePreviousProcedureOnceUnchanged)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(&form);
    ASSERT_EQ(GetWindowProc(form.Handle()), hook.HookProc());

    const RecordingProc::Seen messages[] = {
        {form.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(-5, 300)},
        {form.Handle(), WM_ACTIVATE, 1, 0},
        {form.Handle(), WM_PAINT, 0, 0},
        {form.Handle(), 0x7FFF, INT_MIN, INT_MAX},
        {form.Handle(), 0xC123, -1, -1},
        {form.Handle(), WM_CLOSE + 0x400, 0, INT_MIN},
    };
    for (const auto& m : messages) {
        previous->calls.clear();
        std::int32_t result = SendMessage(form.Handle(), m.msg, m.wParam, m.lParam);
        ASSERT_EQ(previous->calls.size(), 1u) << m.msg;
        EXPECT_EQ(previous->calls[0], m);
        EXPECT_EQ(result, RecordingProc::ResultFor(m.msg, m.wParam, m.lParam));
    }
}

TEST_F(HookTest, ADescendantSeesEachMessageBeforeTheForm)
{
    std::vector<std::string> order;
    TForm form(nullptr);
    auto previous = Watch(form, &order);
    TestSubWnd hook(nullptr, &order);
    hook.SetHookedForm(&form);
    SendMessage(form.Handle(), WM_PAINT);
    SendMessage(form.Handle(), WM_MOUSEMOVE);
    EXPECT_EQ(order, (std::vector<std::string>{"hook", "previous", "hook", "previous"}));
}

TEST_F(HookTest, HookingTheHookedFormAgainChangesNothing)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(&form);
    hook.SetHookedForm(&form);
    EXPECT_EQ(hook.PrevWndProc(), previous) << "the hook did not keep itself as the previous procedure";
    SendMessage(form.Handle(), WM_PAINT);
    EXPECT_EQ(previous->calls.size(), 1u);
}

TEST_F(HookTest, HookingAFormWithoutAWindowCreatesIt)
{
    TForm form(nullptr);
    ASSERT_FALSE(form.HandleAllocated());
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(&form);
    EXPECT_TRUE(form.HandleAllocated());
    EXPECT_EQ(GetWindowProc(form.Handle()), hook.HookProc());
    EXPECT_NE(hook.PrevWndProc(), nullptr);
}

TEST_F(HookTest, MovingTheHookPutsTheFirstFormsProcedureBack)
{
    TForm a(nullptr), b(nullptr);
    auto previousA = Watch(a);
    auto previousB = Watch(b);
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(&a);
    hook.SetHookedForm(&b);
    EXPECT_EQ(hook.HookedForm(), &b);
    EXPECT_EQ(GetWindowProc(a.Handle()), previousA);
    EXPECT_EQ(GetWindowProc(b.Handle()), hook.HookProc());
    EXPECT_EQ(hook.PrevWndProc(), previousB);
    SendMessage(b.Handle(), WM_PAINT);
    ASSERT_EQ(previousB->calls.size(), 1u);
    EXPECT_EQ(previousB->calls[0].wnd, b.Handle());

    hook.SetHookedForm(nullptr);
    EXPECT_EQ(hook.HookedForm(), nullptr);
    EXPECT_EQ(GetWindowProc(b.Handle()), previousB);
}

TEST_F(HookTest, RemovingTheHookedFormTakesTheHookOff)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(&form);
    hook.Notification(&form, TOperation::opRemove);
    EXPECT_EQ(hook.HookedForm(), nullptr);
    EXPECT_EQ(GetWindowProc(form.Handle()), previous);

    // Another component's removal leaves the hook alone.
    TForm other(nullptr);
    hook.SetHookedForm(&form);
    hook.Notification(&other, TOperation::opRemove);
    EXPECT_EQ(hook.HookedForm(), &form);
}

TEST_F(HookTest, AHookedFormDestroyedFirstIsForgotten)
{
    auto form = std::make_unique<TForm>(nullptr);
    TestSubWnd hook(nullptr);
    hook.SetHookedForm(form.get());
    form.reset();
    EXPECT_EQ(hook.HookedForm(), nullptr);
}  // the hook's destructor must not reach the form (AddressSanitizer would say so)

TEST_F(HookTest, DestroyingTheHookPutsThePreviousProcedureBack)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    auto hook = std::make_unique<TestSubWnd>(nullptr);
    hook->SetHookedForm(&form);
    hook.reset();
    EXPECT_EQ(GetWindowProc(form.Handle()), previous);
    SendMessage(form.Handle(), WM_PAINT);
    EXPECT_EQ(previous->calls.size(), 1u);
}

TEST_F(HookTest, DestroyingTheHookAfterTheWindowWritesNothing)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    auto hook = std::make_unique<TestSubWnd>(&form);  // owned by the form, as on the main window
    hook->SetHookedForm(&form);
    form.DestroyHandle();
    ASSERT_EQ(previous->calls.size(), 1u);
    EXPECT_EQ(previous->calls[0].msg, WM_DESTROY);
    hook.reset();
    EXPECT_FALSE(form.HandleAllocated()) << "no window was made again to unhook";
}

TEST_F(HookTest, DesignModeRecordsTheFormButReplacesNothing)
{
    TForm form(nullptr);
    TestSubWnd hook(nullptr);
    hook.SetDesigning(true);
    hook.SetHookedForm(&form);
    EXPECT_EQ(hook.HookedForm(), &form);
    EXPECT_FALSE(form.HandleAllocated());
    auto previous = Watch(form);
    hook.SetHookedForm(nullptr);
    EXPECT_EQ(GetWindowProc(form.Handle()), previous);
}

TEST_F(HookTest, AReleasedHookStillChainedPassesMessagesOn)
{
    TForm form(nullptr);
    auto previous = Watch(form);
    auto first = std::make_unique<TestSubWnd>(nullptr);
    auto second = std::make_unique<TestSubWnd>(nullptr);
    first->SetHookedForm(&form);
    second->SetHookedForm(&form);  // keeps the first hook as its previous procedure
    first.reset();                 // puts the form's own procedure back, under the second
    second.reset();                // puts the first, released hook back
    EXPECT_EQ(SendMessage(form.Handle(), WM_PAINT), RecordingProc::ResultFor(WM_PAINT, 0, 0));
    EXPECT_EQ(previous->calls.size(), 1u);
}

}  // namespace
