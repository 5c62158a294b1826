// SPDX-License-Identifier: MIT
#include "x_server.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <chrono>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace moiravel::xtest {

namespace {

constexpr const char *xvfbPath = "/usr/bin/Xvfb";
constexpr const char *xorgPath = "/usr/bin/Xorg";
constexpr const char *dummyDriverPath = "/usr/lib/xorg/modules/drivers/dummy_drv.so";
constexpr const char *westonPath = "/usr/bin/weston";
constexpr const char *xwaylandPath = "/usr/bin/Xwayland";
constexpr const char *mutterPath = "/usr/bin/mutter";
constexpr const char *dbusRunSessionPath = "/usr/bin/dbus-run-session";
constexpr const char *xSocketDir = "/tmp/.X11-unix";
constexpr auto startTimeout = std::chrono::seconds(30);

// The start of every Xorg config here: no input devices or GPUs of the machine, no VT
// switching, and the dummy driver's device section up to its options.
constexpr const char *xorgDummyHead = "Section \"ServerFlags\"\n"
                                      "  Option \"AutoAddDevices\" \"false\"\n"
                                      "  Option \"AutoAddGPU\" \"false\"\n"
                                      "  Option \"AllowMouseOpenFail\" \"true\"\n"
                                      "  Option \"DontVTSwitch\" \"true\"\n"
                                      "EndSection\n"
                                      "Section \"Device\"\n"
                                      "  Identifier \"moiravel-dummy\"\n"
                                      "  Driver \"dummy\"\n"
                                      "  VideoRam 256000\n";

bool executable(const char *path) {
    return access(path, X_OK) == 0;
}

// XWayland puts its sockets there, as an X server started by a display manager would.
void makeXSocketDir() {
    std::error_code error;
    if (std::filesystem::create_directory(xSocketDir, error)) {
        std::filesystem::permissions(xSocketDir, std::filesystem::perms::all |
                                                     std::filesystem::perms::sticky_bit);
    }
}

// Reads the display number that the server writes to -displayfd once it is ready.
std::string readDisplayNumber(int fd, ChildProcess &server) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (text.find('\n') == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || !server.running()) {
            return {};
        }
        pollfd pfd{fd, POLLIN, 0};
        int ready = poll(&pfd, 1, 100);
        if (ready > 0) {
            char buffer[32];
            ssize_t got = read(fd, buffer, sizeof buffer);
            if (got > 0) {
                text.append(buffer, static_cast<size_t>(got));
            } else if (got == 0) {
                break;
            }
        } else if (ready < 0 && errno != EINTR) {
            return {};
        }
    }
    auto end = text.find_first_not_of("0123456789");
    return text.substr(0, end);
}

// The display ":N" that a compositor names in its log after `announcement`, once it has.
std::optional<std::string> announcedDisplay(const std::string &text,
                                            const std::string &announcement) {
    const auto at = text.find(announcement);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const auto from = at + announcement.size();
    const auto to = text.find_first_not_of("0123456789", from);
    if (to == std::string::npos || to == from) {
        return std::nullopt;
    }
    return ":" + text.substr(from, to - from);
}

// weston's x11 backend opens every output's window at the Xvfb's origin, where the second
// hides the first. With the second moved right of the first, as XWayland lays the outputs
// out, each shows whole and can be read back.
void spreadOutputWindows(const std::string &hostDisplayName, int firstWidth) {
    Display *host = XOpenDisplay(hostDisplayName.c_str());
    if (host == nullptr) {
        return;
    }
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(host, DefaultRootWindow(host), &rootReturn, &parentReturn, &children, &count)) {
        for (unsigned int k = 0; k < count; ++k) {
            XWindowAttributes a;
            if (XGetWindowAttributes(host, children[k], &a) && a.width == secondOutputWidth &&
                a.height == secondOutputHeight) {
                XMoveWindow(host, children[k], firstWidth, 0);
            }
        }
        XFree(children);
    }
    XSync(host, False);
    XCloseDisplay(host);
}

} // namespace

