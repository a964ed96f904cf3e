// Decoding a NetBIOS name query and a host announcement datagram, whole
// Ethernet frames through CAPLIB_decode.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "caplib.h"

namespace {

std::vector<uint8_t> from_hex(const char *h) {
    std::vector<uint8_t> out;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (; h[0] && h[1]; h += 2) out.push_back(static_cast<uint8_t>(nibble(h[0]) << 4 | nibble(h[1])));
    return out;
}

// A broadcast query for ARBEITSGRUPPE<1b>, and a host announcement to
// \MAILSLOT\BROWSE in a direct-group datagram (both from a real capture).
const std::vector<uint8_t> kNameQuery = from_hex(
    "ffffffffffff00042357a57a08004500004e388a000080117cccc0a801f9c0a801ff00890089003a8277892101100001"
    "000000000000204542464345434546454a4645464445484643464646414641454643414341424c0000200001");
const std::vector<uint8_t> kHostAnnouncement = from_hex(
    "ffffffffffff00042357a57a0800450000e5388f000080117c30c0a801f9c0a801ff008a008a00d1e7a6110e8922c0a8"
    "01f9008a00bb0000204545454b4641444a444646444441454b4341434143414341434143414341434100204542464345"
    "434546454a4645464445484643464646414641454643414341424f00ff534d4225000000000000000000000000000000"
    "00000000000000000000000011000021000000000000000000e803000000000000000021005600030001000000020032"
    "005c4d41494c534c4f545c42524f57534500010080fc0a00444a50393553304a000072006f0073000501031005000f01"
    "55aa00");

void run(benchmark::State &state, const std::vector<uint8_t> &frame) {
    char text[2048];
    for (auto _ : state) {
        CAPLIB_decode(1, frame.data(), static_cast<uint32_t>(frame.size()), text, sizeof text, "\n");
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_NameQuery(benchmark::State &state) { run(state, kNameQuery); }
BENCHMARK(BM_NameQuery);

void BM_HostAnnouncement(benchmark::State &state) { run(state, kHostAnnouncement); }
BENCHMARK(BM_HostAnnouncement);

}  // namespace
