// SPDX-License-Identifier: MIT
// Files replaced only as a whole: written beside their final names, flushed, renamed in order.
#include "file_set.h"

#include "file_system.h"

#include <sys/stat.h>

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

} // namespace

std::string temporaryPath(const std::string &path, pid_t pid) {
    const std::filesystem::path final(path);
    const std::string name = std::string(temporaryPrefix) + std::to_string(pid) + "." +
                             final.filename().string() + std::string(temporarySuffix);
    return (final.parent_path() / name).string();
}

FileSet::FileSet(std::vector<std::string> paths) {
    for (std::string &path : paths) {
        temporaries_.push_back(temporaryPath(path, currentProcess()));
        files_.push_back({std::move(path)});
    }
}

FileSet::~FileSet() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].descriptor >= 0) {
            closeFile(files_[i].descriptor);
        }
        if (!files_[i].placed) {
            removeFile(temporaries_[i]);
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
        if (exists && !mayWrite(file.path)) {
            return cannotWrite(file.path, errno);
        }
        const bool keepMode = exists && S_ISREG(old.st_mode);
        file.descriptor =
            createNew(temporaries_[i], keepMode ? static_cast<unsigned>(old.st_mode) : 0);
        if (file.descriptor < 0) {
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
    const bool written = writeFlushClose(file.descriptor, bytes);
    file.descriptor = -1;
    if (!written) {
        return cannotWrite(path, errno);
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
        if (!replaceFile(temporaries_[i], files_[i].path)) {
            return cannotWrite(files_[i].path, errno);
        }
        files_[i].placed = true;
        directories.insert(directoryOf(files_[i].path));
    }
    // The renames reach the disk with their directories.
    for (const std::string &directory : directories) {
        if (!flushDirectory(directory)) {
            return cannotWrite(directory, errno);
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
            const bool gone = owner > 0 && (owner == currentProcess() || !processRunning(owner));
            if (gone && removeFile(entry->path().string())) {
                ++leftovers.files;
                runs.insert(owner);
            }
        }
    }
    leftovers.runs = static_cast<int>(runs.size());
    return leftovers;
}

} // namespace moiravel::images
