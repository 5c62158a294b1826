#include "xvfb_server.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int firstDisplay = 90;
constexpr int displaysToTry = 40;
constexpr auto startTimeout = std::chrono::seconds(15);

bool displayInUse(int number) {
    char lock[64];
    char socket[64];
    std::snprintf(lock, sizeof lock, "/tmp/.X%d-lock", number);
    std::snprintf(socket, sizeof socket, "/tmp/.X11-unix/X%d", number);
    struct stat info {};
    return stat(lock, &info) == 0 || stat(socket, &info) == 0;
}

} // namespace

XvfbServer::XvfbServer() {
    for (int number = firstDisplay; number < firstDisplay + displaysToTry; ++number) {
        if (!displayInUse(number) && tryDisplay(number)) {
            return;
        }
    }
    if (error_.empty()) {
        error_ = "no free display between :" + std::to_string(firstDisplay) +
                 " and :" + std::to_string(firstDisplay + displaysToTry - 1);
    }
}

XvfbServer::~XvfbServer() {
    stop();
}

bool XvfbServer::tryDisplay(int number) {
    const std::string display = ":" + std::to_string(number);
    const pid_t pid = fork();
    if (pid < 0) {
        error_ = "fork failed";
        return false;
    }
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
               static_cast<char *>(nullptr));
        _exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // Exited: the display was taken meanwhile, or Xvfb is missing (status 127).
            if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
                error_ = "Xvfb could not be run";
            }
            return false;
        }
        if (Display *connection = XOpenDisplay(display.c_str())) {
            XCloseDisplay(connection);
            pid_ = pid;
            display_ = display;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    error_ = "Xvfb on " + display + " did not accept connections in time";
    return false;
}

void XvfbServer::stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
}
