// SPDX-License-Identifier: MIT
// The frame log's file on Windows: CreateFile, WriteFile, FlushFileBuffers, and MoveFileEx
// over the old file, written through.
#include "log_file.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

std::string systemReason(DWORD error) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "Windows error " + std::to_string(error) : reason;
}

HANDLE handleOf(const LogFile &file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

} // namespace

bool createLogFile(LogFile &file, const std::string &path, std::string &why) {
    file.path = path;
    file.temporary = temporaryLogName(path);
    const HANDLE handle = CreateFileA(file.temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        why = systemReason(GetLastError());
        return false;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool appendToLogFile(LogFile &file, const char *data, std::size_t size, std::string &why) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD wrote = 0;
        if (!WriteFile(handleOf(file), data, chunk, &wrote, nullptr) || wrote == 0) {
            why = systemReason(GetLastError());
            return false;
        }
        data += wrote;
        size -= wrote;
    }
    return true;
}

bool finishLogFile(LogFile &file, std::string &why) {
    const HANDLE handle = handleOf(file);
    file.handle = -1;
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD error = GetLastError();
    if (!CloseHandle(handle) || !flushed ||
        !MoveFileExA(file.temporary.c_str(), file.path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        why = systemReason(flushed ? GetLastError() : error);
        DeleteFileA(file.temporary.c_str());
        return false;
    }
    return true;
}

void discardLogFile(LogFile &file) {
    if (file.handle != -1) {
        CloseHandle(handleOf(file));
        file.handle = -1;
    }
    DeleteFileA(file.temporary.c_str());
}
