// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace moiravel::xtest {

struct SpawnOptions {
    std::vector<std::string> argv;             // argv[0] is the program path
    std::filesystem::path workingDirectory;    // empty: inherit
    std::map<std::string, std::string> setEnv; // added to / replacing the inherited environment
    std::vector<std::string> unsetEnv;         // removed from the inherited environment
    std::filesystem::path stdoutFile;          // empty: /dev/null
    std::filesystem::path stderrFile;          // empty: /dev/null
    int inheritFd = -1;                        // one extra descriptor kept open in the child
};

// How a child ended: its exit code, or the signal that ended it.
struct ExitStatus {
    bool exited = false;
    int code = -1;  // valid when exited
    int signal = 0; // valid when !exited
    std::string describe() const;
};

// A child process started with fork/exec. The destructor kills (SIGKILL) and reaps it if it
// is still running, so a failing test never leaves a process behind.
class ChildProcess {
  public:
    explicit ChildProcess(const SpawnOptions &options);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // Waits at most `timeout` for the child to end; empty when it is still running.
    std::optional<ExitStatus> waitFor(std::chrono::milliseconds timeout);
    void signal(int sig);
    // SIGTERM, a grace period, then SIGKILL; always reaps.
    ExitStatus stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    // The same for the child's whole process group (the child leads one of its own), so
    // that what it started ends with it: a session bus, a compositor and its X server.
    ExitStatus stopGroup(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

  private:
    bool reap(bool block);
    bool endedUnreaped();

    pid_t pid_ = -1;
    std::optional<ExitStatus> status_;
};

} // namespace moiravel::xtest
