// Decoding Ethernet frames, copying capture files, tracing to /dev/null.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "caplib.h"

namespace {

// A type no decoder follows: the Ethernet line alone.
const unsigned char kEthernetLine[60] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0xa0, 0xc5,
                                         0x11, 0x02, 0x33, 0x90, 0x00};

void BM_DecodeEthernetLine(benchmark::State &state) {
    char text[2048];
    for (auto _ : state) {
        CAPLIB_decode(1, kEthernetLine, sizeof kEthernetLine, text, sizeof text, "\n");
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_DecodeEthernetLine);

// A capture of `records` Ethernet frames of `size` bytes in the temp folder.
std::string make_capture(int records, uint32_t size) {
    std::string path = "/tmp/caplib-bench-" + std::to_string(records) + "-" + std::to_string(size) + ".eth";
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path.c_str());
    CAPLIB_output_header(out, nullptr);
    std::vector<unsigned char> data(size, 0x42);
    for (int i = 0; i < 12; ++i) data[i] = 0xff;
    data[12] = 0x90;
    CAPLIB_PAKET p = {};
    p.name = "eth0";
    p.layer = 1;
    p.length = p.orig_length = size;
    p.data = data.data();
    for (int i = 0; i < records; ++i) {
        p.number = static_cast<uint32_t>(i + 1);
        p.time.tv_sec = 1796405053 + i / 1000;
        p.time.tv_usec = (i % 1000) * 1000;
        CAPLIB_output_paket(out, &p);
    }
    CAPLIB_output_close(out, 0);
    return path;
}

void BM_BinaryCopy(benchmark::State &state) {
    const int records = 20000;
    const uint32_t size = static_cast<uint32_t>(state.range(0));
    std::string src = make_capture(records, size);
    for (auto _ : state) {
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(src.c_str());
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin("/tmp/caplib-bench-copy.eth");
        CAPLIB_process_data(in, out);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{records} * size);
    state.SetItemsProcessed(state.iterations() * int64_t{records});
    std::remove("/tmp/caplib-bench-copy.eth");
    std::remove(src.c_str());
}
BENCHMARK(BM_BinaryCopy)->Arg(60)->Arg(512)->Arg(1514)->Unit(benchmark::kMillisecond);

void BM_TextTraceToDevNull(benchmark::State &state) {
    const int records = 100000;
    std::string src = make_capture(records, 60);
    FILE *saved = stdout;
    for (auto _ : state) {
        // The writer's standard-output mode is what users run; point it at /dev/null.
        stdout = std::fopen("/dev/null", "w");
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(src.c_str());
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii("-", "\n", 0);
        CAPLIB_process_data(in, out);
        std::fclose(stdout);
        stdout = saved;
    }
    state.SetItemsProcessed(state.iterations() * int64_t{records});
    std::remove(src.c_str());
}
BENCHMARK(BM_TextTraceToDevNull)->Unit(benchmark::kMillisecond);

}  // namespace
