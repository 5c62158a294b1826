// SPDX-License-Identifier: MIT
// The frame log kept in blocks and written by a thread of its own (frame_log_writer.h).
#include "frame_log_writer.h"

#include "log_file.h"
#include "messages.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Block {
    std::int64_t firstFrame = 0;
    std::int64_t count = 0;
    FrameRow rows[frameLogBlockRows];
};

// Blocks made at the start; more only while the writer falls behind.
constexpr int blocksAtStart = 4;

struct Writer {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Block *> queued; // under mutex: full blocks for the thread to write
    std::vector<Block *> free;  // under mutex: written blocks to be filled again
    bool finishing = false;     // under mutex: no more blocks will come
    std::string failure;        // under mutex: why the log stopped; empty while it goes
    std::thread thread;
};

struct FrameLog {
    std::string path;
    bool requested = false;
    bool started = false;
    bool finished = false;
    std::string failure; // why the log never started
    LogFile file;
    std::vector<std::unique_ptr<Block>> blocks; // all the blocks made
    Block *current = nullptr;
    Block *previous = nullptr; // the block before current, held for late completions
    unsigned char keys[keysPerRow] = {};
    std::int32_t keyCount = 0;
    Writer writer;
};

FrameLog frameLog;

void writeBlocks() {
    Writer &writer = frameLog.writer;
    std::vector<char> text(static_cast<std::size_t>(frameLogBlockRows) * frameRowTextMax);
    bool presentSeen = false;
    std::uint64_t presentOrigin = 0;
    std::unique_lock<std::mutex> lock(writer.mutex);
    for (;;) {
        writer.wake.wait(lock, [&] { return !writer.queued.empty() || writer.finishing; });
        if (writer.queued.empty()) {
            return;
        }
        Block *block = writer.queued.front();
        writer.queued.pop_front();
        const bool failed = !writer.failure.empty();
        lock.unlock();
        std::size_t length = 0;
        for (std::int64_t i = 0; !failed && i < block->count; ++i) {
            const FrameRow &row = block->rows[i];
            if (row.hasPresent && !presentSeen) {
                presentSeen = true;
                presentOrigin = row.presentNs;
            }
            length += frameRowText(row, presentOrigin, text.data() + length);
        }
        std::string why;
        const bool wrote = failed || appendToLogFile(frameLog.file, text.data(), length, why);
        if (!wrote) {
            std::fprintf(stderr, "%s\n",
                         demoMessage("cannot write the frame log " + frameLog.path + ": " + why +
                                     "; the log stops, the run goes on")
                             .c_str());
            discardLogFile(frameLog.file);
        }
        lock.lock();
        if (!wrote) {
            writer.failure = why;
        }
        writer.free.push_back(block);
    }
}

Block *freshBlock(std::int64_t firstFrame) {
    Block *block = nullptr;
    {
        std::lock_guard<std::mutex> lock(frameLog.writer.mutex);
        if (!frameLog.writer.free.empty()) {
            block = frameLog.writer.free.back();
            frameLog.writer.free.pop_back();
        }
    }
    if (block == nullptr) {
        frameLog.blocks.push_back(std::make_unique<Block>());
        block = frameLog.blocks.back().get();
    }
    block->firstFrame = firstFrame;
    block->count = 0;
    return block;
}

void queueBlock(Block *block) {
    if (block == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLog.writer.mutex);
        frameLog.writer.queued.push_back(block);
    }
    frameLog.writer.wake.notify_one();
}

bool startWriting() {
    frameLog.started = true;
    const std::string header = std::string(frameLogFormat::header) + "\n";
    std::string why;
    if (!createLogFile(frameLog.file, frameLog.path, why) ||
        !appendToLogFile(frameLog.file, header.data(), header.size(), why)) {
        discardLogFile(frameLog.file);
        frameLog.failure = why;
        std::fprintf(stderr, "%s\n",
                     demoMessage("cannot write the frame log " + frameLog.path + ": " + why +
                                 "; the run goes on without it")
                         .c_str());
        return false;
    }
    for (int i = 0; i < blocksAtStart; ++i) {
        frameLog.blocks.push_back(std::make_unique<Block>());
        frameLog.writer.free.push_back(frameLog.blocks.back().get());
    }
    frameLog.writer.thread = std::thread(writeBlocks);
    return true;
}

bool writing() {
    return frameLog.started && frameLog.failure.empty() && !frameLog.finished;
}

} // namespace

void requestFrameLog(const std::string &path) {
    frameLog.path = path;
    frameLog.requested = !path.empty();
}

bool frameLogRequested() {
    return frameLog.requested;
}

void noteFrameLogKey(unsigned char key) {
    if (frameLog.requested && frameLogKeyName(key) != nullptr && frameLog.keyCount < keysPerRow) {
        frameLog.keys[frameLog.keyCount++] = key;
    }
}

void logFrame(const FrameRow &row) {
    if (!frameLog.requested || frameLog.finished || (!frameLog.started && !startWriting()) ||
        !frameLog.failure.empty()) {
        return;
    }
    if (frameLog.current == nullptr) {
        frameLog.current = freshBlock(row.frame);
    } else if (frameLog.current->count == frameLogBlockRows) {
        queueBlock(frameLog.previous);
        frameLog.previous = frameLog.current;
        frameLog.current = freshBlock(row.frame);
    }
    FrameRow &kept = frameLog.current->rows[frameLog.current->count++];
    kept = row;
    std::copy(frameLog.keys, frameLog.keys + frameLog.keyCount, kept.keys);
    kept.keyCount = frameLog.keyCount;
    frameLog.keyCount = 0;
}

FrameRow *heldFrameRow(std::int64_t frame) {
    if (!writing()) {
        return nullptr;
    }
    for (Block *block : {frameLog.current, frameLog.previous}) {
        if (block != nullptr && frame >= block->firstFrame &&
            frame < block->firstFrame + block->count) {
            return &block->rows[frame - block->firstFrame];
        }
    }
    return nullptr;
}

std::string finishFrameLog(const RefreshCheck &finished, FrameLogEnd end) {
    if (!frameLog.requested) {
        return {};
    }
    if (frameLog.finished) {
        return "frame log " + frameLog.path;
    }
    if (!frameLog.started) {
        // No frame was drawn: an empty log, header and trailer.
        if (!startWriting()) {
            frameLog.finished = true;
            return "frame log not written: " + frameLog.failure;
        }
    }
    frameLog.finished = true;
    if (!frameLog.failure.empty()) {
        return "frame log not written: " + frameLog.failure;
    }
    queueBlock(frameLog.previous);
    queueBlock(frameLog.current);
    frameLog.previous = frameLog.current = nullptr;
    Writer &writer = frameLog.writer;
    {
        std::lock_guard<std::mutex> lock(writer.mutex);
        writer.finishing = true;
    }
    writer.wake.notify_one();
    writer.thread.join();
    if (!writer.failure.empty()) {
        return "frame log not written: " + writer.failure;
    }
    std::string why;
    const std::string trailer = frameLogTrailer(finished, end);
    if (!appendToLogFile(frameLog.file, trailer.data(), trailer.size(), why)) {
        discardLogFile(frameLog.file);
        return "frame log not written: " + why;
    }
    if (!finishLogFile(frameLog.file, why)) {
        return "frame log not written: " + why;
    }
    return "frame log " + frameLog.path;
}