WestonOptions westonOptions(const std::string &helpText) {
    WestonOptions chosen;
    // weston 10 and later load XWayland with --xwayland; older releases as a module.
    chosen.xwayland =
        helpText.find("--xwayland") != std::string::npos ? "--xwayland" : "--modules=xwayland.so";
    // Later releases name their backends without the file name of the module.
    chosen.headlessBackend = helpText.find("headless-backend.so") != std::string::npos
                                 ? "headless-backend.so"
                                 : "headless";
    chosen.x11Backend =
        helpText.find("x11-backend.so") != std::string::npos ? "x11-backend.so" : "x11";
    return chosen;
}

const char *toString(XServerKind kind) {
    switch (kind) {
    case XServerKind::Xvfb:
        return "Xvfb";
    case XServerKind::XorgDummy:
        return "Xorg+dummy";
    case XServerKind::WestonXwayland:
        return "weston+XWayland";
    case XServerKind::MutterXwayland:
        return "mutter+XWayland";
    case XServerKind::XorgDummyTwoOutputs:
        return "Xorg+dummy with two outputs";
    case XServerKind::WestonXwaylandTwoOutputs:
        return "weston+XWayland with two outputs";
    case XServerKind::MutterXwaylandTwoMonitors:
        return "mutter+XWayland with two monitors";
    case XServerKind::WestonNative:
        return "weston native";
    case XServerKind::WestonNativeScaleTwo:
        return "weston native at scale 2";
    }
    return "?";
}

std::string XServer::unavailableReason(XServerKind kind) {
    if (kind == XServerKind::Xvfb) {
        return executable(xvfbPath) ? "" : std::string(xvfbPath) + " is not installed (xvfb)";
    }
    if ((kind == XServerKind::WestonXwaylandTwoOutputs || nativeWayland(kind)) &&
        !executable(xvfbPath)) {
        return std::string(xvfbPath) + " is not installed (xvfb)";
    }
    if (nativeWayland(kind)) {
        return executable(westonPath) ? "" : std::string(westonPath) + " is not installed (weston)";
    }
    if (kind == XServerKind::WestonXwayland || kind == XServerKind::WestonXwaylandTwoOutputs) {
        if (!executable(westonPath)) {
            return std::string(westonPath) + " is not installed (weston)";
        }
        return executable(xwaylandPath)
                   ? ""
                   : std::string(xwaylandPath) + " is not installed (xwayland)";
    }
    if (kind == XServerKind::MutterXwayland || kind == XServerKind::MutterXwaylandTwoMonitors) {
        if (!executable(mutterPath)) {
            return std::string(mutterPath) + " is not installed (mutter)";
        }
        if (!executable(dbusRunSessionPath)) {
            return std::string(dbusRunSessionPath) + " is not installed (dbus-daemon)";
        }
        return executable(xwaylandPath)
                   ? ""
                   : std::string(xwaylandPath) + " is not installed (xwayland)";
    }
    if (!executable(xorgPath)) {
        return std::string(xorgPath) + " is not installed (xserver-xorg-core)";
    }
    if (!std::filesystem::exists(dummyDriverPath)) {
        return std::string(dummyDriverPath) + " is missing (xserver-xorg-video-dummy)";
    }
    if (geteuid() != 0) {
        return "Xorg with the dummy driver needs root here";
    }
    return "";
}

