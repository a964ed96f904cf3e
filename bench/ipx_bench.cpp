// Decoding speed of IPX frames through the public entry point.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "caplib.h"

namespace {

// Raw 802.3 frame: IPX packet type 17 carrying an NCP request.
constexpr std::array<uint8_t, 52> kRawNcp = {
    0x00, 0x00, 0xC0, 0x11, 0x22, 0x33, 0x00, 0xA0, 0xC5, 0x11, 0x02, 0x33, 0x00, 0x26,  // MAC, length
    0xFF, 0xFF, 0x00, 0x26, 0x00, 0x11,                                                  // IPX
    0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0xC0, 0x11, 0x22, 0x33, 0x04, 0x51,              // destination
    0x00, 0x00, 0x00, 0x10, 0x00, 0xA0, 0xC5, 0x11, 0x02, 0x33, 0x40, 0x03,              // source
    0x22, 0x22, 0x05, 0x01, 0x02, 0x00, 0x00, 0x00,                                      // NCP
};

// Ethernet II frame: a NetBIOS name claim carried in IPX.
constexpr std::array<uint8_t, 94> kNetbiosName = [] {
    std::array<uint8_t, 94> f{};
    constexpr uint8_t head[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xA0, 0xC5, 0x11, 0x02, 0x33,
                                0x81, 0x37, 0xFF, 0xFF, 0x00, 0x50, 0x00, 0x14, 0, 0, 0, 0,
                                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x55, 0, 0, 0, 1,
                                0x00, 0x00, 0xC0, 0x11, 0x22, 0x33, 0x04, 0x55};
    for (size_t i = 0; i < sizeof head; ++i) f[i] = head[i];
    f[76] = 0x40;  // flags
    f[77] = 3;     // name claim
    for (size_t i = 78; i < 94; ++i) f[i] = ' ';
    return f;
}();

template <size_t N>
void decode_frame(benchmark::State &state, const std::array<uint8_t, N> &frame) {
    char text[1024];
    for (auto _ : state) {
        CAPLIB_decode(1, frame.data(), static_cast<uint32_t>(frame.size()), text, sizeof text, "\n");
        benchmark::DoNotOptimize(text);
        benchmark::ClobberMemory();
    }
}

void BM_Ethernet8023RawIpxNcp(benchmark::State &state) { decode_frame(state, kRawNcp); }
void BM_EthernetIIIpxNetbiosName(benchmark::State &state) { decode_frame(state, kNetbiosName); }

BENCHMARK(BM_Ethernet8023RawIpxNcp);
BENCHMARK(BM_EthernetIIIpxNetbiosName);

}  // namespace
