// Row-parallel loops for the image tool.
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace moiravel::images {

// Number of worker threads the tool uses; 0 means one per hardware thread.
void setThreadCount(unsigned count);
unsigned threadCount();

// Calls body(begin, end) on disjoint ranges that together cover [0, count), spread over the
// worker threads. Each range is processed on one thread; body must only write data owned by
// its own range.
template <typename Body> void parallelRanges(std::size_t count, Body &&body) {
    const std::size_t workers = std::min<std::size_t>(threadCount(), count);
    if (workers <= 1) {
        if (count > 0) {
            body(std::size_t{0}, count);
        }
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(workers - 1);
    const std::size_t chunk = (count + workers - 1) / workers;
    for (std::size_t w = 1; w < workers; ++w) {
        const std::size_t begin = std::min(count, w * chunk);
        const std::size_t end = std::min(count, begin + chunk);
        threads.emplace_back([&body, begin, end] { body(begin, end); });
    }
    body(std::size_t{0}, std::min(count, chunk));
    for (auto &thread : threads) {
        thread.join();
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
