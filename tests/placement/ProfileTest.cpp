#include "platform/services/Profile.h"
#include "tests/placement/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::string expected;  // "<default>" when the default must come back
};

TEST(Profile, ReadsByTheProfileRules)
{
    const ReadCase cases[] = {
        {"plain", "[Bounds]\nForm1.Bounds=0,1,2\n", "Bounds", "Form1.Bounds", "0,1,2"},
        {"names without case", "[bOUNDS]\nform1.BOUNDS=x\n", "Bounds", "Form1.Bounds", "x"},
        {"first of two keys", "[S]\nk=first\nK=second\n", "S", "k", "first"},
        {"first of two sections", "[S]\na=1\n[s]\nb=2\n", "S", "b", "<default>"},
        {"blanks around", "  [ S ]  \n \t k \t=  v w \t \n", "S", "k", "v w"},
        {"double quotes", "[S]\nk= \"a, b\" \n", "S", "k", "a, b"},
        {"single quotes", "[S]\nk='a'\n", "S", "k", "a"},
        {"unmatched quotes", "[S]\nk=\"a'\n", "S", "k", "\"a'"},
        {"lone quote", "[S]\nk=\"\n", "S", "k", "\""},
        {"empty quotes", "[S]\nk=\"\"\n", "S", "k", ""},
        {"inner quotes kept", "[S]\nk=a\"b\"\n", "S", "k", "a\"b\""},
        {"empty value", "[S]\nk=\n", "S", "k", ""},
        {"no equals sign", "[S]\nk\nk=later\n", "S", "k", ""},
        {"first equals sign splits", "[S]\nk=a=b\n", "S", "k", "a=b"},
        {"comment is no key", "[S]\n;k=c\nk=v\n", "S", "k", "v"},
        {"comment after header", "[S] ; note\nk=v\n", "S", "k", "v"},
        {"crlf", "[S]\r\nk=v\r\nz=w\r\n", "S", "k", "v"},
        {"no final line end", "[S]\nk=v", "S", "k", "v"},
        {"byte order mark", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "v"},
        {"key before any section", "k=v\n[S]\n", "S", "k", "<default>"},
        {"key in another section", "[T]\nk=v\n[S]\nj=1\n", "S", "k", "<default>"},
        {"missing section", "[T]\nk=v\n", "S", "k", "<default>"},
        {"empty file", "", "S", "k", "<default>"},
        {"cut at 1023", "[S]\nk=" + std::string(2000, 'x') + "\n", "S", "k", std::string(1023, 'x')},
        {"exactly 1023", "[S]\nk=" + std::string(1023, 'y') + "\n", "S", "k", std::string(1023, 'y')},
        {"utf-8 kept", "[S]\nk=ｾｰﾌﾞ\n", "S", "k", "ｾｰﾌﾞ"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File("case.ini");
        WriteFile(path, c.file);
        std::string expected = c.expected == "<default>" ? "dflt" : c.expected;
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "dflt", path), expected);
    }
}

TEST(Profile, ReadGivesTheDefaultWithoutAReadableFile)
{
    TempDir dir;
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", dir.File("missing.ini")), "");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", dir.Path()), "d");  // a folder
    EXPECT_EQ(GetPrivateProfileString("S", "k", std::string(1500, 'd'), dir.File("missing.ini")),
              std::string(1023, 'd'));
}

