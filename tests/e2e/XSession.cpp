#include "XSession.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

Display* Dpy(void* display) { return static_cast<Display*>(display); }

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string WindowTitle(Display* display, Window window)
{
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

void Search(Display* display, Window root, const std::string& title, std::vector<Window>& found)
{
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        if (WindowTitle(display, children[i]) == title)
            found.push_back(children[i]);
        Search(display, children[i], title, found);
    }
    if (children != nullptr)
        XFree(children);
}

int Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
          const std::string& workDir, const std::string& stderrPath, int keepFd = -1)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    for (const auto& [key, value] : environment)
        setenv(key.c_str(), value.c_str(), 1);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0)
        _exit(127);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    int err = stderrPath.empty() ? null : open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd)
            close(fd);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(int pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout, std::chrono::milliseconds poll)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(poll);
    }
}

bool Image::WritePpm(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (std::uint32_t p : pixels) {
        char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
        out.write(rgb, 3);
    }
    return static_cast<bool>(out);
}

XSession::XSession(bool windowManager)
{
    XSetErrorHandler(IgnoreXErrors);
    int fds[2];
    if (pipe(fds) != 0)
        return;
    // Xvfb picks a free display itself and tells us which.
    xvfbPid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                      "-noreset"},
                     {}, "", "", fds[1]);
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
        return;
    name_ = ":" + number;
    WaitFor([this] { return (display_ = XOpenDisplay(name_.c_str())) != nullptr; }, 30s);
    if (display_ != nullptr && windowManager) {
        wmPid_ = Spawn({"openbox", "--sm-disable"}, {{"DISPLAY", name_}}, "", "");
        // The window manager is up once it owns the screen's manager selection.
        Atom wmSelection = XInternAtom(Dpy(display_), "WM_S0", False);
        WaitFor([&] { return XGetSelectionOwner(Dpy(display_), wmSelection) != None; }, 30s);
    }
}

XSession::~XSession()
{
    if (display_ != nullptr)
        XCloseDisplay(Dpy(display_));
    Stop(wmPid_);
    Stop(xvfbPid_);
}

unsigned long XSession::FindWindow(const std::string& title)
{
    if (display_ == nullptr)
        return 0;
    std::vector<Window> found;
    Search(Dpy(display_), DefaultRootWindow(Dpy(display_)), title, found);
    // A shown window before a hidden one of the same title.
    for (Window w : found)
        if (Mapped(w))
            return w;
    return found.empty() ? 0 : found.front();
}

unsigned long XSession::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout)
{
    unsigned long window = 0;
    WaitFor([&] { return (window = FindWindow(title)) != 0 && Mapped(window); }, timeout);
    return window;
}

bool XSession::Mapped(unsigned long window)
{
    XWindowAttributes attributes;
    return display_ != nullptr && XGetWindowAttributes(Dpy(display_), window, &attributes) &&
           attributes.map_state == IsViewable;
}

bool XSession::Geometry(unsigned long window, int& x, int& y, int& width, int& height)
{
    XWindowAttributes attributes;
    if (display_ == nullptr || !XGetWindowAttributes(Dpy(display_), window, &attributes))
        return false;
    Window child = 0;
    XTranslateCoordinates(Dpy(display_), window, DefaultRootWindow(Dpy(display_)), 0, 0, &x, &y, &child);
    width = attributes.width;
    height = attributes.height;
    return true;
}

Image XSession::Capture(unsigned long window)
{
    Image image;
    XWindowAttributes attributes;
    if (display_ == nullptr || !XGetWindowAttributes(Dpy(display_), window, &attributes))
        return image;
    XImage* x = XGetImage(Dpy(display_), window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (x == nullptr)
        return image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int yy = 0; yy < image.height; ++yy)
        for (int xx = 0; xx < image.width; ++xx)
            image.pixels[static_cast<std::size_t>(yy) * image.width + xx] =
                static_cast<std::uint32_t>(XGetPixel(x, xx, yy) & 0xFFFFFF);
    XDestroyImage(x);
    return image;
}

void XSession::Close(unsigned long window)
{
    if (display_ == nullptr)
        return;
    Display* display = Dpy(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

int XSession::Xdotool(const std::string& arguments)
{
    std::string command = "DISPLAY=" + name_ + " xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

Program::Program(const XSession& session, const std::string& path, const std::string& workDir,
                 const std::map<std::string, std::string>& environment)
{
    auto env = environment;
    env["DISPLAY"] = session.DisplayName();
    env.emplace("SDL_AUDIODRIVER", "dummy");
    char name[] = "/tmp/zimbrot-stderr-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    stderrPath_ = name;
    pid_ = Spawn({path}, env, workDir, stderrPath_);
}

Program::~Program()
{
    if (!reaped_)
        Wait(10s);
    std::remove(stderrPath_.c_str());
}

bool Program::Running()
{
    if (reaped_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

void Program::Signal(int signal)
{
    if (!reaped_)
        kill(pid_, signal);
}

int Program::Wait(std::chrono::milliseconds timeout)
{
    if (WaitFor([this] { return !Running(); }, timeout))
        return status_;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    status_ = -1;
    return -1;
}

std::string Program::Stderr() const
{
    std::ifstream in(stderrPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TempDir::TempDir()
{
    char name[] = "/tmp/zimbrot-test-XXXXXX";
    if (mkdtemp(name) != nullptr)
        path_ = name;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

std::string ZimbrotPath()
{
    const char* path = std::getenv("ZIMBROT_EXE");
    return path != nullptr ? path : ZIMBROT_DEFAULT_EXE;
}

std::string CopyZimbrot(const TempDir& dir)
{
    std::string target = dir.File("zimbrot");
    std::filesystem::copy_file(ZimbrotPath(), target, std::filesystem::copy_options::overwrite_existing);
    return target;
}
