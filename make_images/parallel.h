// SPDX-License-Identifier: MIT
// Row-parallel loops for the image tool.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace moiravel::images {

// Number of worker threads the tool uses; 0 means one per hardware thread.
void setThreadCount(unsigned count);
unsigned threadCount();

// Calls body(begin, end) on disjoint ranges that together cover [0, count), spread over the
// worker threads. Each range is processed on one thread; body must only write data owned by
// its own range. An exception thrown by body, or by starting a thread, is thrown again here once
// every thread started has ended (the lowest range's first); the other ranges may be done or
// not.
template <typename Body> void parallelRanges(std::size_t count, Body &&body) {
    const std::size_t workers = std::min<std::size_t>(threadCount(), count);
    if (workers <= 1) {
        if (count > 0) {
            body(std::size_t{0}, count);
        }
        return;
    }
    std::vector<std::exception_ptr> failures(workers);
    std::vector<std::thread> threads;
    threads.reserve(workers - 1);
    const std::size_t chunk = (count + workers - 1) / workers;
    const auto run = [&body, &failures](std::size_t worker, std::size_t begin, std::size_t end) {
        try {
            body(begin, end);
        } catch (...) {
            failures[worker] = std::current_exception();
        }
    };
    try {
        for (std::size_t w = 1; w < workers; ++w) {
            const std::size_t begin = std::min(count, w * chunk);
            const std::size_t end = std::min(count, begin + chunk);
            threads.emplace_back(run, w, begin, end);
        }
        run(0, 0, std::min(count, chunk));
    } catch (...) {
        failures[0] = std::current_exception();
    }
    // A thread destroyed before it is joined ends the process, so every one is joined first.
    for (auto &thread : threads) {
        thread.join();
    }
    for (const std::exception_ptr &failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

// Calls body(i) for every i in [0, count), spread over the worker threads.
template <typename Body> void parallelFor(std::size_t count, Body &&body) {
    parallelRanges(count, [&body](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            body(i);
        }
    });
}

} // namespace moiravel::images
