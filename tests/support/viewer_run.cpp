// SPDX-License-Identifier: MIT
#include "viewer_run.h"

namespace moiravel::xtest {

ViewerRun::ViewerRun(const std::string &binary, const std::filesystem::path &workingDirectory,
                     const std::string &displayName,
                     const std::map<std::string, std::string> &extraEnv,
                     const std::vector<std::string> &args)
    : capture_("moiravel-capture") {
    SpawnOptions options;
    options.argv = {binary};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.workingDirectory = workingDirectory;
    options.setEnv = extraEnv;
    options.setEnv["DISPLAY"] = displayName;
    options.setEnv.insert_or_assign("LIBGL_ALWAYS_SOFTWARE", std::string(1, '1'));
    options.unsetEnv = {"XAUTHORITY", "WAYLAND_DISPLAY"};
    options.stdoutFile = capture_ / "stdout";
    options.stderrFile = capture_ / "stderr";
    process_ = std::make_unique<ChildProcess>(options);
}

} // namespace moiravel::xtest
