// A store that fails or is killed at any of its steps leaves "Best.dat" with the old content or
// the new 4 bytes, never empty or partial, and the next start copes with what it left.
// strace injects each fault exactly: the store runs once without faults to find which call of
// each system call is the step, then again with that call failing or the process killed there.
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "game/BestScoreFile.h"
#include "platform/core/Exception.h"

namespace {

namespace fs = std::filesystem;

struct Call {
    std::string name;
    std::string arguments;
    std::string result;
};

const Bytes kOld = {7, 0, 0, 0, 0xAA, 0xBB};
constexpr std::int32_t kNew = 42;

std::string StoreUnderStrace(const std::string& dir, const std::string& straceOptions, const std::string& asUser = "")
{
    // LeakSanitizer cannot work under ptrace; the leak check is the other suites' business.
    Shell("cd " + ShellQuote(dir) + " && ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" " + asUser + " strace -qq " +
          straceOptions + " " + ShellQuote(BEST_ONCE) +
          " store " + std::to_string(kNew) + " >out 2>/dev/null");
    std::string out = ReadText(dir + "/out");
    fs::remove(dir + "/out");
    return out.substr(0, out.find('\n'));
}

std::vector<Call> TraceOneStore(const std::optional<Bytes>& before)
{
    TestDirectory dir;
    if (before)
        WriteBytes(dir / "Best.dat", *before);
    const std::string log = dir / "trace.log";
    StoreUnderStrace(dir.Path(), "-o " + ShellQuote(log) + " -e trace=openat,fchmod,pwrite64,fsync,close,rename");
    std::vector<Call> calls;
    std::istringstream lines(ReadText(log));
    const std::regex line(R"(^(\w+)\((.*)\)\s+= (\S+).*$)");
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (std::regex_match(text, m, line))
            calls.push_back({m[1], m[2], m[3]});
    }
    return calls;
}

// One step of the store, told apart in the trace of a store without faults.
struct Step {
    const char* what;
    const char* syscall;
    std::function<bool(const Call&, const std::string& tempFd, bool renamed)> is;
    bool newOnceReached;  // the rename is behind us when the process gets here
};

const Step kSteps[] = {
    {"open the old file", "openat",
     [](const Call& c, const std::string&, bool) { return c.arguments.find("\"Best.dat\", O_RDWR") != std::string::npos; },
     false},
    {"create the temporary file", "openat",
     [](const Call& c, const std::string&, bool) { return c.arguments.find("O_EXCL") != std::string::npos; }, false},
    {"give it the old permission", "fchmod", [](const Call&, const std::string&, bool) { return true; }, false},
    {"write", "pwrite64", [](const Call&, const std::string&, bool) { return true; }, false},
    {"flush to disk", "fsync", [](const Call&, const std::string&, bool) { return true; }, false},
    {"close", "close",
     [](const Call& c, const std::string& tempFd, bool) { return !tempFd.empty() && c.arguments == tempFd; }, false},
    {"rename over", "rename", [](const Call&, const std::string&, bool) { return true; }, false},
    {"open the directory", "openat", [](const Call&, const std::string&, bool renamed) { return renamed; }, true},
    {"flush the directory", "fsync", [](const Call&, const std::string&, bool renamed) { return renamed; }, true},
};

// Which call of its system call each step is ("when" counts from 1), or 0 where the store
// does not take that step.
std::map<std::string, int> Locate(const std::vector<Call>& calls)
{
    std::map<std::string, int> when;
    std::map<std::string, int> seen;
    std::string tempFd;
    bool reachedStore = false;
    bool renamed = false;
    for (const Call& call : calls) {
        const int count = ++seen[call.name];
        if (call.arguments.find("\"Best.dat\"") != std::string::npos)
            reachedStore = true;
        if (!reachedStore)
            continue;
        for (const Step& step : kSteps) {
            if (when.count(step.what) == 0 && call.name == step.syscall && step.is(call, tempFd, renamed)) {
                when[step.what] = count;
                break;
            }
        }
        if (call.name == "openat" && call.arguments.find("O_EXCL") != std::string::npos)
            tempFd = call.result;
        if (call.name == "rename")
            renamed = true;
    }
    return when;
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("strace"))
            GTEST_SKIP() << "strace is not installed (scripts/deps test installs it)";
    }
};

