#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Real-window test support: a private Xvfb (and, when asked, a window manager), the program
// started on it, and its window read back pixel by pixel.

using namespace std::chrono_literals;

// Polls a condition until it holds or the time is up; the machines are shared and slow at times.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s,
             std::chrono::milliseconds poll = 20ms);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool WritePpm(const std::string& path) const;
};

class XSession {
public:
    explicit XSession(bool windowManager = false);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool Ok() const { return display_ != nullptr; }
    const std::string& DisplayName() const { return name_; }

    // The top-level window whose title is `title` (its client window), or 0.
    unsigned long FindWindow(const std::string& title);
    unsigned long WaitForWindow(const std::string& title, std::chrono::milliseconds timeout = 30s);
    bool Mapped(unsigned long window);
    // Size of the client area, and its position on the screen.
    bool Geometry(unsigned long window, int& x, int& y, int& width, int& height);
    Image Capture(unsigned long window);
    // Asks the window to close, as its close box does (WM_DELETE_WINDOW).
    void Close(unsigned long window);
    // Runs xdotool with these arguments on this display; gives its exit code.
    int Xdotool(const std::string& arguments);

private:
    void* display_ = nullptr;  // Display*
    std::string name_;
    int xvfbPid_ = 0;
    int wmPid_ = 0;
};

// The program under test, started on a session's display with its own working directory.
class Program {
public:
    Program(const XSession& session, const std::string& path, const std::string& workDir,
            const std::map<std::string, std::string>& environment = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    int Pid() const { return pid_; }
    bool Running();
    void Signal(int signal);
    // The exit code, or -1 when it did not end in time (it is then killed), or 128 + signal.
    int Wait(std::chrono::milliseconds timeout = 30s);
    std::string Stderr() const;

private:
    int pid_ = 0;
    int status_ = -1;
    bool reaped_ = false;
    std::string stderrPath_;
};

// A fresh temporary directory, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The built program, as CMake passes it to the tests.
std::string ZimbrotPath();
// A copy of the program in a directory of its own, so that its placement file lands there.
std::string CopyZimbrot(const TempDir& dir);
