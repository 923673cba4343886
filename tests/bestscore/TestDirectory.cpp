#include "TestDirectory.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/services/Files.h"

TestDirectory::TestDirectory()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zim-best-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Other users must reach it for the tests that run as nobody.
    chmod(path_.c_str(), 0755);
}

TestDirectory::~TestDirectory()
{
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it)
        umount2(it->c_str(), MNT_DETACH);
    if (IsRoot())
        Shell("chattr -R -i " + ShellQuote(path_) + " 2>/dev/null");
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

bool TestDirectory::Mount(const std::string& name, const std::string& type, const std::string& options,
                          const std::string& source)
{
    std::string target = *this / name;
    std::filesystem::create_directories(target);
    if (mount(source.c_str(), target.c_str(), type.c_str(), 0, options.c_str()) != 0)
        return false;
    mounts_.push_back(target);
    return true;
}

bool TestDirectory::BindMount(const std::string& source, const std::string& name, bool readOnly)
{
    std::string target = *this / name;
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    mounts_.push_back(target);
    if (readOnly && mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return false;
    return true;
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::optional<Bytes> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes LittleEndian(std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

std::vector<std::string> LeftoverTemporaries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (IsReplacementName(name, "Best.dat"))
            names.push_back(name);
    }
    return names;
}

int Shell(const std::string& commandLine)
{
    int status = std::system(commandLine.c_str());
    if (status == -1)
        return -1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool HaveTool(const std::string& name) { return Shell("command -v " + name + " >/dev/null 2>&1") == 0; }

bool IsRoot() { return geteuid() == 0; }

bool SetImmutable(const std::string& path, bool on)
{
    return Shell(std::string("chattr ") + (on ? "+i " : "-i ") + ShellQuote(path) + " 2>/dev/null") == 0;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
