// No heap allocation per record in the steady state: reading, decoding and
// writing the benchmark mix, after a warm-up, with every trace mode and in
// a binary copy. A single allocation fails the benchmark.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "alloc_hook.h"
#include "caplib.h"
#include "mix.h"

namespace {

constexpr uint32_t kRecords = 50000;
constexpr uint32_t kWarmUp = 2000;

// The two captures of the mix, written once and removed when the program ends.
struct Captures {
    std::string eth = "/tmp/caplib-bench-alloc-eth.eth", ppp = "/tmp/caplib-bench-alloc-ppp.eth";
    Captures() {
        caplib_mix::write_capture(eth, caplib_mix::Kind::ethernet, kRecords);
        caplib_mix::write_capture(ppp, caplib_mix::Kind::ppp, kRecords);
    }
    ~Captures() {
        std::remove(eth.c_str());
        std::remove(ppp.c_str());
    }
};

const std::string &capture(caplib_mix::Kind kind) {
    static const Captures captures;
    return kind == caplib_mix::Kind::ethernet ? captures.eth : captures.ppp;
}

// Pumps every record from in to out; counts allocations after the warm-up.
uint64_t pump(CAPLIB_INPUT *in, CAPLIB_OUTPUT *out, uint32_t &records) {
    uint64_t counted = 0;
    records = 0;
    CAPLIB_output_header(out, in);
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        if (++records == kWarmUp) caplib_bench::arm_allocation_count();
        if (CAPLIB_output_paket(out, p) != 0) break;
    }
    counted = caplib_bench::disarm_allocation_count();
    CAPLIB_input_close(in);
    CAPLIB_output_close(out, 0);
    return counted;
}

// The hook itself must see an allocation, or zero would prove nothing.
bool hook_counts() {
    void *(*volatile allocate)(size_t) = std::malloc;
    caplib_bench::arm_allocation_count();
    std::free(allocate(16));
    return caplib_bench::disarm_allocation_count() == 1;
}

void report(benchmark::State &state, uint64_t allocations, uint64_t records) {
    if (!hook_counts()) {
        state.SkipWithError("the allocation hook counts nothing");
        return;
    }
    state.counters["allocations"] = static_cast<double>(allocations);
    state.SetItemsProcessed(static_cast<int64_t>(records));
    if (allocations)
        state.SkipWithError((std::to_string(allocations) + " heap allocations after the warm-up").c_str());
}

void BM_TraceAllocations(benchmark::State &state, caplib_mix::Kind kind, uint32_t flags) {
    const std::string &src = capture(kind);
    uint64_t allocations = 0, records = 0;
    for (auto _ : state) {
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(src.c_str());
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii("/tmp/caplib-bench-alloc", "\n", flags);
        uint32_t n = 0;
        allocations += pump(in, out, n);
        records += n;
    }
    std::remove("/tmp/caplib-bench-alloc.log");
    report(state, allocations, records);
}
BENCHMARK_CAPTURE(BM_TraceAllocations, Ethernet, caplib_mix::Kind::ethernet, 0u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceAllocations, EthernetHexBuffered, caplib_mix::Kind::ethernet,
                  CAPLIB_ASCII_HEXDUMP | CAPLIB_ASCII_BUFFERED)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TraceAllocations, Ppp, caplib_mix::Kind::ppp, CAPLIB_ASCII_HEXDUMP)->Unit(benchmark::kMillisecond);

void BM_CopyAllocations(benchmark::State &state) {
    const std::string &src = capture(caplib_mix::Kind::ethernet);
    uint64_t allocations = 0, records = 0;
    for (auto _ : state) {
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(src.c_str());
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin("/tmp/caplib-bench-alloc-copy.eth");
        uint32_t n = 0;
        allocations += pump(in, out, n);
        records += n;
    }
    std::remove("/tmp/caplib-bench-alloc-copy.eth");
    report(state, allocations, records);
}
BENCHMARK(BM_CopyAllocations)->Unit(benchmark::kMillisecond);

}  // namespace
