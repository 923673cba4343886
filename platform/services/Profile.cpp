#include "platform/services/Profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

enum class LineKind { Blank, Section, Comment, Key };

// One line of a profile file. `end` is where its text ends, before any "\r\n" or "\n".
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;  // start of the following line
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or key name
    std::string_view value;  // a key's value, blanks trimmed
    std::size_t valueAt = 0; // where the value may be rewritten (after "=" and its blanks)
    bool hasEquals = false;
};

std::vector<Line> SplitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    // A byte-order mark is not part of the first line's name.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = text.find('\n', pos);
        line.next = nl == std::string_view::npos ? text.size() : nl + 1;
        line.end = nl == std::string_view::npos ? text.size() : nl;
        if (line.end > line.begin && text[line.end - 1] == '\r')
            --line.end;
        std::string_view content = text.substr(line.begin, line.end - line.begin);
        std::string_view trimmed = Trim(content);
        if (trimmed.empty()) {
            line.kind = LineKind::Blank;
        } else if (trimmed.front() == '[') {
            line.kind = LineKind::Section;
            std::string_view inner = trimmed.substr(1);
            inner = inner.substr(0, inner.find(']'));
            line.name = Trim(inner);
        } else if (trimmed.front() == ';') {
            line.kind = LineKind::Comment;
        } else {
            line.kind = LineKind::Key;
            std::size_t eq = content.find('=');
            if (eq == std::string_view::npos) {
                // A line without "=" is a key without a value.
                line.name = trimmed;
                line.valueAt = line.end;
            } else {
                line.hasEquals = true;
                line.name = Trim(content.substr(0, eq));
                std::size_t v = eq + 1;
                while (v < content.size() && IsBlank(content[v]))
                    ++v;
                line.valueAt = line.begin + v;
                line.value = Trim(content.substr(eq + 1));
            }
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

struct Location {
    std::ptrdiff_t section = -1;  // index of the first matching section header
    std::ptrdiff_t key = -1;      // index of the first matching key in it
    std::ptrdiff_t lastKey = -1;  // index of the last key line of that section
};

Location Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Location at;
    section = Trim(section);
    key = Trim(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section) {
            if (at.section >= 0)
                break;  // only the first section of that name counts
            if (SameName(line.name, section))
                at.section = static_cast<std::ptrdiff_t>(i);
        } else if (line.kind == LineKind::Key && at.section >= 0) {
            at.lastKey = static_cast<std::ptrdiff_t>(i);
            if (at.key < 0 && SameName(line.name, key))
                at.key = static_cast<std::ptrdiff_t>(i);
        }
    }
    return at;
}

bool FitsOneLine(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Reads a whole file. Distinguishes a missing file (empty text, `exists` false) from one that
// cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text, bool& exists)
{
    text.clear();
    exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    exists = true;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes through a symbolic link to the file it names, so that the link stays a link.
std::string ResolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
    }
    return path;
}

// New files that a writer killed before its rename left behind: named after the file with the
// writer's process number, and that process is gone.
void RemoveStaleTemps(const std::string& dir, const std::string& base)
{
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr)
        return;
    const std::string prefix = "." + base + ".";
    while (dirent* entry = ::readdir(d)) {
        std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = name.substr(prefix.size());
        std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos || dot > 10 ||
            rest.substr(0, dot).find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dot))));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(d), entry->d_name, 0);
    }
    ::closedir(d);
}

// Replaces the file at `path` with `text`: a new file beside it, flushed to disk, then renamed
// over the old one, so that readers and a crash see either the old or the new text.
bool ReplaceFile(const std::string& path, std::string_view text, const struct stat* old)
{
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);

    RemoveStaleTemps(dir, base);
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    std::string temp;
    int fd = -1;
    mode_t mode = old != nullptr ? (old->st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
               std::to_string(random() % 1000000u);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, text);
    if (ok && old != nullptr) {
        // Keep the old file's owner and exact mode; the owner may not be ours to give.
        (void)::fchown(fd, old->st_uid, old->st_gid);
        (void)::fchmod(fd, old->st_mode & 07777);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new text is in place either way.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace

namespace profile_text {

std::optional<std::string> Find(std::string_view text, std::string_view section, std::string_view key)
{
    std::vector<Line> lines = SplitLines(text);
    Location at = Locate(lines, section, key);
    if (at.key < 0)
        return std::nullopt;
    std::string_view value = lines[static_cast<std::size_t>(at.key)].value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    // What a zero-terminated buffer would show.
    value = value.substr(0, value.find('\0'));
    return std::string(value.substr(0, kProfileValueMax));
}

std::optional<std::string> Write(std::string_view text, std::string_view section, std::string_view key,
                                 std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || !FitsOneLine(section) || !FitsOneLine(key) || !FitsOneLine(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == '[' || key.front() == ';')
        return std::nullopt;

    std::size_t firstNl = text.find('\n');
    std::string_view eol = firstNl != std::string_view::npos && firstNl > 0 && text[firstNl - 1] == '\r' ? "\r\n" : "\n";

    std::vector<Line> lines = SplitLines(text);
    Location at = Locate(lines, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (at.key >= 0) {
        const Line& line = lines[static_cast<std::size_t>(at.key)];
        if (line.hasEquals) {
            out.append(text.substr(0, line.valueAt));
        } else {
            out.append(text.substr(0, line.end));
            while (!out.empty() && IsBlank(out.back()))
                out.pop_back();
            out.push_back('=');
        }
        out.append(value);
        out.append(text.substr(line.end));
        return out;
    }

    std::string entry = std::string(key) + "=" + std::string(value);
    if (at.section >= 0) {
        const Line& after = lines[static_cast<std::size_t>(at.lastKey >= 0 ? at.lastKey : at.section)];
        out.append(text.substr(0, after.end));
        out.append(text.substr(after.end, after.next - after.end));
        if (after.next == text.size() && text.back() != '\n')  // the last line had no line end
            out.append(eol);
        out.append(entry);
        out.append(eol);
        out.append(text.substr(after.next));
        return out;
    }

    out.append(text);
    if (!out.empty() && out.back() != '\n')
        out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(entry).append(eol);
    return out;
}

}  // namespace profile_text

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& path)
{
    std::string text;
    bool exists = false;
    if (ReadWholeFile(path, text, exists) && exists)
        if (auto value = profile_text::Find(text, section, key))
            return *value;
    return std::string(defaultValue.substr(0, kProfileValueMax));
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path)
{
    if (path.empty())
        return false;
    std::string target = ResolveTarget(path);
    std::string text;
    bool exists = false;
    // A file that exists but cannot be read must not be replaced by one holding only this key.
    if (!ReadWholeFile(target, text, exists))
        return false;
    struct stat old {};
    bool haveOld = exists && ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (exists && !haveOld)
        return false;
    auto updated = profile_text::Write(text, section, key, value);
    if (!updated)
        return false;
    return ReplaceFile(target, *updated, haveOld ? &old : nullptr);
}
