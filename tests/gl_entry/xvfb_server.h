// A private Xvfb for the real-driver test: started on the first free display from :90 upwards,
// stopped by the destructor.
#pragma once

#include <string>
#include <sys/types.h>

class XvfbServer {
  public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool running() const { return pid_ > 0; }
    // ":N", or empty when no server could be started.
    const std::string &display() const { return display_; }
    // Why the server could not be started.
    const std::string &error() const { return error_; }

  private:
    bool tryDisplay(int number);
    void stop();

    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};
