// Record filters on hostile input: records of any layer and length, cut
// and bit-flipped frames of the benchmark mixes, and expressions put
// together from random words. Whatever compiles keeps exactly the records
// libpcap keeps of the pcap files export writes of them.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <cctype>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/filter.h"
#include "tools/pcap_sink.h"

namespace {

using namespace caplib_test;
using caplib_tool::RecordFilter;

struct Record {
    CAPLIB_PAKET paket;
    std::unique_ptr<uint8_t[]> bytes;  // exactly length bytes: the sanitizers see a read past them
};

std::vector<Record> hostile_records(std::mt19937 &rng) {
    std::vector<Record> records;
    auto add = [&](CAPLIB_PAKET p, std::vector<uint8_t> data) {
        p.length = static_cast<uint32_t>(data.size());
        Record r{p, exact_copy(data.data(), data.size())};
        r.paket.data = r.bytes.get();
        records.push_back(std::move(r));
    };
    for (caplib_mix::Kind kind : {caplib_mix::Kind::ethernet, caplib_mix::Kind::ppp}) {
        caplib_mix::Mix mix(kind, 18);
        for (int i = 0; i < 400; ++i) {
            CAPLIB_PAKET p = mix.next();
            std::vector<uint8_t> data(p.data, p.data + p.length);
            switch (rng() % 4) {
            case 0: data.resize(rng() % (data.size() + 1)); break;
            case 1: data[rng() % data.size()] ^= static_cast<uint8_t>(1 << rng() % 8); break;
            case 2: p.layer = rng() % 12; break;  // the same bytes read as another layer
            }
            p.direction = rng() % 2;
            p.orig_length = rng() % 2 ? p.length : static_cast<uint32_t>(rng());
            add(p, data);
        }
    }
    CAPLIB_PAKET p{};
    p.layer = CAPLIB_LAYER_ETHERNET;
    add(p, std::vector<uint8_t>(caplib_tool::kMaxPcapFrame + 1, 0x45));  // too long for pcap
    return records;
}

// Primitives joined at random, now and then with a word replaced so that
// it may not compile; none names a host, so that nothing is looked up.
std::string random_expression(std::mt19937 &rng) {
    static const char *const kPrimitives[] = {
        "ip", "udp", "tcp", "icmp", "arp", "ipx", "pppoes", "pppoes and ip", "vlan", "udp port 137",
        "tcp port 139", "host 10.0.0.5", "net 10.0.0.0/8", "src port 1025", "dst host 192.168.1.255",
        "len > 100", "less 60", "greater 1000", "ether[12:2] = 0x8137", "ip[0] & 0xf0 = 0x40",
        "tcp[13] & 2 != 0", "ether broadcast", "ether multicast", "ip broadcast", "portrange 1-1024", "llc",
        "ip proto 47", "ip[2:2] > 576", "udp[8] = 0x80", "ether[200] = 1",
    };
    static const char *const kWords[] = {"and", "or", "not", "(", ")", "[", "]", "-1", "65536", ":", "port", "0x"};
    std::string expression = rng() % 4 ? "" : "not ";
    expression += kPrimitives[rng() % std::size(kPrimitives)];
    for (unsigned n = rng() % 3; n; --n)
        expression += std::string(rng() % 2 ? " and " : " or ") + (rng() % 4 ? "" : "not ") +
                      kPrimitives[rng() % std::size(kPrimitives)];
    if (rng() % 5 == 0) {
        size_t at = expression.find(' ', rng() % expression.size());
        expression.insert(at == std::string::npos ? expression.size() : at, std::string(" ") + kWords[rng() % std::size(kWords)]);
    }
    return expression;
}

// Per pcap file export wrote: the numbers of the frames libpcap keeps.
std::map<std::string, std::vector<size_t>> kept_in_files(const caplib_tool::PcapWriteReport &report,
                                                         const std::string &expression) {
    std::map<std::string, std::vector<size_t>> kept;
    for (const auto &[name, frames] : report.files) {
        char error[PCAP_ERRBUF_SIZE];
        pcap_t *in = pcap_open_offline(name.c_str(), error);
        EXPECT_NE(in, nullptr) << error;
        if (!in) continue;
        bpf_program code;
        bool compiled = pcap_compile(in, &code, expression.c_str(), 1, 0) == 0 ||
                        pcap_compile(in, &code, expression.c_str(), 0, 0) == 0;
        std::vector<size_t> &numbers = kept[name];
        pcap_pkthdr *h;
        const u_char *bytes;
        for (size_t n = 0; pcap_next_ex(in, &h, &bytes) == 1; ++n)
            if (compiled && pcap_offline_filter(&code, h, bytes)) numbers.push_back(n);
        if (compiled) pcap_freecode(&code);
        pcap_close(in);
    }
    return kept;
}

TEST(RecordFilter, KeepsWhatLibpcapKeepsOfTheExportedFiles) {
    std::mt19937 rng(18);
    std::vector<Record> records = hostile_records(rng);
    TempDir dir;
    caplib_tool::PcapWriteReport report;
    std::string error;
    CAPLIB_OUTPUT *out = caplib_tool::pcap_output(dir.path("all.pcap"), report, error);
    ASSERT_NE(out, nullptr) << error;
    for (Record &r : records) ASSERT_EQ(CAPLIB_output_paket(out, &r.paket), CAPLIB_OK);
    CAPLIB_output_close(out, CAPLIB_OK);
    ASSERT_EQ(report.error, "");
    // The file each layer went to: all-ppp.pcap, all-ethernet.pcap, ...
    std::map<uint32_t, std::string> file_of_layer;
    for (uint32_t layer = 0; layer < caplib_tool::kExportLayers; ++layer) {
        std::string word = CAPLIB_layer2str(layer);
        for (char &c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        file_of_layer[layer] = dir.path("all-" + word + ".pcap");
    }
    ASSERT_EQ(report.files.size(), caplib_tool::kExportLayers);

    unsigned compiled = 0;
    for (int round = 0; round < 300; ++round) {
        std::string expression = random_expression(rng);
        std::unique_ptr<RecordFilter> filter = RecordFilter::make(expression, error);
        if (!filter) {
            EXPECT_NE(error, "") << expression;
            continue;
        }
        ++compiled;
        std::map<std::string, std::vector<size_t>> matched;
        std::map<std::string, size_t> frame;  // the next frame number per file
        for (Record &r : records) {
            bool match = filter->matches(r.paket);
            auto file = file_of_layer.find(r.paket.layer);
            bool written = file != file_of_layer.end() && r.paket.length <= caplib_tool::kMaxPcapFrame;
            EXPECT_TRUE(written || !match) << expression;
            if (!written) continue;
            size_t n = frame[file->second]++;
            if (match) matched[file->second].push_back(n);
        }
        std::map<std::string, std::vector<size_t>> want = kept_in_files(report, expression);
        for (auto &[name, numbers] : want)
            EXPECT_EQ(matched[name], numbers) << "'" << expression << "' on " << name;
    }
    EXPECT_GT(compiled, 150u);
}

}  // namespace
