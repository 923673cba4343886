#pragma once

// A private X server (Xvfb) with a window manager (openbox) for real-window tests. The server
// picks a free display number itself and tells it when it is ready; the window manager counts as
// ready once it has announced itself on the root window.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class XServer {
public:
    // `screen` like "1024x768x24".
    explicit XServer(const std::string& screen = "1024x768x24", bool windowManager = true)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        std::string fd = std::to_string(fds[1]);
        server_ = Spawn({"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, "");
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
            if (::poll(&p, 1, 200) <= 0)
                continue;
            char buffer[32];
            ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        if (number.find('\n') == std::string::npos)
            return;
        display_ = ":" + number.substr(0, number.find('\n'));
        connection_ = XOpenDisplay(display_.c_str());
        if (connection_ == nullptr)
            return;
        if (windowManager) {
            wm_ = Spawn({"openbox", "--sm-disable"}, display_);
            if (!WaitFor([this] { return WindowManagerRunning(); }, std::chrono::seconds(30)) || !ProbeWindowManager())
                return;
        }
        ready_ = true;
    }

    ~XServer()
    {
        if (connection_ != nullptr)
            XCloseDisplay(connection_);
        Stop(wm_);
        Stop(server_);
    }

    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Display() const { return display_; }
    ::Display* Connection() const { return connection_; }

    // Polls a condition every 10 ms until it holds or the time is up.
    static bool WaitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // The outer frame of a top-level window as the screen shows it: the window manager's frame
    // around it, or the window itself when it has none. Empty when it is not mapped.
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    bool FrameOf(::Window window, Rect& rect) const { return FrameOf(connection_, window, rect); }
    static bool FrameOf(::Display* connection_, ::Window window, Rect& rect)
    {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(connection_, window, &attributes) || attributes.map_state != IsViewable)
            return false;
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        ::Window top = window;
        for (;;) {
            if (!XQueryTree(connection_, top, &root, &parent, &children, &count))
                return false;
            if (children != nullptr)
                XFree(children);
            if (parent == root || parent == 0)
                break;
            top = parent;
        }
        XWindowAttributes frame{};
        if (!XGetWindowAttributes(connection_, top, &frame))
            return false;
        rect = {frame.x, frame.y, frame.x + frame.width + 2 * frame.border_width,
                frame.y + frame.height + 2 * frame.border_width};
        return true;
    }

    // Moves a top-level window as a user would: through the window manager.
    void MoveFrame(::Window window, int left, int top) const
    {
        XMoveWindow(connection_, window, left, top);
        XFlush(connection_);
    }

private:
    // Everything the child needs is made before the fork: a child of a threaded process may
    // only call what is safe after a fork.
    static pid_t Spawn(const std::vector<std::string>& args, const std::string& display)
    {
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::string displayVar = "DISPLAY=" + display;
        std::vector<char*> envp;
        for (char** e = environ; *e != nullptr; ++e)
            if (std::string_view(*e).substr(0, 8) != "DISPLAY=")
                envp.push_back(*e);
        if (!display.empty())
            envp.push_back(displayVar.data());
        envp.push_back(nullptr);
        pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    static void Stop(pid_t pid)
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }

    // The window manager announces itself before it manages windows, and a window mapped in
    // between may never be managed (a program waiting for it to appear then waits for ever).
    // A probe window that it frames shows that it is at work; the probe is mapped again now and
    // then, should the first map be lost.
    bool ProbeWindowManager() const { return ProbeWindowManager(connection_); }

public:
    static bool ProbeWindowManager(::Display* connection_)
    {
        ::Window probe = XCreateSimpleWindow(connection_, DefaultRootWindow(connection_), 0, 0, 10, 10, 0, 0, 0);
        auto framed = [&] {
            ::Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(connection_, probe, &root, &parent, &children, &count))
                return false;
            if (children != nullptr)
                XFree(children);
            return parent != root;
        };
        bool ok = false;
        for (int attempt = 0; attempt < 30 && !ok; ++attempt) {
            XUnmapWindow(connection_, probe);
            XMapWindow(connection_, probe);
            XFlush(connection_);
            ok = WaitFor(framed, std::chrono::seconds(1));
        }
        XDestroyWindow(connection_, probe);
        XSync(connection_, False);
        return ok;
    }

private:
    bool WindowManagerRunning() const
    {
        Atom check = XInternAtom(connection_, "_NET_SUPPORTING_WM_CHECK", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool running = XGetWindowProperty(connection_, DefaultRootWindow(connection_), check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                       data != nullptr && count == 1;
        if (data != nullptr)
            XFree(data);
        return running;
    }

    std::string display_;
    ::Display* connection_ = nullptr;
    pid_t server_ = -1;
    pid_t wm_ = -1;
    bool ready_ = false;
};
