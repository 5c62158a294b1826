#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <memory>
#include <string>

namespace moiravel::xtest {

enum class XServerKind {
    Xvfb,      // virtual framebuffer; GLUT game mode is not available there
    XorgDummy, // real Xorg with the dummy video driver; game mode works
};

const char *toString(XServerKind kind);

// An X server started on a free display number, with one screen of the given size at 24 bits
// per pixel, listening on its local socket only. The constructor returns once a client can
// connect; the destructor stops and reaps the server.
class XServer {
  public:
    XServer(XServerKind kind, int width, int height);
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Empty when the kind can be started here; otherwise why it cannot (for GTEST_SKIP).
    static std::string unavailableReason(XServerKind kind);

    XServerKind kind() const { return kind_; }
    const std::string &displayName() const { return displayName_; } // ":N"
    int width() const { return width_; }
    int height() const { return height_; }
    bool running() { return process_ && process_->running(); }
    std::string log() const;

  private:
    void writeXorgConfig();

    XServerKind kind_;
    int width_;
    int height_;
    TempDir dir_;
    std::string displayName_;
    std::unique_ptr<ChildProcess> process_;
};

} // namespace moiravel::xtest
