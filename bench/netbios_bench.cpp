// Decoding a NetBIOS name query and a host announcement datagram.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "caplib.h"
#include "decode/dispatch.h"

namespace {

std::vector<uint8_t> from_hex(const char *h) {
    std::vector<uint8_t> out;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (; h[0] && h[1]; h += 2) out.push_back(static_cast<uint8_t>(nibble(h[0]) << 4 | nibble(h[1])));
    return out;
}

// UDP payloads: a broadcast query for WORKGROUP<1b>, and a host
// announcement to \MAILSLOT\BROWSE in a direct-group datagram.
const std::vector<uint8_t> kNameQuery = from_hex(
    "892101100001000000000000204542464345434546454a4645464445484643464646414641454643414341424c0000200001");
const std::vector<uint8_t> kHostAnnouncement = from_hex(
    "110e8922c0a801f9008a00bb0000204545454b4641444a444646444441454b4341434143414341434143414341434100"
    "204542464345434546454a4645464445484643464646414641454643414341424f00ff534d4225000000000000000000"
    "00000000000000000000000000000000000011000021000000000000000000e803000000000000000021005600030001"
    "000000020032005c4d41494c534c4f545c42524f57534500010080fc0a00444a50393553304a000072006f0073000501"
    "031005000f0155aa00");

void run(benchmark::State &state, uint32_t proto, const std::vector<uint8_t> &frame) {
    char text[2048];
    caplib::set_separator("\n");
    for (auto _ : state) {
        caplib::Text out(text, sizeof text);
        caplib::decode_chain(proto, caplib::Bytes(frame.data(), static_cast<uint32_t>(frame.size())), out);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_NameQuery(benchmark::State &state) { run(state, caplib::PROTO_NBNS, kNameQuery); }
BENCHMARK(BM_NameQuery);

void BM_HostAnnouncement(benchmark::State &state) { run(state, caplib::PROTO_NBDS, kHostAnnouncement); }
BENCHMARK(BM_HostAnnouncement);

}  // namespace
