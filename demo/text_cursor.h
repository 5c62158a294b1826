// SPDX-License-Identifier: MIT
// The image reader's view of a file's header as text: lines read through a
// fixed line buffer, with the carriage-return conventions of a stream opened
// in text mode. It parses nothing; the reader (ppm_reader.cpp) does.
#pragma once

#include <cstddef>

// Header lines go through a line buffer of this many characters, so a line
// may hold one less before its line break.
inline constexpr int lineBufferSize = 256;

// A text stream over the file's bytes with the conventions of a stream opened
// in text mode: a carriage return right before a line feed is dropped. Once a
// read has failed every later read fails too.
class TextCursor {
  public:
    TextCursor(const char *data, std::size_t size) : pos_(data), end_(data + size) {}

    bool failed() const { return failed_; }
    bool atEnd() const { return eof_ || failed_; }

    // The next character without consuming it; -1 at the end or after a failure.
    int peek() {
        if (failed_) {
            return -1;
        }
        if (pos_ == end_) {
            eof_ = true;
            return -1;
        }
        // As an unsigned byte, so that text bytes above 0x7F are not taken
        // for the end of the file.
        return static_cast<unsigned char>(translated());
    }

    // Reads one line into line (NUL-terminated, at most lineBufferSize - 1
    // characters). Of a longer line the first characters stand for the line
    // and the stream is left failed. A failed read leaves line empty.
    void readLine(char (&line)[lineBufferSize]) {
        int count = 0;
        line[0] = '\0';
        if (failed_) {
            return;
        }
        const char *start = pos_;
        for (;;) {
            if (pos_ == end_) {
                eof_ = true;
                if (count == 0) {
                    failed_ = true;
                }
                break;
            }
            char c = translated();
            if (c == '\n') {
                advance();
                break;
            }
            if (count == lineBufferSize - 1) {
                failed_ = true;
                overlongLine_ = start;
                break;
            }
            line[count++] = c;
            advance();
        }
        line[count] = '\0';
    }

    const char *position() const { return pos_; }
    const char *end() const { return end_; }
    // The start of the line that was too long for the line buffer, or null.
    const char *overlongLine() const { return overlongLine_; }

  private:
    // The character at pos_, with "\r\n" seen as "\n".
    char translated() const {
        if (*pos_ == '\r' && pos_ + 1 != end_ && pos_[1] == '\n') {
            return '\n';
        }
        return *pos_;
    }
    void advance() {
        if (*pos_ == '\r' && pos_ + 1 != end_ && pos_[1] == '\n') {
            ++pos_;
        }
        ++pos_;
    }

    const char *pos_;
    const char *end_;
    bool eof_ = false;
    bool failed_ = false;
    const char *overlongLine_ = nullptr;
};
