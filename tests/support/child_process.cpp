// SPDX-License-Identifier: MIT
#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace moiravel::xtest {

namespace {

int openOutput(const std::filesystem::path &file) {
    const char *name = file.empty() ? "/dev/null" : file.c_str();
    return open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

[[noreturn]] void childFail(const char *what) {
    // Only async-signal-safe calls between fork and exec.
    const char prefix[] = "moiravel test support: child set-up failed: ";
    ssize_t ignored = write(2, prefix, sizeof prefix - 1);
    ignored = write(2, what, strlen(what));
    ignored = write(2, "\n", 1);
    (void)ignored;
    _exit(127);
}

} // namespace

std::string ExitStatus::describe() const {
    if (exited) {
        return "exit status " + std::to_string(code);
    }
    return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

ChildProcess::ChildProcess(const SpawnOptions &options) {
    if (options.argv.empty()) {
        throw std::invalid_argument("ChildProcess: empty argv");
    }
    // Everything the child needs is prepared before fork.
    std::vector<std::string> envStrings;
    for (char **e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool drop = options.setEnv.count(name) != 0;
        for (const auto &unset : options.unsetEnv) {
            drop = drop || unset == name;
        }
        if (!drop) {
            envStrings.push_back(entry);
        }
    }
    for (const auto &[name, value] : options.setEnv) {
        envStrings.push_back(name + "=" + value);
    }
    std::vector<char *> envp;
    for (auto &entry : envStrings) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = options.argv;
    std::vector<char *> argv;
    for (auto &arg : argStrings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int outFd = openOutput(options.stdoutFile);
    int errFd = openOutput(options.stderrFile);
    int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || errFd < 0 || nullFd < 0) {
        throw std::runtime_error("ChildProcess: cannot open output files");
    }
    std::string cwd = options.workingDirectory.string();

    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0); // own process group: a terminal's Ctrl-C does not reach it twice
        if (dup2(nullFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) {
            childFail("dup2");
        }
        if (options.inheritFd >= 0) {
            int flags = fcntl(options.inheritFd, F_GETFD);
            fcntl(options.inheritFd, F_SETFD, flags & ~FD_CLOEXEC);
        }
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
            childFail("chdir");
        }
        execve(argv[0], argv.data(), envp.data());
        childFail(argv[0]);
    }
    int forkErrno = errno;
    close(outFd);
    close(errFd);
    close(nullFd);
    if (pid_ < 0) {
        throw std::runtime_error(std::string("fork failed: ") + strerror(forkErrno));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        reap(true);
    }
}

bool ChildProcess::reap(bool block) {
    if (status_) {
        return true;
    }
    int raw = 0;
    pid_t got;
    do {
        got = waitpid(pid_, &raw, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got != pid_) {
        return false;
    }
    ExitStatus status;
    status.exited = WIFEXITED(raw);
    status.code = status.exited ? WEXITSTATUS(raw) : -1;
    status.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    status_ = status;
    return true;
}

bool ChildProcess::running() {
    return !reap(false);
}

std::optional<ExitStatus> ChildProcess::waitFor(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

void ChildProcess::signal(int sig) {
    if (!status_) {
        kill(pid_, sig);
    }
}

ExitStatus ChildProcess::stop(std::chrono::milliseconds grace) {
    if (!status_) {
        kill(pid_, SIGTERM);
        if (!waitFor(grace)) {
            kill(pid_, SIGKILL);
            reap(true);
        }
    }
    return *status_;
}

bool ChildProcess::endedUnreaped() {
    siginfo_t info{};
    int result;
    do {
        result = waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (result < 0 && errno == EINTR);
    return result == 0 && info.si_pid == pid_;
}

ExitStatus ChildProcess::stopGroup(std::chrono::milliseconds grace) {
    if (!status_) {
        // The leader stays a zombie until every member has had SIGKILL: its process group
        // number cannot be taken by another group meanwhile.
        kill(-pid_, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + grace;
        while (!endedUnreaped() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(-pid_, SIGKILL);
        reap(true);
    }
    return *status_;
}

} // namespace moiravel::xtest
