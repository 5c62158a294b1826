// SPDX-License-Identifier: MIT
// Files replaced only as a whole: written beside their final names, flushed, renamed in order.
#include "file_set.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

namespace moiravel::images {

namespace {

constexpr std::string_view temporaryPrefix = ".moiravel-make-images.";
constexpr std::string_view temporarySuffix = ".tmp";

std::string cannotWrite(const std::string &path, int error) {
    return path + ": cannot write: " + std::strerror(error);
}

std::string directoryOf(const std::string &path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// The process id in a temporary file's name, or 0 when the name is not one of ours.
pid_t temporaryOwner(std::string_view name) {
    if (!name.starts_with(temporaryPrefix) || !name.ends_with(temporarySuffix)) {
        return 0;
    }
    name.remove_prefix(temporaryPrefix.size());
    const std::size_t digits = std::min(name.find_first_not_of("0123456789"), name.size());
    if (digits == 0 || digits > 9 || digits == name.size() || name[digits] != '.') {
        return 0;
    }
    return static_cast<pid_t>(std::stol(std::string(name.substr(0, digits))));
}

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(descriptor, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

} // namespace

std::string temporaryPath(const std::string &path, pid_t pid) {
    const std::filesystem::path final(path);
    const std::string name = std::string(temporaryPrefix) + std::to_string(pid) + "." +
                             final.filename().string() + std::string(temporarySuffix);
    return (final.parent_path() / name).string();
}

FileSet::FileSet(std::vector<std::string> paths) {
    for (std::string &path : paths) {
        temporaries_.push_back(temporaryPath(path, ::getpid()));
        files_.push_back({std::move(path)});
    }
}

FileSet::~FileSet() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].descriptor >= 0) {
            ::close(files_[i].descriptor);
        }
        if (!files_[i].placed) {
            ::unlink(temporaries_[i].c_str());
        }
    }
}

Reason FileSet::create() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        File &file = files_[i];
        struct stat old {};
        const bool exists = ::stat(file.path.c_str(), &old) == 0;
        if (!exists && errno != ENOENT) {
            return cannotWrite(file.path, errno);
        }
        if (exists && S_ISDIR(old.st_mode)) {
            return cannotWrite(file.path, EISDIR);
        }
        if (exists && ::faccessat(AT_FDCWD, file.path.c_str(), W_OK, AT_EACCESS) != 0) {
            return cannotWrite(file.path, errno);
        }
        file.descriptor =
            ::open(temporaries_[i].c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.descriptor < 0) {
            return cannotWrite(file.path, errno);
        }
        if (exists && S_ISREG(old.st_mode) && ::fchmod(file.descriptor, old.st_mode & 07777) != 0) {
            return cannotWrite(file.path, errno);
        }
    }
    return std::nullopt;
}

Reason FileSet::write(const std::string &path, std::string_view bytes) {
    const auto found = std::find_if(files_.begin(), files_.end(),
                                    [&path](const File &file) { return file.path == path; });
    if (found == files_.end() || found->descriptor < 0) {
        return path + ": not a file this run has ready to write";
    }
    File &file = *found;
    const bool written = writeAll(file.descriptor, bytes) && ::fsync(file.descriptor) == 0;
    const int error = errno;
    const bool closed = ::close(file.descriptor) == 0;
    file.descriptor = -1;
    if (!written || !closed) {
        return cannotWrite(path, written ? errno : error);
    }
    file.written = true;
    return std::nullopt;
}

Reason FileSet::commit() {
    for (const File &file : files_) {
        if (!file.written) {
            return file.path + ": not written, so no file was replaced";
        }
    }
    std::set<std::string> directories;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (::rename(temporaries_[i].c_str(), files_[i].path.c_str()) != 0) {
            return cannotWrite(files_[i].path, errno);
        }
        files_[i].placed = true;
        directories.insert(directoryOf(files_[i].path));
    }
    // The renames reach the disk with their directories. A file system that cannot flush a
    // directory says EINVAL; its renames are then as lasting as it makes them.
    for (const std::string &directory : directories) {
        const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool flushed = descriptor >= 0 && (::fsync(descriptor) == 0 || errno == EINVAL);
        const int error = errno;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        if (!flushed) {
            return cannotWrite(directory, error);
        }
    }
    return std::nullopt;
}

Leftovers removeLeftovers(const std::vector<std::string> &directories) {
    Leftovers leftovers;
    std::set<pid_t> runs;
    for (const std::string &directory : directories) {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(directory, error), end;
             !error && entry != end; entry.increment(error)) {
            const pid_t owner = temporaryOwner(entry->path().filename().string());
            const bool gone =
                owner > 0 && (owner == ::getpid() || (::kill(owner, 0) == -1 && errno == ESRCH));
            if (gone && ::unlink(entry->path().c_str()) == 0) {
                ++leftovers.files;
                runs.insert(owner);
            }
        }
    }
    leftovers.runs = static_cast<int>(runs.size());
    return leftovers;
}

} // namespace moiravel::images