// Each step failing with the error a real disk gives there.
TEST_F(CrashSafety, ErrorAtEachStep)
{
    struct Row {
        const char* step;
        const char* error;
        std::string printed;
        bool newContent;
    };
    const Row rows[] = {
        {"open the old file", "EMFILE", "EInOutError 4", false},
        {"create the temporary file", "ENOSPC", "EInOutError 101", false},
        {"give it the old permission", "EPERM", "EInOutError 5", false},
        {"write", "ENOSPC", "EInOutError 101", false},
        {"write", "EDQUOT", "EInOutError 101", false},
        {"write", "EIO", "EInOutError 1117", false},
        {"flush to disk", "EIO", "EInOutError 1117", false},
        {"close", "EIO", "EInOutError 1117", false},
        {"rename over", "ENOSPC", "EInOutError 101", false},
        // Past the rename the new score is in place; a directory that cannot be flushed is
        // still reported, since the rename may not survive a power cut.
        {"open the directory", "EMFILE", "ok", true},
        {"flush the directory", "EIO", "EInOutError 1117", true},
    };
    const auto when = Locate(TraceOneStore(kOld));
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.step) + " fails with " + row.error);
        const Step& step = *std::find_if(std::begin(kSteps), std::end(kSteps),
                                         [&](const Step& s) { return std::string(s.what) == row.step; });
        ASSERT_GT(when.count(row.step), 0u) << "step not found in the trace";
        TestDirectory dir;
        WriteBytes(dir / "Best.dat", kOld);
        const std::string inject = std::string("-o /dev/null -e inject=") + step.syscall + ":error=" + row.error +
                                   ":when=" + std::to_string(when.at(row.step));
        EXPECT_EQ(StoreUnderStrace(dir.Path(), inject), row.printed);
        EXPECT_EQ(ReadBytes(dir / "Best.dat"), row.newContent ? LittleEndian(kNew) : kOld);
        EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty()) << "a failed store cleans up after itself";
        EXPECT_EQ(ReadBestScore(dir / "Best.dat"), row.newContent ? kNew : 7);
    }
}

// The process killed as it enters each step: whatever the step had not yet done stays undone.
TEST_F(CrashSafety, KilledAtEachStep)
{
    for (const bool hadFile : {true, false}) {
        const std::optional<Bytes> before = hadFile ? std::optional<Bytes>(kOld) : std::nullopt;
        const auto when = Locate(TraceOneStore(before));
        for (const Step& step : kSteps) {
            SCOPED_TRACE(std::string("killed at: ") + step.what + (hadFile ? "" : ", first store"));
            if (when.count(step.what) == 0) {
                ASSERT_TRUE(!hadFile && std::string(step.what) == "give it the old permission");
                continue;
            }
            TestDirectory dir;
            if (before)
                WriteBytes(dir / "Best.dat", *before);
            const std::string inject = std::string("-o /dev/null -e inject=") + step.syscall +
                                       ":signal=SIGKILL:when=" + std::to_string(when.at(step.what));
            EXPECT_EQ(StoreUnderStrace(dir.Path(), inject), "");

            // Old or new, never anything else.
            const auto content = ReadBytes(dir / "Best.dat");
            if (step.newOnceReached)
                EXPECT_EQ(content, LittleEndian(kNew));
            else
                EXPECT_EQ(content, before);

            // The next start: reads the score (or misses the file), and clears what was left.
            int code = 0;
            std::int32_t value = 0;
            try {
                value = ReadBestScore(dir / "Best.dat");
            } catch (const EInOutError& error) {
                code = error.ErrorCode();
            }
            if (content) {
                EXPECT_EQ(code, 0);
                EXPECT_EQ(value, step.newOnceReached ? kNew : 7);
            } else {
                EXPECT_EQ(code, 2);
            }
            EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
            StoreBestScore(dir / "Best.dat", 99);
            EXPECT_EQ(ReadBestScore(dir / "Best.dat"), 99);
        }
    }
}

// The way for a file whose owner a new file cannot keep: written in place, new bytes first and
// the length after, so that no moment leaves it empty or short.
TEST_F(CrashSafety, FaultsWhileWritingInPlace)
{
    if (!IsRoot() || !HaveTool("setpriv"))
        GTEST_SKIP() << "needs root and setpriv to store as another user";
    struct Row {
        const char* syscall;
        const char* fault;
        std::string printed;
        Bytes after;
    };
    Bytes newThenOldTail = LittleEndian(kNew);
    newThenOldTail.insert(newThenOldTail.end(), kOld.begin() + 4, kOld.end());
    const Row rows[] = {
        {"pwrite64", "error=ENOSPC", "EInOutError 101", kOld},
        {"pwrite64", "signal=SIGKILL", "", kOld},
        {"ftruncate", "error=EIO", "EInOutError 1117", newThenOldTail},
        {"ftruncate", "signal=SIGKILL", "", newThenOldTail},
        {"fsync", "signal=SIGKILL", "", LittleEndian(kNew)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.syscall) + " " + row.fault);
        TestDirectory dir;
        chmod(dir.Path().c_str(), 0777);
        WriteBytes(dir / "Best.dat", kOld);
        chmod((dir / "Best.dat").c_str(), 0666);
        const std::string inject = std::string("-o /dev/null -e inject=") + row.syscall + ":" + row.fault + ":when=1";
        EXPECT_EQ(StoreUnderStrace(dir.Path(), inject, "setpriv --reuid=65534 --regid=65534 --clear-groups"),
                  row.printed);
        EXPECT_EQ(ReadBytes(dir / "Best.dat"), row.after);
        EXPECT_EQ(ReadBestScore(dir / "Best.dat"), row.after == kOld ? 7 : kNew);
        EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
    }
}

}  // namespace
