// SPDX-License-Identifier: MIT
// The real moiravel-make-images run as a child process in a working directory, its standard
// output and error kept in files there. It checks nothing about what the tool does.
#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <chrono>
#include <string>
#include <vector>

namespace moiravel::images {

struct ToolRun {
    int code = -1; // -1 when the tool did not exit by itself
    std::string out;
    std::string err;
};

inline xtest::SpawnOptions toolOptions(const xtest::TempDir &work,
                                       const std::vector<std::string> &arguments) {
    xtest::SpawnOptions options;
    options.argv = {MOIRAVEL_MAKE_IMAGES_BINARY};
    options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
    options.workingDirectory = work.path();
    options.stdoutFile = work / "tool.out";
    options.stderrFile = work / "tool.err";
    return options;
}

// Waits for the tool to end and reads what it said.
inline ToolRun finishTool(xtest::ChildProcess &tool, const xtest::TempDir &work) {
    const auto status = tool.waitFor(std::chrono::seconds(120));
    ToolRun run;
    run.code = status && status->exited ? status->code : -1;
    run.out = xtest::readTextFile(work / "tool.out");
    run.err = xtest::readTextFile(work / "tool.err");
    return run;
}

inline ToolRun runTool(const xtest::TempDir &work, const std::vector<std::string> &arguments) {
    xtest::ChildProcess tool(toolOptions(work, arguments));
    return finishTool(tool, work);
}

} // namespace moiravel::images
