// SPDX-License-Identifier: MIT
// Cost of calls through the entry-point table: a resolved slot against a direct call of the same
// function pointer, and the first call that resolves a slot. Uses the platform lookup; without a
// current context the driver's entry points do nothing, which leaves the call itself to measure.
#include "gl_entry/entry_points.h"
#include "gl_entry/lookup.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace {

gl_entry::types::glBlendColor stubOfBlendColor = nullptr;
gl_entry::types::glBlendColor directBlendColor = nullptr; // a plain pointer, for the baseline

void directCall(benchmark::State &state) {
    for (auto _ : state) {
        directBlendColor(0.25f, 0.5f, 0.75f, 1.0f);
    }
}

void resolvedSlotCall(benchmark::State &state) {
    gl_entry::glBlendColor(0.25f, 0.5f, 0.75f, 1.0f); // resolve
    for (auto _ : state) {
        gl_entry::glBlendColor(0.25f, 0.5f, 0.75f, 1.0f);
    }
}

// Each iteration puts the stub back (one store) and calls: lookup, store and forwarded call.
void firstCall(benchmark::State &state) {
    for (auto _ : state) {
        gl_entry::glBlendColor = stubOfBlendColor;
        gl_entry::glBlendColor(0.25f, 0.5f, 0.75f, 1.0f);
    }
}

BENCHMARK(directCall);
BENCHMARK(resolvedSlotCall);
BENCHMARK(firstCall);

// Console output as usual, plus each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run &run : runs) {
            const std::string &name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                nanoseconds[name] = run.GetAdjustedRealTime();
                medians.insert(name);
            } else if (run.run_type == Run::RT_Iteration && medians.count(name) == 0) {
                nanoseconds[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
    std::set<std::string> medians;
};

} // namespace

int main(int argc, char **argv) {
    stubOfBlendColor = gl_entry::glBlendColor;
    directBlendColor =
        reinterpret_cast<gl_entry::types::glBlendColor>(gl_entry::lookupEntryPoint("glBlendColor"));
    if (directBlendColor == nullptr) {
        std::fprintf(stderr, "glBlendColor does not resolve here\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto time = [&](const char *name) {
        const auto found = reporter.nanoseconds.find(name);
        return found == reporter.nanoseconds.end() ? 0.0 : found->second;
    };
    if (time("directCall") > 0) {
        std::printf("resolved slot / direct call: %.3f\n",
                    time("resolvedSlotCall") / time("directCall"));
        std::printf("first call / direct call: %.1f\n", time("firstCall") / time("directCall"));
    }
    return 0;
}