void XServer::writeXorgConfig() {
    // One mode of exactly the requested size; timings only need to be plausible for the
    // dummy driver, which drives no monitor.
    const int w = width_;
    const int h = height_;
    // Ordinary (not reduced) blanking: Xorg refuses reduced-blanking timings unless the
    // monitor section claims support for them.
    const int htotal = w + 256;
    const int vtotal = h + 28;
    const double clockMHz = htotal * static_cast<double>(vtotal) * 60.0 / 1e6;
    const std::string mode = std::to_string(w) + "x" + std::to_string(h);
    std::ostringstream conf;
    conf << xorgDummyHead
         << "EndSection\n"
            "Section \"Monitor\"\n"
            "  Identifier \"moiravel-monitor\"\n"
            "  HorizSync 1.0-1000.0\n"
            "  VertRefresh 1.0-1000.0\n"
         << "  Modeline \"" << mode << "\" " << clockMHz << " " << w << " " << w + 56 << " "
         << w + 176 << " " << htotal << " " << h << " " << h + 1 << " " << h + 5 << " " << vtotal
         << "\n"
         << "  Option \"PreferredMode\" \"" << mode << "\"\n"
         << "EndSection\n"
            "Section \"Screen\"\n"
            "  Identifier \"moiravel-screen\"\n"
            "  Device \"moiravel-dummy\"\n"
            "  Monitor \"moiravel-monitor\"\n"
            "  DefaultDepth 24\n"
            "  SubSection \"Display\"\n"
            "    Depth 24\n"
         << "    Modes \"" << mode << "\"\n"
         << "    Virtual " << w << " " << h << "\n"
         << "  EndSubSection\n"
            "EndSection\n"
            "Section \"ServerLayout\"\n"
            "  Identifier \"moiravel-layout\"\n"
            "  Screen \"moiravel-screen\"\n"
            "EndSection\n";
    writeTextFile(dir_ / "xorg.conf", conf.str());
    std::filesystem::create_directory(dir_ / "xorg.conf.d");
}

namespace {

// A modeline at 60 Hz with ordinary blanking, named "<w>x<h>_60": a bare "1280x1024" would
// let Xorg pick its built-in mode of that name at 85 Hz.
std::string modeline(int w, int h) {
    const int htotal = w + 256;
    const int vtotal = h + 28;
    std::ostringstream line;
    line << "  Modeline \"" << w << "x" << h << "_60\" " << htotal * vtotal * 60 / 1000 / 1e3 << " "
         << w << " " << w + 56 << " " << w + 176 << " " << htotal << " " << h << " " << h + 1 << " "
         << h + 5 << " " << vtotal << "\n";
    return line.str();
}

} // namespace

void XServer::writeTwoOutputsConfig() {
    // The dummy driver (0.4) makes outputs DUMMY0..DUMMY15 with RandR 1.2, each switching on
    // its own; a Monitor-<output> option gives an output its monitor section. Both offer
    // 1024x768_60, a mode other than their current one.
    width_ = 3200;
    height_ = 1080;
    std::ostringstream conf;
    conf << xorgDummyHead
         << "  Option \"Monitor-DUMMY0\" \"stim\"\n"
            "  Option \"Monitor-DUMMY1\" \"ctrl\"\n"
            "EndSection\n"
            "Section \"Monitor\"\n"
            "  Identifier \"stim\"\n"
            "  HorizSync 1.0-1000.0\n"
            "  VertRefresh 1.0-1000.0\n"
         << modeline(1920, 1080) << modeline(1024, 768) << modeline(800, 600)
         << "  Option \"PreferredMode\" \"1920x1080_60\"\n"
            "EndSection\n"
            "Section \"Monitor\"\n"
            "  Identifier \"ctrl\"\n"
            "  HorizSync 1.0-1000.0\n"
            "  VertRefresh 1.0-1000.0\n"
         << modeline(1280, 1024) << modeline(1024, 768)
         << "  Option \"Enable\" \"true\"\n"
            "  Option \"RightOf\" \"stim\"\n"
            "  Option \"PreferredMode\" \"1280x1024_60\"\n"
            "EndSection\n"
            "Section \"Screen\"\n"
            "  Identifier \"moiravel-screen\"\n"
            "  Device \"moiravel-dummy\"\n"
            "  Monitor \"stim\"\n"
            "  DefaultDepth 24\n"
            "  SubSection \"Display\"\n"
            "    Depth 24\n"
            "    Virtual 3200 1080\n"
            "  EndSubSection\n"
            "EndSection\n"
            "Section \"ServerLayout\"\n"
            "  Identifier \"moiravel-layout\"\n"
            "  Screen \"moiravel-screen\"\n"
            "EndSection\n";
    writeTextFile(dir_ / "xorg.conf", conf.str());
    std::filesystem::create_directory(dir_ / "xorg.conf.d");
}

