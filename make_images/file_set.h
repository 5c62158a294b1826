// SPDX-License-Identifier: MIT
// Files replaced only as a whole. Each file is written in full under a hidden temporary name
// beside its final one and flushed to the disk; only when all of them are written are they
// renamed into place, in the order given, and their directories flushed. Until the renames start
// the files of those names stay byte for byte as they were, and a failure removes every
// temporary file. It neither formats what it writes nor prints anything.
#pragma once

#include "refusal.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace moiravel::images {

// The temporary name of this tool for PATH written by process PID, in PATH's directory:
// "DIR/.moiravel-make-images.PID.NAME.tmp". The viewer never reads names that start with a dot.
std::string temporaryPath(const std::string &path, pid_t pid);

class FileSet {
  public:
    // The files by the paths the user knows them by, in the order they are put in place.
    explicit FileSet(std::vector<std::string> paths);
    // Removes the temporary files of those not put in place.
    ~FileSet();
    FileSet(const FileSet &) = delete;
    FileSet &operator=(const FileSet &) = delete;

    // Creates every temporary file, empty, with the permissions of the file it will replace, or
    // 0666 less the umask for a new one. Refuses a final name that is a directory or a file
    // this user may not write, as writing it in place would.
    Reason create();
    // The temporary files' paths, one for each file, in the order given.
    const std::vector<std::string> &temporaries() const { return temporaries_; }

    // Writes bytes as the whole of the file at path (one of those given), flushes it to the
    // disk and closes it; every step is checked. Different files may be written from different
    // threads at once.
    Reason write(const std::string &path, std::string_view bytes);
    // Renames every temporary file over its final name, in order, then flushes the directories.
    // Every file must have been written.
    Reason commit();

  private:
    struct File {
        std::string path;
        int descriptor = -1;
        bool written = false;
        bool placed = false;
    };
    std::vector<File> files_;
    std::vector<std::string> temporaries_;
};

// What removeLeftovers found: the files it removed and how many runs had left them.
struct Leftovers {
    int files = 0;
    int runs = 0;
};

// Removes the temporary files in the directories that runs of this tool left behind which are
// no longer running (or whose process id this process now has).
Leftovers removeLeftovers(const std::vector<std::string> &directories);

} // namespace moiravel::images
