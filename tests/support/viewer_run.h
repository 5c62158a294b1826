// SPDX-License-Identifier: MIT
#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moiravel::xtest {

// The viewer binary running in `workingDirectory` on `displayName`, with Mesa's software
// renderer, with `args` after the program's name; standard output and standard error are
// captured apart.
class ViewerRun {
  public:
    ViewerRun(const std::string &binary, const std::filesystem::path &workingDirectory,
              const std::string &displayName,
              const std::map<std::string, std::string> &extraEnv = {},
              const std::vector<std::string> &args = {});
    ~ViewerRun() = default;

    ChildProcess &process() { return *process_; }
    bool running() { return process_->running(); }
    std::optional<ExitStatus> waitFor(std::chrono::milliseconds timeout) {
        return process_->waitFor(timeout);
    }
    std::string out() const { return readTextFile(capture_ / "stdout"); }
    std::string err() const { return readTextFile(capture_ / "stderr"); }

  private:
    TempDir capture_;
    std::unique_ptr<ChildProcess> process_;
};

} // namespace moiravel::xtest
