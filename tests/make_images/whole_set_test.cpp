// SPDX-License-Identifier: MIT
// The real moiravel-make-images replaces a set only as a whole: a full disk, a write limit or a
// signal while it writes leaves the previous set byte for byte and no file of the run, with one
// line and status 1 (the signal's own end for a signal); a run killed outright is cleaned up by
// the next. The full disk is a small tmpfs, where the test may mount one.
#include "temp_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace moiravel::images {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char *const setFiles[] = {"0Image.ppm", "1Image.ppm", "2Image.ppm", "3Image.ppm",
                                "README.txt"};

// Every file in the directory by name, with its bytes.
std::map<std::string, std::string> contents(const fs::path &directory) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(directory)) {
        files[entry.path().filename().string()] = xtest::readTextFile(entry.path());
    }
    return files;
}

// A set made by the tool at a small screen, to stand for the set a new run replaces.
void makeOldSet(const xtest::TempDir &work, const std::string &out) {
    const ToolRun run = runTool(work, {"--screen", "64x48", "--iterations", "1", "--out", out});
    ASSERT_EQ(run.code, 0) << run.err;
}

// The lines of standard error that are the tool's messages (not the progress bar).
std::vector<std::string> messages(const std::string &err) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = err.find('\n', start)) != std::string::npos; start = end + 1) {
        if (err.compare(start, 22, "moiravel-make-images: ") == 0) {
            lines.push_back(err.substr(start, end - start));
        }
    }
    return lines;
}

// A tmpfs mounted on DIR for the test's life, or why it cannot be.
class SmallDisk {
  public:
    explicit SmallDisk(const fs::path &directory) : path_(directory) {
        fs::create_directories(path_);
        if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=16m") != 0) {
            unavailable_ = std::string("cannot mount a small tmpfs to fill (") +
                           std::strerror(errno) + "); that needs root, as in CI";
        }
    }
    ~SmallDisk() {
        if (unavailable_.empty()) {
            ::umount2(path_.c_str(), MNT_DETACH);
        }
    }
    const std::string &unavailable() const { return unavailable_; }

    // Fills the disk with a file of zeros until exactly `blocks` blocks are free.
    void leaveFree(unsigned long blocks) const {
        struct statvfs disk {};
        ASSERT_EQ(::statvfs(path_.c_str(), &disk), 0);
        ASSERT_GT(disk.f_bavail, blocks);
        xtest::writeTextFile(path_ / "filler",
                             std::string((disk.f_bavail - blocks) * disk.f_bsize, '\0'));
        ASSERT_EQ(::statvfs(path_.c_str(), &disk), 0);
        ASSERT_EQ(disk.f_bavail, blocks);
    }
    unsigned long blocksOf(const fs::path &file) const {
        struct statvfs disk {};
        ::statvfs(path_.c_str(), &disk);
        return (fs::file_size(file) + disk.f_bsize - 1) / disk.f_bsize;
    }

  private:
    fs::path path_;
    std::string unavailable_;
};

TEST(MakeImagesWholeSet, AFullDiskLeavesThePreviousSetAndSaysWhy) {
    xtest::TempDir work("moiravel-images-whole");
    const SmallDisk disk(work / "disk");
    if (!disk.unavailable().empty()) {
        GTEST_SKIP() << disk.unavailable();
    }
    const std::vector<std::string> newSet = {"--screen", "320x240", "--iterations", "2"};
    std::vector<std::string> reference = newSet;
    reference.insert(reference.end(), {"--out", "reference"});
    ASSERT_EQ(runTool(work, reference).code, 0);

    // The files are written in the order they are put in place: the images, the preview,
    // README.txt. Room for all the images but no more makes the next file fail.
    struct Case {
        const char *name;
        bool preview;
        bool roomForTheImages;
        const char *failing; // the file the reason names, as a regular expression
    };
    const Case cases[] = {
        {"the images", false, false, "disk/set/[0-3]Image\\.ppm"},
        {"the preview", true, true, "disk/set/preview\\.png"},
        {"README.txt", false, true, "disk/set/README\\.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &entry : fs::directory_iterator(work / "disk")) {
            fs::remove_all(entry.path());
        }
        ASSERT_NO_FATAL_FAILURE(makeOldSet(work, "disk/set"));
        const auto old = contents(work / "disk" / "set");
        unsigned long images = 0;
        for (int i = 0; i < 4; ++i) {
            images += disk.blocksOf(work / "reference" / setFiles[i]);
        }
        ASSERT_NO_FATAL_FAILURE(disk.leaveFree(c.roomForTheImages ? images : images / 2));

        std::vector<std::string> arguments = newSet;
        arguments.insert(arguments.end(), {"--out", "disk/set"});
        if (c.preview) {
            arguments.insert(arguments.end(), {"--preview", "disk/set/preview.png"});
        }
        const ToolRun run = runTool(work, arguments);
        EXPECT_EQ(run.code, 1) << run.err;
        const std::vector<std::string> said = messages(run.err);
        ASSERT_EQ(said.size(), 1u) << run.err;
        EXPECT_TRUE(
            std::regex_match(said[0], std::regex(std::string("moiravel-make-images: ") + c.failing +
                                                 ": cannot write: No space left on device")))
            << said[0];
        EXPECT_EQ(run.err.substr(run.err.size() - said[0].size() - 1), said[0] + "\n");
        EXPECT_TRUE(contents(work / "disk" / "set") == old) << "the previous set was changed";
    }
}

