// No heap allocation per record in the steady state: reading, decoding and
// writing the benchmark mix, after a warm-up, with every trace mode, in
// the tool's trace on several threads and in a binary copy. A single
// allocation fails the benchmark.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "alloc_hook.h"
#include "caplib.h"
#include "mix.h"
#include "tools/parallel_trace.h"

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

// A source that arms the count when the reader takes record `warm_up`:
// by then every batch of the pool has gone round a few times.
struct ArmingSource {
    CAPLIB_INPUT pub{};
    CAPLIB_INPUT *in;
    uint32_t records = 0, warm_up;

    ArmingSource(CAPLIB_INPUT *source, uint32_t at) : in(source), warm_up(at) {
        pub.priv = this;
        pub.first = [](CAPLIB_INPUT *i) { return self(i)->seen(CAPLIB_input_first(self(i)->in)); };
        pub.next = [](CAPLIB_INPUT *i) { return self(i)->seen(CAPLIB_input_next(self(i)->in)); };
    }
    static ArmingSource *self(CAPLIB_INPUT *i) { return static_cast<ArmingSource *>(i->priv); }
    CAPLIB_PAKET *seen(CAPLIB_PAKET *p) {
        if (p && ++records == warm_up) caplib_bench::arm_allocation_count();
        return p;
    }
};

void BM_ParallelTraceAllocations(benchmark::State &state, bool hex) {
    const std::string &src = capture(caplib_mix::Kind::ethernet);
    uint64_t allocations = 0, records = 0;
    caplib_tool::ParallelTraceSettings settings;
    settings.hex = hex;
    settings.threads = 2;
    for (auto _ : state) {
        FILE *out = std::fopen("/dev/null", "w");
        ArmingSource in(CAPLIB_input_zekbin(src.c_str()), 10 * kWarmUp);
        caplib_tool::ParallelTraceResult r = caplib_tool::parallel_trace(&in.pub, out, settings);
        allocations += caplib_bench::disarm_allocation_count();
        records += in.records;
        CAPLIB_input_close(in.in);
        std::fclose(out);
        if (r.rc != CAPLIB_OK) state.SkipWithError("the trace failed");
    }
    report(state, allocations, records);
}
BENCHMARK_CAPTURE(BM_ParallelTraceAllocations, Ethernet, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ParallelTraceAllocations, EthernetHex, true)->Unit(benchmark::kMillisecond)->UseRealTime();

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
