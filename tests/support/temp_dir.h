// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace moiravel::xtest {

// A fresh directory under the system temp dir, removed with everything in it on destruction.
class TempDir {
  public:
    explicit TempDir(const std::string &prefix = "moiravel");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

void writeTextFile(const std::filesystem::path &file, const std::string &text);
std::string readTextFile(const std::filesystem::path &file);

} // namespace moiravel::xtest