XServer::XServer(XServerKind kind, int width, int height)
    : kind_(kind), width_(width), height_(height), dir_("moiravel-x") {
    std::string why = unavailableReason(kind);
    if (!why.empty()) {
        throw std::runtime_error(why);
    }
    if (kind == XServerKind::WestonXwayland || kind == XServerKind::WestonXwaylandTwoOutputs ||
        nativeWayland(kind)) {
        startWeston();
    } else if (kind == XServerKind::MutterXwayland ||
               kind == XServerKind::MutterXwaylandTwoMonitors) {
        startMutter();
    } else {
        startXServer();
    }

    // Ready to accept connections: a client connects.
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    for (;;) {
        if (Display *probe = XOpenDisplay(displayName_.c_str())) {
            XCloseDisplay(probe);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline || !process_->running()) {
            failStart("on " + displayName_ + " accepts no connection");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void XServer::failStart(const std::string &what) {
    std::string text = log();
    if (process_) {
        process_->stopGroup();
    }
    if (hostProcess_) {
        hostProcess_->stop();
    }
    restoreAuthority();
    throw std::runtime_error(std::string(toString(kind_)) + " " + what + ":\n" + text);
}

void XServer::startXServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    SpawnOptions options;
    if (kind_ == XServerKind::Xvfb) {
        options.argv = {xvfbPath,
                        "-displayfd",
                        std::to_string(fds[1]),
                        "-screen",
                        "0",
                        std::to_string(width_) + "x" + std::to_string(height_) + "x24",
                        "-nolisten",
                        "tcp",
                        "-noreset",
                        "-br"};
    } else {
        if (kind_ == XServerKind::XorgDummyTwoOutputs) {
            writeTwoOutputsConfig();
        } else {
            writeXorgConfig();
        }
        options.argv = {xorgPath,
                        "-displayfd",
                        std::to_string(fds[1]),
                        "-config",
                        (dir_ / "xorg.conf").string(),
                        "-configdir",
                        (dir_ / "xorg.conf.d").string(),
                        "-logfile",
                        (dir_ / "Xorg.log").string(),
                        "-nolisten",
                        "tcp",
                        "-noreset",
                        "-novtswitch",
                        "-br"};
    }
    options.inheritFd = fds[1];
    options.stdoutFile = dir_ / "server.out";
    options.stderrFile = dir_ / "server.err";
    process_ = std::make_unique<ChildProcess>(options);
    close(fds[1]);
    std::string number = readDisplayNumber(fds[0], *process_);
    close(fds[0]);
    if (number.empty()) {
        failStart("did not start");
    }
    displayName_ = ":" + number;
}

void XServer::startWeston() {
    makeXSocketDir();
    // The options have changed between weston releases; ask this one which it knows.
    SpawnOptions help;
    help.argv = {westonPath, "--help"};
    help.stdoutFile = dir_ / "help.out";
    help.stderrFile = dir_ / "help.err";
    ChildProcess(help).waitFor(std::chrono::seconds(10));
    const WestonOptions chosen =
        westonOptions(readTextFile(dir_ / "help.out") + readTextFile(dir_ / "help.err"));
    if (nativeWayland(kind_)) {
        startWestonNative(chosen);
        return;
    }

    // The directory of the test's own runtime files (weston's socket): mkdtemp made it 0700,
    // as weston demands.
    SpawnOptions options;
    if (kind_ == XServerKind::WestonXwaylandTwoOutputs) {
        startHostXvfb(width_ + secondOutputWidth, std::max(height_, secondOutputHeight));
        options.argv = westonOnHostArguments(chosen);
        options.setEnv["DISPLAY"] = hostDisplayName_;
    } else {
        options.argv = {westonPath,
                        "--backend=" + chosen.headlessBackend,
                        chosen.xwayland,
                        "--width=" + std::to_string(width_),
                        "--height=" + std::to_string(height_),
                        "--no-config",
                        "--idle-time=0",
                        "--log=" + (dir_ / "server.err").string()};
        options.unsetEnv = {"DISPLAY"};
    }
    options.setEnv["XDG_RUNTIME_DIR"] = dir_.path().string();
    options.unsetEnv.insert(options.unsetEnv.end(),
                            {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XAUTHORITY"});
    options.stdoutFile = dir_ / "server.out";
    options.stderrFile = dir_ / "weston.stderr";
    process_ = std::make_unique<ChildProcess>(options);

    // weston takes the first free display number and starts XWayland on it at the first
    // connection; it names the number in its log.
    const std::string announcement = "xserver listening on display :";
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    for (;;) {
        if (auto display = announcedDisplay(readTextFile(dir_ / "server.err"), announcement)) {
            displayName_ = *display;
            if (!hostDisplayName_.empty()) {
                spreadOutputWindows(hostDisplayName_, width_);
            }
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline || !process_->running()) {
            failStart("started no XWayland");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// An Xvfb for weston's x11 backend to open its output windows on; both lie at its origin.
void XServer::startHostXvfb(int width, int height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    SpawnOptions options;
    options.argv = {
        xvfbPath,    "-displayfd", std::to_string(fds[1]),
        "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
        "-nolisten", "tcp",        "-noreset"};
    options.inheritFd = fds[1];
    options.stderrFile = dir_ / "host-xvfb.err";
    hostProcess_ = std::make_unique<ChildProcess>(options);
    close(fds[1]);
    const std::string number = readDisplayNumber(fds[0], *hostProcess_);
    close(fds[0]);
    if (number.empty()) {
        failStart("found no Xvfb to run on");
    }
    hostDisplayName_ = ":" + number;
}

// weston's x11 backend with two outputs of the sizes wanted, and nothing of its shell over
// them: no panel, no screen lock.
std::vector<std::string> XServer::westonOnHostArguments(const WestonOptions &chosen) {
    const auto mode = [](int width, int height) {
        return std::to_string(width) + "x" + std::to_string(height);
    };
    writeTextFile(dir_ / "weston.ini", "[core]\nidle-time=0\n\n"
                                       "[shell]\npanel-position=none\nlocking=false\n\n"
                                       "[output]\nname=X1\nmode=" +
                                           mode(width_, height_) +
                                           "\n\n"
                                           "[output]\nname=X2\nmode=" +
                                           mode(secondOutputWidth, secondOutputHeight) + "\n");
    return {westonPath,
            "--backend=" + chosen.x11Backend,
            "--output-count=2",
            "--use-pixman",
            chosen.xwayland,
            "--config=" + (dir_ / "weston.ini").string(),
            "--log=" + (dir_ / "server.err").string()};
}

namespace {

// Whether a viewable top-level window of width x height lies at the origin of the display:
// weston's x11 backend shows its output there once it is up.
bool outputWindowShown(const std::string &displayName, int width, int height) {
    Display *host = XOpenDisplay(displayName.c_str());
    if (host == nullptr) {
        return false;
    }
    bool shown = false;
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(host, DefaultRootWindow(host), &rootReturn, &parentReturn, &children, &count)) {
        for (unsigned int k = 0; k < count; ++k) {
            XWindowAttributes a;
            shown = shown ||
                    (XGetWindowAttributes(host, children[k], &a) && a.map_state == IsViewable &&
                     a.x == 0 && a.y == 0 && a.width == width && a.height == height);
        }
        XFree(children);
    }
    XCloseDisplay(host);
    return shown;
}

} // namespace

// weston's x11 backend with one output window the size of its Xvfb, and nothing of its
// shell over it: no panel, no screen lock. At scale 2 the size given to weston is in surface
// coordinates: the x11 backend makes its window (and the output's mode) that size times the
// scale. Ready once its socket is there and its output's window shows.
void XServer::startWestonNative(const WestonOptions &chosen) {
    startHostXvfb(width_, height_);
    displayName_ = hostDisplayName_;
    waylandDisplay_ = "wayland-moiravel";
    const int scale = kind_ == XServerKind::WestonNativeScaleTwo ? 2 : 1;
    writeTextFile(dir_ / "weston.ini", "[core]\nidle-time=0\n\n"
                                       "[shell]\npanel-position=none\nlocking=false\n\n"
                                       "[output]\nname=X1\nscale=" +
                                           std::to_string(scale) + "\n");
    SpawnOptions options;
    options.argv = {westonPath,
                    "--backend=" + chosen.x11Backend,
                    "--use-pixman",
                    "--width=" + std::to_string(width_ / scale),
                    "--height=" + std::to_string(height_ / scale),
                    "--socket=" + waylandDisplay_,
                    "--config=" + (dir_ / "weston.ini").string(),
                    "--log=" + (dir_ / "server.err").string()};
    options.setEnv["DISPLAY"] = hostDisplayName_;
    options.setEnv["XDG_RUNTIME_DIR"] = dir_.path().string();
    options.unsetEnv = {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XAUTHORITY"};
    options.stdoutFile = dir_ / "server.out";
    options.stderrFile = dir_ / "weston.stderr";
    process_ = std::make_unique<ChildProcess>(options);
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (!std::filesystem::exists(dir_ / waylandDisplay_) ||
           !outputWindowShown(hostDisplayName_, width_, height_)) {
        if (std::chrono::steady_clock::now() >= deadline || !process_->running()) {
            failStart("showed no output");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void XServer::startMutter() {
    makeXSocketDir();
    std::error_code error;
    // mutter needs a session bus; dbus-run-session gives it one of its own, and ends the bus
    // with it. The runtime directory (mkdtemp made it 0700) takes mutter's Wayland socket and
    // XWayland's authority file; settings stay in memory, so none of the user's apply.
    SpawnOptions options;
    options.argv = {dbusRunSessionPath,
                    "--",
                    mutterPath,
                    "--headless",
                    "--wayland",
                    "--virtual-monitor",
                    std::to_string(width_) + "x" + std::to_string(height_)};
    if (kind_ == XServerKind::MutterXwaylandTwoMonitors) {
        options.argv.push_back("--virtual-monitor");
        options.argv.push_back(std::to_string(secondOutputWidth) + "x" +
                               std::to_string(secondOutputHeight));
    }
    options.setEnv["XDG_RUNTIME_DIR"] = dir_.path().string();
    options.setEnv["GSETTINGS_BACKEND"] = "memory";
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XAUTHORITY",
                        "DBUS_SESSION_BUS_ADDRESS"};
    options.stdoutFile = dir_ / "server.out";
    options.stderrFile = dir_ / "server.err";
    process_ = std::make_unique<ChildProcess>(options);

    // mutter takes the first free display number and names it once XWayland is set up; the
    // authority file lies in the runtime directory by then.
    const std::string announcement = "Using public X11 display :";
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    for (;;) {
        const auto display = announcedDisplay(
            readTextFile(dir_ / "server.err") + readTextFile(dir_ / "server.out"), announcement);
        std::string authority;
        for (const auto &entry : std::filesystem::directory_iterator(dir_.path(), error)) {
            if (entry.path().filename().string().starts_with(".mutter-Xwaylandauth.")) {
                authority = entry.path().string();
            }
        }
        if (display && !authority.empty()) {
            displayName_ = *display;
            authorityFile_ = authority;
            if (const char *previous = std::getenv("XAUTHORITY")) {
                previousAuthority_ = previous;
            }
            setenv("XAUTHORITY", authorityFile_.c_str(), 1);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline || !process_->running()) {
            failStart("started no XWayland");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void XServer::restoreAuthority() {
    if (authorityFile_.empty()) {
        return;
    }
    if (previousAuthority_) {
        setenv("XAUTHORITY", previousAuthority_->c_str(), 1);
    } else {
        unsetenv("XAUTHORITY");
    }
    authorityFile_.clear();
}

XServer::~XServer() {
    if (process_) {
        process_->stopGroup();
    }
    if (hostProcess_) {
        hostProcess_->stop();
    }
    restoreAuthority();
}

std::string XServer::log() const {
    std::string text = readTextFile(dir_ / "server.err");
    if (kind_ == XServerKind::XorgDummy || kind_ == XServerKind::XorgDummyTwoOutputs) {
        text += readTextFile(dir_ / "Xorg.log");
    }
    if (kind_ == XServerKind::WestonXwayland || kind_ == XServerKind::WestonXwaylandTwoOutputs ||
        nativeWayland(kind_)) {
        text += readTextFile(dir_ / "weston.stderr"); // XWayland's own messages land here
    }
    constexpr size_t keep = 4000;
    return text.size() > keep ? text.substr(text.size() - keep) : text;
}

} // namespace moiravel::xtest