// Every machine runs this one: a write limit (RLIMIT_FSIZE, with SIGXFSZ ignored) makes the
// system refuse the images with EFBIG.
TEST(MakeImagesWholeSet, AWriteLimitLeavesThePreviousSetAndSaysWhy) {
    xtest::TempDir work("moiravel-images-whole");
    ASSERT_NO_FATAL_FAILURE(makeOldSet(work, "set"));
    const auto old = contents(work / "set");
    xtest::SpawnOptions options =
        toolOptions(work, {"--screen", "320x240", "--iterations", "2", "--out", "set"});
    // ulimit -f counts 512-byte blocks: 512 KB, less than one image of 320x240.
    options.argv.insert(options.argv.begin(),
                        {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1024; exec \"$0\" \"$@\""});
    xtest::ChildProcess tool(options);
    const ToolRun run = finishTool(tool, work);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(messages(run.err),
              std::vector<std::string>{
                  "moiravel-make-images: set/0Image.ppm: cannot write: File too large"})
        << run.err;
    EXPECT_TRUE(contents(work / "set") == old) << "the previous set was changed";
}

// Stops the tool (SIGSTOP) once it is writing its images and before it writes README.txt, the
// last file before the renames; false when the run ended before the test could stop it there.
bool stopWhileWriting(xtest::ChildProcess &tool, const fs::path &set) {
    const std::string prefix = ".moiravel-make-images." + std::to_string(tool.pid()) + ".";
    const auto writing = [&] {
        std::error_code error;
        bool image = false;
        bool readmeEmpty = false;
        for (const auto &entry : fs::directory_iterator(set, error)) {
            const std::string name = entry.path().filename().string();
            const auto size = fs::file_size(entry.path(), error);
            if (!error && name.starts_with(prefix)) {
                image = image || (name.find("Image.ppm") != std::string::npos && size > 0);
                readmeEmpty = readmeEmpty || (name == prefix + "README.txt.tmp" && size == 0);
            }
        }
        return image && readmeEmpty;
    };
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (tool.running() && std::chrono::steady_clock::now() < deadline) {
        if (writing()) {
            tool.signal(SIGSTOP);
            if (writing()) {
                return true;
            }
            tool.signal(SIGCONT);
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(MakeImagesWholeSet, ASignalWhileWritingLeavesThePreviousSet) {
    xtest::TempDir work("moiravel-images-whole");
    ASSERT_NO_FATAL_FAILURE(makeOldSet(work, "old"));
    const auto old = contents(work / "old");
    const std::vector<std::string> newSet = {"--screen",  "1280x720", "--iterations", "1",
                                             "--threads", "1",        "--out",        "set"};
    for (const int ending : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(ending));
        bool stopped = false;
        // A run that ends before the test stops it is tried again from the previous set.
        for (int attempt = 0; attempt < 3 && !stopped; ++attempt) {
            fs::remove_all(work / "set");
            fs::copy(work / "old", work / "set");
            xtest::ChildProcess tool(toolOptions(work, newSet));
            stopped = stopWhileWriting(tool, work / "set");
            if (!stopped) {
                continue;
            }
            tool.signal(ending);
            tool.signal(SIGCONT);
            const auto status = tool.waitFor(120s);
            ASSERT_TRUE(status.has_value());
            EXPECT_FALSE(status->exited) << status->describe();
            EXPECT_EQ(status->signal, ending) << status->describe();
        }
        ASSERT_TRUE(stopped) << "every run finished before the test could stop it";
        const auto left = contents(work / "set");
        for (const char *name : setFiles) {
            EXPECT_EQ(left.at(name), old.at(name)) << name << " is not the previous one";
        }
        if (ending == SIGTERM) {
            EXPECT_TRUE(left == old) << "a file of the run is left";
            EXPECT_EQ(messages(xtest::readTextFile(work / "tool.err")),
                      std::vector<std::string>{
                          "moiravel-make-images: interrupted by SIGTERM; no file was replaced"});
            continue;
        }
        // SIGKILL leaves the run's temporary files; the next run removes them and succeeds.
        EXPECT_GT(left.size(), old.size());
        const ToolRun next = runTool(work, newSet);
        EXPECT_EQ(next.code, 0) << next.err;
        EXPECT_EQ(messages(next.err),
                  std::vector<std::string>{"moiravel-make-images: removed 5 temporary files of "
                                           "an earlier run that did not finish"})
            << next.err;
        const auto replaced = contents(work / "set");
        EXPECT_EQ(replaced.size(), old.size()) << "a temporary file is left";
        EXPECT_NE(replaced.at("0Image.ppm"), old.at("0Image.ppm"));
    }
}

} // namespace
} // namespace moiravel::images
