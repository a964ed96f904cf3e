// Record filters on hostile input: cut, bit-flipped and relabelled frames
// of the benchmark mixes, a record too long for pcap, and expressions of
// random primitives, now and then broken. Whatever compiles keeps exactly
// the frames libpcap keeps of the pcap files export writes.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <cctype>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "support.h"
#include "tools/filter.h"

namespace {

using namespace caplib_test;
using caplib_tool::kExportLayers;

// No primitive names a host, so that nothing is looked up.
std::string random_expression(std::mt19937 &rng) {
    static const char *const kPrimitives[] = {
        "ip", "udp", "tcp", "icmp", "arp", "ipx", "pppoes and ip", "vlan", "udp port 137", "tcp port 139",
        "host 10.0.0.5", "net 10.0.0.0/8", "len > 100", "less 60", "ether[12:2] = 0x8137", "ip[0] & 0xf0 = 0x40",
        "tcp[13] & 2 != 0", "ether broadcast", "ip broadcast", "portrange 1-1024", "llc", "ether[200] = 1",
    };
    static const char *const kBreakers[] = {"and", "not", "(", "]", "-1", "65536", "port"};
    auto primitive = [&] { return std::string(rng() % 4 ? "" : "not ") + kPrimitives[rng() % std::size(kPrimitives)]; };
    std::string expression = primitive();
    for (unsigned n = rng() % 3; n; --n) expression += (rng() % 2 ? " and " : " or ") + primitive();
    if (rng() % 5 == 0) expression.insert(rng() % expression.size(), std::string(" ") + kBreakers[rng() % 7] + " ");
    return expression;
}

TEST(RecordFilter, KeepsWhatLibpcapKeepsOfTheExportedFiles) {
    std::mt19937 rng(18);
    std::vector<std::unique_ptr<uint8_t[]>> bytes;  // exactly each record's length
    std::vector<CAPLIB_PAKET> records;
    for (caplib_mix::Kind kind : {caplib_mix::Kind::ethernet, caplib_mix::Kind::ppp}) {
        caplib_mix::Mix mix(kind, 18);
        for (int i = 0; i < 400; ++i) {
            CAPLIB_PAKET p = mix.next();
            std::vector<uint8_t> data(p.data, p.data + p.length);
            if (rng() % 3 == 0) data.resize(rng() % (data.size() + 1));
            if (rng() % 3 == 0) data[rng() % data.size()] ^= static_cast<uint8_t>(1 << rng() % 8);
            if (rng() % 3 == 0) p.layer = rng() % 12;
            p.direction = rng() % 2;
            p.orig_length = rng() % 2 ? p.length : static_cast<uint32_t>(rng());
            records.push_back(p);
            records.back().length = static_cast<uint32_t>(data.size());
            records.back().data = bytes.emplace_back(exact_copy(data.data(), data.size())).get();
        }
    }
    std::vector<uint8_t> huge(caplib_tool::kMaxPcapFrame + 1);
    records.push_back(CAPLIB_PAKET{0, nullptr, 0, 0, 0, CAPLIB_LAYER_ETHERNET, {}, 262145, 0, huge.data(), 0});

    TempDir dir;
    caplib_tool::PcapWriteReport report;
    std::string error;
    CAPLIB_OUTPUT *out = caplib_tool::pcap_output(dir.path("all.pcap"), report, error);
    for (CAPLIB_PAKET &p : records) ASSERT_EQ(CAPLIB_output_paket(out, &p), CAPLIB_OK);
    CAPLIB_output_close(out, CAPLIB_OK);
    ASSERT_EQ(report.files.size(), kExportLayers) << report.error;

    unsigned compiled = 0;
    for (int round = 0; round < 300; ++round) {
        std::string expression = random_expression(rng);
        std::unique_ptr<caplib_tool::RecordFilter> filter = caplib_tool::RecordFilter::make(expression, error);
        if (!filter) continue;
        ++compiled;
        // Per layer, the places among its records of those kept.
        std::vector<size_t> seen(kExportLayers);
        std::vector<std::vector<size_t>> kept(kExportLayers), want(kExportLayers);
        for (const CAPLIB_PAKET &p : records) {
            bool match = filter->matches(p);
            bool written = p.layer < kExportLayers && p.length <= caplib_tool::kMaxPcapFrame;
            ASSERT_TRUE(written || !match) << expression;
            if (written && match) kept[p.layer].push_back(seen[p.layer]);
            if (written) ++seen[p.layer];
        }
        for (uint32_t layer = 0; layer < kExportLayers; ++layer) {
            std::string word = CAPLIB_layer2str(layer);
            for (char &c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            char message[PCAP_ERRBUF_SIZE];
            pcap_t *in = pcap_open_offline(dir.path("all-" + word + ".pcap").c_str(), message);
            ASSERT_NE(in, nullptr) << message;
            bpf_program code;
            if (pcap_compile(in, &code, expression.c_str(), 1, 0) == 0 ||
                pcap_compile(in, &code, expression.c_str(), 0, 0) == 0) {
                pcap_pkthdr *h;
                const u_char *frame;
                for (size_t n = 0; pcap_next_ex(in, &h, &frame) == 1; ++n)
                    if (pcap_offline_filter(&code, h, frame)) want[layer].push_back(n);
                pcap_freecode(&code);
            }
            pcap_close(in);
            EXPECT_EQ(kept[layer], want[layer]) << "'" << expression << "' on " << word;
        }
    }
    EXPECT_GT(compiled, 150u);
}

}  // namespace
