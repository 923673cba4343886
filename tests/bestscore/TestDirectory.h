#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with everything in it
// (immutable flags and mounts undone first).
class TestDirectory {
public:
    TestDirectory();
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;
    ~TestDirectory();

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Mounts `source` (a tmpfs when "tmpfs") at `name` with `options`; false if this machine
    // does not let us mount.
    bool Mount(const std::string& name, const std::string& type, const std::string& options,
               const std::string& source = "none");
    bool BindMount(const std::string& source, const std::string& name, bool readOnly);

private:
    std::string path_;
    std::vector<std::string> mounts_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
std::optional<Bytes> ReadBytes(const std::string& path);
Bytes LittleEndian(std::int32_t value);

// Names in `dir` that a store makes for its temporary file beside "Best.dat".
std::vector<std::string> LeftoverTemporaries(const std::string& dir);

// Runs a shell command line; its exit status, or 128 + the signal that ended it.
int Shell(const std::string& commandLine);
std::string ShellQuote(const std::string& text);
bool HaveTool(const std::string& name);
bool IsRoot();
// Sets or clears the immutable flag; false when the file system does not take it.
bool SetImmutable(const std::string& path, bool on);
std::string ReadText(const std::string& path);