struct WriteCase {
    const char* name;
    std::string before;  // "<none>": no file yet
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(Profile, WriteChangesOnlyItsOwnLine)
{
    const WriteCase cases[] = {
        {"creates the file", "<none>", "Bounds", "Form1.Bounds", "0,1,2", "[Bounds]\nForm1.Bounds=0,1,2\n"},
        {"replaces in place",
         "; top comment\n[Other]\nx=1\n\n[Bounds]\n; why\nForm1.Bounds = old  \nForm2.Bounds=keep\n\n[Last]\ny=2\n",
         "Bounds", "Form1.Bounds", "new",
         "; top comment\n[Other]\nx=1\n\n[Bounds]\n; why\nForm1.Bounds = new\nForm2.Bounds=keep\n\n[Last]\ny=2\n"},
        {"keeps the key's spelling", "[BOUNDS]\nform1.bounds=old\n", "Bounds", "Form1.Bounds", "new",
         "[BOUNDS]\nform1.bounds=new\n"},
        {"first of two keys", "[S]\nk=1\nk=2\n", "S", "k", "3", "[S]\nk=3\nk=2\n"},
        {"first of two sections", "[S]\na=1\n[S]\nk=2\n", "S", "k", "3", "[S]\na=1\nk=3\n[S]\nk=2\n"},
        {"adds after the section's last key", "[S]\na=1\n; about T\n\n[T]\nb=2\n", "S", "k", "v",
         "[S]\na=1\nk=v\n; about T\n\n[T]\nb=2\n"},
        {"adds to an empty section", "[S]\n[T]\n", "S", "k", "v", "[S]\nk=v\n[T]\n"},
        {"adds at an end without line end", "[S]\na=1", "S", "k", "v", "[S]\na=1\nk=v\n"},
        {"adds after a final carriage return", "[S]\na=1\r", "S", "k", "v", "[S]\na=1\r\nk=v\n"},
        {"adds a section", "[T]\nb=2\n", "S", "k", "v", "[T]\nb=2\n[S]\nk=v\n"},
        {"adds a section after no line end", "[T]\nb=2", "S", "k", "v", "[T]\nb=2\n[S]\nk=v\n"},
        {"keeps crlf", "[T]\r\nb=2\r\n[S]\r\nk=old\r\n", "S", "k", "new", "[T]\r\nb=2\r\n[S]\r\nk=new\r\n"},
        {"new lines in crlf", "[T]\r\nb=2\r\n", "S", "k", "v", "[T]\r\nb=2\r\n[S]\r\nk=v\r\n"},
        {"key without equals sign", "[S]\n k \n", "S", "k", "v", "[S]\n k=v\n"},
        {"empty value", "[S]\nk=old\n", "S", "k", "", "[S]\nk=\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "2", "\xEF\xBB\xBF[S]\nk=2\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File("case.ini");
        std::filesystem::remove(path);
        if (c.before != "<none>")
            WriteFile(path, c.before);
        ASSERT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, path));
        EXPECT_EQ(ReadFile(path), c.after);
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "dflt", path), c.value);
    }
}

TEST(Profile, WriteRefusesWhatWouldNotReadBackAsOneLine)
{
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } cases[] = {
        {"S", "k", "a\nb"}, {"S", "k", "a\rb"},  {"S", "k", std::string("a\0b", 3)}, {"S]", "k", "v"},
        {"S", "k=j", "v"},  {"S\n", "k", "v"}, {"", "k", "v"}, {"S", "", "v"}, {"S", ";k", "v"}, {"S", "[k", "v"},
    };
    TempDir dir;
    std::string path = dir.File("case.ini");
    WriteFile(path, "[S]\nk=old\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, path));
        EXPECT_EQ(ReadFile(path), "[S]\nk=old\n");
    }
}

TEST(Profile, FailedWriteReportsFalseAndLeavesTheOldFile)
{
    TempDir dir;
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.File("no-such-folder/x.ini")));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.Path()));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", ""));

    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    // A folder the writer may not create files in: the old file stays, and nothing is left over.
    std::string path = dir.File("x.ini");
    WriteFile(path, "[S]\nk=old\n");
    ::chmod(path.c_str(), 0666);
    EXPECT_EQ(RunAsNobody([&] { return WritePrivateProfileString("S", "k", "new", path); }), false);
    EXPECT_EQ(ReadFile(path), "[S]\nk=old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    // A file the writer may not read is not replaced by one that holds only its key.
    std::string locked = dir.File("locked.ini");
    WriteFile(locked, "[T]\nsecret=1\n");
    ::chmod(locked.c_str(), 0600);
    ::chmod(dir.Path().c_str(), 0777);
    EXPECT_EQ(RunAsNobody([&] { return WritePrivateProfileString("S", "k", "new", locked); }), false);
    EXPECT_EQ(ReadFile(locked), "[T]\nsecret=1\n");
}

TEST(Profile, WriteKeepsModeAndLinks)
{
    TempDir dir;
    std::string path = dir.File("x.ini");
    WriteFile(path, "[S]\nk=old\n");
    ::chmod(path.c_str(), 0640);
    std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(path, link);

    ASSERT_TRUE(WritePrivateProfileString("S", "k", "new", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(path), "[S]\nk=new\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(Profile, WriteRemovesWhatAKilledWriterLeftBehind)
{
    TempDir dir;
    // A process number no process can have, and our own, which is alive.
    const std::string stale = dir.File(".x.ini.2147483647.0.1");
    const std::string live = dir.File(".x.ini." + std::to_string(::getpid()) + ".0.1");
    const std::string other = dir.File(".y.ini.2147483647.0.1");
    for (const auto& path : {stale, live, other})
        WriteFile(path, "[S]\nk=half");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", dir.File("x.ini")));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));
}

TEST(Profile, NewFileFollowsTheUmask)
{
    TempDir dir;
    mode_t old = ::umask(027);
    bool written = WritePrivateProfileString("S", "k", "v", dir.File("x.ini"));
    ::umask(old);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("x.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
