// Components: ownership, the end-of-loading list of a stored layout, and the order of destruction.

#include "platform/controls/Form.h"
#include "platform/controls/StdCtrls.h"
#include "platform/headless/HeadlessWindowSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> journal;

template <class Base>
class Recording : public Base {
public:
    using Base::Base;
    ~Recording() override { journal.push_back("destroy " + this->Name()); }
    void Loaded() override
    {
        Base::Loaded();
        journal.push_back("loaded " + this->Name());
    }
};

// A small form read like the game's: drawn elements, a panel with its own label, and two
// components without a visible part.
class LayoutForm : public TForm {
public:
    explicit LayoutForm(TComponent* owner) : TForm(owner)
    {
        BeginLayout();
        SetName("Form");
        SetClientSize(100, 100);
        ReadElement<Recording<TLabel>>(this, "Ball", [](TLabel& l) { l.SetCaption("o"); });
        ReadElement<Recording<TBevel>>(this, "Paddle", [](TBevel&) {});
        ReadElement<Recording<TPanel>>(this, "Panel", [this](TPanel& p) {
            ReadElement<Recording<TLabel>>(&p, "PanelLabel", [](TLabel& l) { l.SetCaption("x"); });
        });
        ReadComponent<Recording<TComponent>>("TimerA", [](TComponent&) {});
        ReadComponent<Recording<TComponent>>("TimerB", [](TComponent&) {});
        EndLayout();
    }
    void Loaded() override
    {
        TForm::Loaded();
        journal.push_back("loaded form");
    }
};

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetWindowSystem(&windows);
        journal.clear();
    }
    void TearDown() override { SetWindowSystem(nullptr); }
    HeadlessWindowSystem windows;
};

TEST_F(ComponentTest, EndOfLoadingRunsInLayoutOrderWithTheFormFirstAndPanelsAfterTheirElements)
{
    LayoutForm form(nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"loaded form", "loaded Ball", "loaded Paddle", "loaded PanelLabel",
                                                 "loaded Panel", "loaded TimerA", "loaded TimerB"}));
    for (int i = 0; i < form.ComponentCount(); ++i)
        EXPECT_FALSE(form.Components(i)->IsLoading()) << form.Components(i)->Name();
}

TEST_F(ComponentTest, DestroyingTheFormTakesTheVisualElementsFirstThenTheRestLastFirst)
{
    {
        LayoutForm form(nullptr);
        journal.clear();
    }
    // The drawn elements and the panel with its label go first; then the components without a
    // visible part, the last in layout order first.
    ASSERT_EQ(journal.size(), 6u);
    std::vector<std::string> visual(journal.begin(), journal.begin() + 4);
    std::sort(visual.begin(), visual.end());
    EXPECT_EQ(visual, (std::vector<std::string>{"destroy Ball", "destroy Paddle", "destroy Panel", "destroy PanelLabel"}));
    EXPECT_EQ(journal[4], "destroy TimerB");
    EXPECT_EQ(journal[5], "destroy TimerA");
}

TEST_F(ComponentTest, OwnerDestroysWhatItOwnsLastFirstAndForgetsWhatWasDestroyedEarlier)
{
    auto owner = std::make_unique<TComponent>(nullptr);
    new Recording<TComponent>(owner.get());
    auto* middle = new Recording<TComponent>(owner.get());
    new Recording<TComponent>(owner.get());
    owner->Components(0)->SetName("first");
    middle->SetName("middle");
    owner->Components(2)->SetName("last");
    delete middle;
    EXPECT_EQ(owner->ComponentCount(), 2);
    owner.reset();
    EXPECT_EQ(journal, (std::vector<std::string>{"destroy middle", "destroy last", "destroy first"}));
}

TEST_F(ComponentTest, FreeNotificationTellsALinkedComponentOfTheOthersEnd)
{
    struct Watcher : TComponent {
        using TComponent::TComponent;
        TComponent* removed = nullptr;
        void Notification(TComponent* c, TOperation op) override
        {
            TComponent::Notification(c, op);
            if (op == TOperation::opRemove)
                removed = c;
        }
    };
    Watcher watcher(nullptr);
    auto* watched = new TComponent(nullptr);
    watcher.FreeNotification(watched);
    delete watched;
    EXPECT_EQ(watcher.removed, watched);
}

TEST_F(ComponentTest, ComponentAsChecksTheClass)
{
    TComponent plain(nullptr);
    EXPECT_THROW(ComponentAs<TForm>(&plain), EInvalidCast);
    try {
        ComponentAs<TForm>(&plain);
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "無効なｸﾗｽ型ｷｬｽﾄ");
    }
}

}  // namespace
