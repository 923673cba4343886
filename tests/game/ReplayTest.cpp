// Golden replays: a script of clicks, pointer moves and clock advances drives the game on the
// manual clock, and a dump of its state at chosen times is compared with a stored file.
//
// Script lines:
//   click X Y        press and release the left button at a client point
//   move X Y         move the pointer to a client point
//   advance MS       let time pass
//   follow MS        let time pass while the pointer keeps the paddles on the ball, as a
//                    player who never misses would
//   dump             write the state
// Set ZIMBROT_UPDATE_GOLDEN=1 to write the stored files anew from a run.

#include "GameFixture.h"

#include <fstream>
#include <sstream>

namespace {

class ReplayTest : public GameFixture, public ::testing::WithParamInterface<const char*> {
protected:
    std::string Dump()
    {
        auto shown = [](TControl* c) { return c->Visible() ? "shown" : "hidden"; };
        auto timer = [](THITimer* t) { return (t->Enabled() ? "on/" : "off/") + std::to_string(t->Interval()); };
        std::string clips;
        for (const char* clip : {"count", "Hit", "Lose"}) {
            int plays = Plays(clip);
            int& seen = seenPlays_[clip];
            if (plays != seen)
                clips += std::string(clips.empty() ? "" : ",") + clip + "x" + std::to_string(plays - seen);
            seen = plays;
        }
        std::ostringstream line;
        UIGuard guard;
        line << "t=" << clock.Now() << " ball=" << F().Label2->Left() << "," << F().Label2->Top()
             << " dir=" << F().direction << " hits=" << F().Label3->Caption() << " best=" << F().Label6->Caption()
             << " countdown=" << F().countdownActive << " digit=" << F().Label1->Caption() << "/"
             << shown(F().Label1) << " title=" << shown(F().Panel2) << " prompt=" << shown(F().Label8)
             << " step=" << timer(F().HITimer1) << " title-timer=" << timer(F().HITimer2)
             << " paddles=" << F().Bevel1->Left() << "," << F().Bevel3->Top() << " pointer=" << (CursorDisplayCount() < 0 ? "hidden" : "shown")
             << " clips=" << (clips.empty() ? "-" : clips) << " file=" << (std::filesystem::exists("Best.dat") ? std::to_string(ReadBest()) : "none");
        return line.str();
    }

    // Keeps the paddles' reach around the ball, through the pointer over the ground.
    void Follow(std::uint64_t ms)
    {
        for (std::uint64_t i = 0; i < ms; ++i) {
            Advance(1);
            if (F().Panel2->Visible())
                continue;
            int x = F().Label2->Left() - 17;
            int y = F().Label2->Top() - 17;
            Move(std::max(0, x), std::max(0, y));
        }
    }

    std::map<std::string, int> seenPlays_;
};

TEST_P(ReplayTest, MatchesTheStoredRun)
{
    std::string name = GetParam();
    std::ifstream script(std::string(ZIMBROT_REPLAYS) + "/" + name + ".script");
    ASSERT_TRUE(script) << name;
    Create(3);
    std::string out;
    std::string line;
    while (std::getline(script, line)) {
        std::istringstream words(line);
        std::string command;
        if (!(words >> command) || command[0] == '#')
            continue;
        if (command == "click" || command == "move") {
            int x = 0, y = 0;
            words >> x >> y;
            command == "click" ? Click(x, y) : Move(x, y);
        } else if (command == "advance") {
            std::uint64_t ms = 0;
            words >> ms;
            Advance(ms);
        } else if (command == "follow") {
            std::uint64_t ms = 0;
            words >> ms;
            Follow(ms);
        } else if (command == "dump") {
            out += Dump() + "\n";
        } else {
            FAIL() << "unknown command: " << line;
        }
    }
    std::string goldenPath = std::string(ZIMBROT_REPLAYS) + "/" + name + ".golden";
    if (std::getenv("ZIMBROT_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(goldenPath) << out;
        GTEST_SKIP() << "wrote " << goldenPath;
    }
    std::ifstream golden(goldenPath);
    std::stringstream expected;
    expected << golden.rdbuf();
    EXPECT_EQ(out, expected.str());
}

INSTANTIATE_TEST_SUITE_P(Scripts, ReplayTest, ::testing::Values("whole_game", "behind_the_title"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
