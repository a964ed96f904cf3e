// The tool's input reader on capture files, pcap and pcapng built here,
// and its pcap sink, whose files libpcap reads back: link types both ways,
// interfaces, damaged and foreign input, round trips.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/input.h"
#include "tools/pcap_sink.h"

namespace {

using caplib_test::ascii;
using caplib_test::cat;
using caplib_test::hex;
using caplib_test::drain;
using caplib_test::TempDir;
using Record = caplib_test::ReadBack;
using namespace caplib_tool;
using Bytes = caplib_test::Frame;

void put16(Bytes &b, uint32_t v, bool big = false) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<uint8_t>(v >> (big ? 8 - 8 * i : 8 * i)));
}
void put32(Bytes &b, uint32_t v, bool big = false) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (big ? 24 - 8 * i : 8 * i)));
}

struct PcapFrame {
    uint32_t sec = 1700000000, frac = 123456;
    Bytes data;
    uint32_t len = 0;  // 0: the captured length
};

// A pcap file; magic and byte order choose the variant.
Bytes pcap_file(uint32_t link_type, const std::vector<PcapFrame> &frames, uint32_t magic = 0xA1B2C3D4,
                bool big = false) {
    Bytes b;
    put32(b, magic, big);
    put16(b, 2, big);
    put16(b, 4, big);
    put32(b, 0, big);
    put32(b, 0, big);
    put32(b, 65535, big);
    put32(b, link_type, big);
    for (const PcapFrame &f : frames) {
        put32(b, f.sec, big);
        put32(b, f.frac, big);
        put32(b, static_cast<uint32_t>(f.data.size()), big);
        put32(b, f.len ? f.len : static_cast<uint32_t>(f.data.size()), big);
        b.insert(b.end(), f.data.begin(), f.data.end());
    }
    return b;
}

// A pcapng file, one block at a time, in the byte order of its section.
class Pcapng {
public:
    Pcapng &section(bool big = false) {
        big_ = big;
        Bytes body;
        put32(body, 0x1A2B3C4D, big_);
        put16(body, 1, big_);
        put16(body, 0, big_);
        body.insert(body.end(), 8, 0xFF);
        return block(0x0A0D0D0A, body);
    }
    Pcapng &interface(uint16_t link_type, const std::string &name = "", uint8_t tsresol = 0, uint32_t snaplen = 0) {
        Bytes body;
        put16(body, link_type, big_);
        put16(body, 0, big_);
        put32(body, snaplen, big_);
        if (!name.empty()) option(body, 2, ascii(name));
        if (tsresol) option(body, 9, {tsresol});
        if (!name.empty() || tsresol) body.insert(body.end(), 4, 0);
        return block(1, body);
    }
    Pcapng &packet(uint32_t interface, uint64_t ts, const Bytes &data, uint32_t type = 6) {
        Bytes body;
        if (type == 2) {
            put16(body, interface, big_);
            put16(body, 0, big_);
        } else {
            put32(body, interface, big_);
        }
        put32(body, static_cast<uint32_t>(ts >> 32), big_);
        put32(body, static_cast<uint32_t>(ts), big_);
        put32(body, static_cast<uint32_t>(data.size()), big_);
        put32(body, static_cast<uint32_t>(data.size()) + 100, big_);
        body.insert(body.end(), data.begin(), data.end());
        return block(type, body);
    }
    Pcapng &simple(const Bytes &data, uint32_t orig_length) {
        Bytes body;
        put32(body, orig_length, big_);
        body.insert(body.end(), data.begin(), data.end());
        return block(3, body);
    }
    // Any block; the body is padded to 4 bytes.
    Pcapng &block(uint32_t type, Bytes body) {
        body.resize((body.size() + 3) & ~size_t{3});
        uint32_t length = static_cast<uint32_t>(body.size() + 12);
        put32(bytes_, type, big_);
        put32(bytes_, length, big_);
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        put32(bytes_, length, big_);
        return *this;
    }
    Pcapng &raw(const Bytes &b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    // The 32-bit word at offset from the end, in the section's byte order.
    Pcapng &patch(size_t from_end, uint32_t v) {
        Bytes w;
        put32(w, v, big_);
        std::copy(w.begin(), w.end(), bytes_.end() - static_cast<long>(from_end));
        return *this;
    }
    const Bytes &bytes() const { return bytes_; }

private:
    void option(Bytes &b, uint16_t code, const Bytes &value) {
        put16(b, code, big_);
        put16(b, static_cast<uint32_t>(value.size()), big_);
        b.insert(b.end(), value.begin(), value.end());
        b.resize((b.size() + 3) & ~size_t{3});
    }
    bool big_ = false;
    Bytes bytes_;
};

struct Read {
    std::vector<Record> records;
    InputReport report;
    std::string error;
};

Read read_input(const std::string &path, const char *name = nullptr) {
    Read r;
    CAPLIB_INPUT *in = open_input(path, name, r.report, r.error);
    if (!in) return r;
    r.records = drain(in);
    CAPLIB_input_close(in);
    return r;
}

Read read_bytes(const Bytes &bytes, const char *name = nullptr) {
    TempDir dir;
    caplib_test::write_file(dir.path("in"), bytes);
    return read_input(dir.path("in"), name);
}

// The damage and skipped lines of a reading, "" when there are none.
std::string report_text(const InputReport &r) {
    std::string text = r.damage.empty() ? "" : r.damage_text("in", "read");
    std::string skipped = r.skipped_text("in");
    return text + (text.empty() || skipped.empty() ? "" : "\n") + skipped;
}

std::string hex_of(const Bytes &b, size_t most) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < b.size() && i < most; ++i) {
        text += kDigits[b[i] >> 4];
        text += kDigits[b[i] & 15];
    }
    return text;
}

// A record in one line: name, layer, direction, time, lengths, first bytes.
std::string brief(const Record &r) {
    return r.name + " L" + std::to_string(r.layer) + " D" + std::to_string(r.direction) + " " +
           std::to_string(r.sec) + "." + std::to_string(r.usec) + " " + std::to_string(r.length) + "/" +
           std::to_string(r.orig_length) + " " + hex_of(r.data, 4);
}

std::vector<std::string> briefs(const std::vector<Record> &records) {
    std::vector<std::string> out;
    for (const Record &r : records) out.push_back(brief(r));
    return out;
}

struct PcapFile {
    int link_type = -1;
    std::vector<PcapFrame> frames;
    std::string error;
};

// libpcap's own reading of a file the sink wrote.
PcapFile read_pcap(const std::string &path) {
    PcapFile out;
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t *p = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!p) {
        out.error = errbuf;
        return out;
    }
    out.link_type = pcap_datalink(p);
    pcap_pkthdr *h;
    const u_char *bytes;
    int rc;
    while ((rc = pcap_next_ex(p, &h, &bytes)) == 1)
        out.frames.push_back({static_cast<uint32_t>(h->ts.tv_sec), static_cast<uint32_t>(h->ts.tv_usec),
                              Bytes(bytes, bytes + h->caplen), h->len});
    if (rc == PCAP_ERROR) out.error = pcap_geterr(p);
    pcap_close(p);
    return out;
}

// Writes records through the pcap sink; the report says what came out.
struct OutRecord {
    uint32_t layer, direction;
    Bytes data;
    uint32_t orig_length = 0;
    int32_t sec = 1700000000, usec = 5;
};
PcapWriteReport export_records(const std::string &path, const std::vector<OutRecord> &records, int result = 0) {
    PcapWriteReport report;
    std::string error;
    CAPLIB_OUTPUT *out = pcap_output(path, report, error);
    EXPECT_NE(out, nullptr) << error;
    if (!out) return report;
    EXPECT_EQ(CAPLIB_output_header(out, nullptr), 0);
    for (const OutRecord &r : records) {
        CAPLIB_PAKET p{};
        p.name = "x";
        p.layer = r.layer;
        p.direction = r.direction;
        p.data = r.data.data();
        p.length = static_cast<uint32_t>(r.data.size());
        p.orig_length = r.orig_length ? r.orig_length : p.length;
        p.time = {r.sec, r.usec};
        EXPECT_EQ(CAPLIB_output_paket(out, &p), 0);
    }
    CAPLIB_output_close(out, result);
    return report;
}

const Bytes kIp = hex("45 00 00 14 00 01 00 00 40 11 00 00 0a 00 00 01 0a 00 00 02");
const Bytes kIpx = hex("ff ff 00 1e 00 04 00 00 00 00 ff ff ff ff ff ff 04 55");
const Bytes kArp = hex("00 01 08 00 06 04 00 01 00 a0 c5 11 02 33");
const Bytes kPpp = hex("ff 03 c0 21 01 01 00 04");
const Bytes kEth = hex("ff ff ff ff ff ff 00 a0 c5 11 02 33 08 06 00 01");

// ---- link types to layer codes ----

struct InCase {
    const char *name;
    uint32_t link_type;
    Bytes frame;
    uint32_t layer, direction;
    Bytes data;  // the record's bytes: the frame less its link header
};

class LinkTypeIn : public testing::TestWithParam<InCase> {};

TEST_P(LinkTypeIn, MapsToLayerAndStripsTheLinkHeader) {
    const InCase &c = GetParam();
    uint32_t header = static_cast<uint32_t>(c.frame.size() - c.data.size());
    uint32_t len = static_cast<uint32_t>(c.frame.size()) + 100;
    Read r = read_bytes(pcap_file(c.link_type, {{1700000001, 999999, c.frame, len}}));
    ASSERT_EQ(r.records.size(), 1u) << r.error;
    EXPECT_EQ(r.records[0].layer, c.layer);
    EXPECT_EQ(r.records[0].direction, c.direction);
    EXPECT_EQ(r.records[0].data, c.data);
    EXPECT_EQ(r.records[0].orig_length, c.frame.size() + 100 - header);
    std::string want = "if0 L" + std::to_string(c.layer) + " D" + std::to_string(c.direction) + " 1700000001.999999";
    EXPECT_EQ(brief(r.records[0]).substr(0, want.size()), want);
    EXPECT_EQ(r.records[0].number, 1u);
    EXPECT_EQ(report_text(r.report), "");
}

Bytes sll(uint16_t packet_type, uint16_t protocol, const Bytes &payload) {
    return cat({hex("00"), {static_cast<uint8_t>(packet_type)}, hex("00 01 00 06 00 a0 c5 11 02 33 00 00"),
                {static_cast<uint8_t>(protocol >> 8), static_cast<uint8_t>(protocol)}, payload});
}
Bytes sll2(uint8_t packet_type, uint16_t protocol, const Bytes &payload) {
    return cat({{static_cast<uint8_t>(protocol >> 8), static_cast<uint8_t>(protocol)}, hex("00 00 00 00 00 02 00 01"),
                {packet_type}, hex("06 00 a0 c5 11 02 33 00 00"), payload});
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, LinkTypeIn,
    testing::Values(
        InCase{"ethernet", 1, kEth, CAPLIB_LAYER_ETHERNET, 0, kEth},
        InCase{"tokenring", 6, hex("10 40 ff ff ff ff ff ff 00 a0 c5 11 02 33"), CAPLIB_LAYER_TOKENRING, 0,
               hex("10 40 ff ff ff ff ff ff 00 a0 c5 11 02 33")},
        InCase{"ppp", 9, kPpp, CAPLIB_LAYER_PPP, 0, kPpp},
        InCase{"ppp_serial", 50, kPpp, CAPLIB_LAYER_PPP, 0, kPpp},
        InCase{"ppp_dir_out", 204, cat({hex("01"), kPpp}), CAPLIB_LAYER_PPP, 1, kPpp},
        InCase{"ppp_dir_in", 204, cat({hex("00"), kPpp}), CAPLIB_LAYER_PPP, 0, kPpp},
        InCase{"raw", 101, kIp, CAPLIB_LAYER_IP, 0, kIp},
        InCase{"raw12", 12, kIp, CAPLIB_LAYER_IP, 0, kIp},
        InCase{"raw14", 14, kIp, CAPLIB_LAYER_IP, 0, kIp},
        InCase{"ipv4", 228, kIp, CAPLIB_LAYER_IP, 0, kIp},
        InCase{"ethernet_with_fcs_bits", 0x14000001, kEth, CAPLIB_LAYER_ETHERNET, 0, kEth},
        InCase{"null_little", 0, cat({hex("02 00 00 00"), kIp}), CAPLIB_LAYER_IP, 0, kIp},
        InCase{"null_big", 0, cat({hex("00 00 00 02"), kIp}), CAPLIB_LAYER_IP, 0, kIp},
        InCase{"loop", 108, cat({hex("00 00 00 02"), kIp}), CAPLIB_LAYER_IP, 0, kIp},
        InCase{"sll_ip_in", 113, sll(0, 0x0800, kIp), CAPLIB_LAYER_IP, 0, kIp},
        InCase{"sll_ip_out", 113, sll(4, 0x0800, kIp), CAPLIB_LAYER_IP, 1, kIp},
        InCase{"sll_ipx", 113, sll(1, 0x8137, kIpx), CAPLIB_LAYER_IPX, 0, kIpx},
        InCase{"sll_arp", 113, sll(4, 0x0806, kArp), CAPLIB_LAYER_ARP, 1, kArp},
        InCase{"sll2_ip_out", 276, sll2(4, 0x0800, kIp), CAPLIB_LAYER_IP, 1, kIp},
        InCase{"sll2_ipx", 276, sll2(3, 0x8137, kIpx), CAPLIB_LAYER_IPX, 0, kIpx},
        InCase{"sll2_arp", 276, sll2(0, 0x0806, kArp), CAPLIB_LAYER_ARP, 0, kArp}),
    [](const auto &info) { return std::string(info.param.name); });

struct SkipCase {
    const char *name;
    uint32_t link_type;
    Bytes frame;
    const char *text;
};

class LinkTypeSkip : public testing::TestWithParam<SkipCase> {};

// Frames no layer code carries are skipped and counted.
TEST_P(LinkTypeSkip, SkipsAndCounts) {
    const SkipCase &c = GetParam();
    Read r = read_bytes(pcap_file(c.link_type, {{1, 0, c.frame}, {2, 0, c.frame}}));
    EXPECT_TRUE(r.records.empty()) << r.error;
    EXPECT_EQ(report_text(r.report), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, LinkTypeSkip,
    testing::Values(
        SkipCase{"raw_ipv6", 101, hex("60 00 00 00 00 00 3b 40"), "in: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"ipv4_empty", 228, {}, "in: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"null_inet6", 0, cat({hex("1e 00 00 00"), kIp}), "in: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"null_cut", 0, hex("02 00"), "in: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"sll_ipv6", 113, sll(0, 0x86dd, kIp), "in: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"sll_cut", 113, hex("00 00 00 01 00 06 00 a0 c5 11 02 33 00 00 08"),
                 "in: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"sll2_llc", 276, sll2(0, 0x0004, kIpx), "in: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"ppp_dir_empty", 204, {}, "in: 2 of 2 frames skipped (2 with their link headers cut short)"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- what a reading gives: records, damage, skipped frames ----

struct ReadCase {
    const char *name;
    Bytes input;
    std::vector<std::string> records;  // brief() of each
    const char *report;                // report_text()
};

class Reading : public testing::TestWithParam<ReadCase> {};

TEST_P(Reading, DeliversTheRecordsThenReportsWhatItMet) {
    const ReadCase &c = GetParam();
    Read r = read_bytes(c.input);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(briefs(r.records), c.records);
    EXPECT_EQ(report_text(r.report), c.report);
}

using Lines = std::vector<std::string>;
const Bytes kEth60 = cat({kEth, Bytes(44, 0xAA)});
const Bytes kTwoFrames = pcap_file(1, {{1, 0, kEth60}, {2, 0, kEth60}});

Bytes first_bytes(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

// Two sections, the second big-endian: interfaces of several link types
// and snapshot lengths, named and not, numbered through the file.
Bytes two_sections() {
    return Pcapng()
        .section()
        .interface(1, "eth0", 0, 65535)
        .interface(9, "", 0, 1500)
        .packet(0, 1000000, kEth)
        .packet(1, 2000001, kPpp)
        .block(5, Bytes(16, 0))  // statistics
        .section(true)
        .interface(204, "wan\t1", 9, 262144)
        .interface(105)
        .interface(6, std::string(300, 'n'))
        .packet(0, 3000000999ull, cat({hex("01"), kPpp}))
        .packet(1, 4000000, kEth)
        .packet(2, 5000000, kEth, 2)
        .bytes();
}

// A section with one Ethernet interface (bytes 0 to 48), then a frame on it.
Pcapng one_frame() { return std::move(Pcapng().section().interface(1).packet(0, 0, kEth)); }

const char *const kOneEth = "if0 L1 D0 0.0 16/116 ffffffff";

INSTANTIATE_TEST_SUITE_P(
    Input, Reading,
    testing::Values(
        ReadCase{"pcap_micro", pcap_file(1, {{7, 999999, kEth}}), {"if0 L1 D0 7.999999 16/16 ffffffff"}, ""},
        ReadCase{"pcap_micro_big", pcap_file(1, {{7, 999999, kEth}}, 0xA1B2C3D4, true),
                 {"if0 L1 D0 7.999999 16/16 ffffffff"}, ""},
        ReadCase{"pcap_nano", pcap_file(1, {{7, 999999999, kEth}}, 0xA1B23C4D), {"if0 L1 D0 7.999999 16/16 ffffffff"},
                 ""},
        ReadCase{"pcap_nano_big", pcap_file(1, {{7, 1999, kEth}}, 0xA1B23C4D, true), {"if0 L1 D0 7.1 16/16 ffffffff"},
                 ""},
        ReadCase{"pcap_skipped_among_converted",
                 pcap_file(113, {{1, 0, sll(0, 0x0800, kIp)}, {2, 0, sll(0, 0x86dd, kIp)}, {3, 0, hex("00 04")},
                                 {4, 0, sll(4, 0x0806, kArp)}}),
                 {"if0 L3 D0 1.0 20/20 45000014", "if0 L5 D1 4.0 14/14 00010800"},
                 "in: 2 of 4 frames skipped (1 not IPv4, IPX or ARP, 1 with its link header cut short)"},
        ReadCase{"pcap_cut_in_frame", first_bytes(kTwoFrames, 24 + 76 + 24), {"if0 L1 D0 1.0 60/60 ffffffff"},
                 "in: damaged after 1 frame (a frame is cut short: 8 of 60 bytes); 1 converted"},
        ReadCase{"pcap_cut_in_header", first_bytes(kTwoFrames, 24 + 76 + 10), {"if0 L1 D0 1.0 60/60 ffffffff"},
                 "in: damaged after 1 frame (a frame header is cut short: 10 of 16 bytes); 1 converted"},
        ReadCase{"pcap_huge_length",
                 cat({pcap_file(1, {{1, 0, kEth}}), hex("03 00 00 00 00 00 00 00 ff ff ff 7f ff ff ff 7f 00")}),
                 {"if0 L1 D0 1.0 16/16 ffffffff"},
                 "in: damaged after 1 frame (a frame is cut short: 1 of 2147483647 bytes); 1 converted"},
        ReadCase{"pcapng_sections_and_interfaces", two_sections(),
                 {"eth0 L1 D0 1.0 16/116 ffffffff", "if1 L0 D0 2.1 8/108 ff03c021", "wan?1 L0 D1 3.0 8/108 ff03c021",
                  std::string(255, 'n') + " L2 D0 5.0 16/116 ffffffff"},
                 "in: 1 of 5 frames skipped (1 of link types without a layer code: 105)"},
        ReadCase{"pcapng_time_resolutions",
                 Pcapng()
                     .section()
                     .interface(1, "", 3)
                     .interface(1, "", 0x94)
                     .interface(1, "", 0x80)
                     .packet(0, 12345, kEth)
                     .packet(1, (uint64_t{7} << 20) + (1 << 19), kEth)
                     .packet(2, 42, kEth)
                     .bytes(),
                 {"if0 L1 D0 12.345000 16/116 ffffffff", "if1 L1 D0 7.500000 16/116 ffffffff",
                  "if2 L1 D0 42.0 16/116 ffffffff"},
                 ""},
        ReadCase{"pcapng_simple_blocks_by_snapshot_length",
                 Pcapng().section().interface(1, "", 0, 10).simple(kEth, 16).simple(Bytes(6, 1), 5).bytes(),
                 {"if0 L1 D0 0.0 10/16 ffffffff", "if0 L1 D0 0.0 5/5 01010101"}, ""},
        ReadCase{"pcapng_interfaces_without_layer_among_others",
                 Pcapng().section().interface(105).packet(0, 0, kEth).interface(1).packet(1, 0, kEth).bytes(),
                 {"if1 L1 D0 0.0 16/116 ffffffff"},
                 "in: 1 of 2 frames skipped (1 of link types without a layer code: 105)"},
        ReadCase{"pcapng_zero_length", one_frame().raw(hex("06 00 00 00 00 00 00 00")).bytes(), {kOneEth},
                 "in: damaged after 1 frame (the block at byte 96 has the length 0); 1 converted"},
        ReadCase{"pcapng_length_not_multiple_of_4", one_frame().raw(hex("06 00 00 00 0d 00 00 00 00")).bytes(),
                 {kOneEth}, "in: damaged after 1 frame (the block at byte 96 has the length 13); 1 converted"},
        ReadCase{"pcapng_length_past_the_end", one_frame().patch(44, 0x7FFFFFF0).bytes(), {},
                 "in: damaged after 0 frames (the block at byte 48 is cut short: 48 of 2147483632 bytes); 0 converted"},
        ReadCase{"pcapng_trailer_differs", one_frame().patch(4, 52).bytes(), {},
                 "in: damaged after 0 frames (the block at byte 48 does not end with its length); 0 converted"},
        ReadCase{"pcapng_option_past_the_block", Pcapng().section().interface(1, "eth0").patch(16, 0x00400002).bytes(),
                 {},
                 "in: damaged after 0 frames (an option of the interface block at byte 28 runs past the block); "
                 "0 converted"},
        ReadCase{"pcapng_caplen_past_the_block", one_frame().patch(28, 17).bytes(), {},
                 "in: damaged after 0 frames (the packet block at byte 48 holds fewer bytes than its captured "
                 "length 17); 0 converted"},
        ReadCase{"pcapng_undescribed_interface", one_frame().section().interface(1).packet(1, 0, kEth).bytes(),
                 {kOneEth},
                 "in: damaged after 1 frame (the packet block at byte 144 names interface 1, which the section "
                 "does not describe); 1 converted"},
        ReadCase{"pcapng_cut_block_header", one_frame().raw(hex("06 00 00")).bytes(), {kOneEth},
                 "in: damaged after 1 frame (the block at byte 96 is cut short: 3 of 8 bytes); 1 converted"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- input refused whole ----

struct RefuseCase {
    const char *name;
    Bytes input;
    const char *error;  // behind "PATH: "
};

class Refused : public testing::TestWithParam<RefuseCase> {};

TEST_P(Refused, GivesOneLineAndNoSource) {
    const RefuseCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("in");
    caplib_test::write_file(path, c.input);
    InputReport report;
    std::string error;
    EXPECT_EQ(open_input(path, nullptr, report, error), nullptr);
    EXPECT_EQ(error, path + ": " + c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Input, Refused,
    testing::Values(
        RefuseCase{"text", ascii("<!DOCTYPE html>"),
                   "not a capture, pcap or pcapng file (begins 3c 21 44 4f 43 54 59 50)"},
        RefuseCase{"empty", {}, "not a capture, pcap or pcapng file (it is empty)"},
        RefuseCase{"short", hex("0a 0d"), "not a capture, pcap or pcapng file (begins 0a 0d)"},
        RefuseCase{"capture_magic_without_ident", cat({hex("11 47 00 00"), ascii("ZEK Captura"), Bytes(49, 0)}),
                   "not a capture, pcap or pcapng file (begins 11 47 00 00 5a 45 4b 20)"},
        RefuseCase{"pcapng_without_byte_order", cat({hex("0a 0d 0d 0a 1c 00 00 00 4d 3c 2b 1b"), Bytes(16, 0)}),
                   "not a capture, pcap or pcapng file (begins 0a 0d 0d 0a 1c 00 00 00)"},
        RefuseCase{"capture_header_cut", cat({hex("11 47 00 00"), ascii("ZEK Capture"), Bytes(25, 0)}),
                   "the capture file header is cut short (40 of 64 bytes)"},
        RefuseCase{"pcap_header_cut", hex("d4 c3 b2 a1 02 00 04 00"),
                   "the pcap file header is cut short (8 of 24 bytes)"},
        RefuseCase{"pcapng_section_cut", hex("0a 0d 0d 0a 1c 00 00 00 4d 3c 2b 1a 01 00"),
                   "the block at byte 0 is cut short: 14 of 28 bytes"},
        RefuseCase{"pcapng_version_2", Pcapng().section().patch(16, 2).bytes(),
                   "the section at byte 0 has version 2.0"},
        RefuseCase{"pcap_link_type_without_layer", pcap_file(105, {{1, 0, kEth}, {2, 0, kEth}, {3, 0, kEth}}),
                   "link type 105 has no layer code; 3 frames skipped"},
        RefuseCase{"pcapng_link_types_without_layer",
                   Pcapng().section().interface(127).interface(105).packet(0, 0, kEth).packet(1, 0, kEth).bytes(),
                   "link types 105, 127 have no layer code; 2 frames skipped"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Input, MissingFileAndDirectoryGiveTheSystemsWord) {
    TempDir dir;
    InputReport report;
    std::string error;
    EXPECT_EQ(open_input(dir.path("missing"), nullptr, report, error), nullptr);
    EXPECT_EQ(error, "cannot read " + dir.path("missing") + ": No such file or directory");
    std::filesystem::create_directory(dir.path("d"));
    EXPECT_EQ(open_input(dir.path("d"), nullptr, report, error), nullptr);
    EXPECT_EQ(error, "cannot read " + dir.path("d") + ": Is a directory");
}

TEST(Input, TheCallersNameOverridesTheInterfaces) {
    Read r = read_bytes(
        Pcapng().section().interface(1, "eth0").interface(1).packet(0, 0, kEth).packet(1, 0, kEth).bytes(), "wan0");
    EXPECT_EQ(briefs(r.records), (Lines{"wan0 L1 D0 0.0 16/116 ffffffff", "wan0 L1 D0 0.0 16/116 ffffffff"}));
}

// ---- capture files: the library's reader is the reference ----

std::vector<std::string> full(CAPLIB_INPUT *in) {
    std::vector<std::string> out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        Record r{p->name ? p->name : "<null>", p->layer, p->direction, p->number, p->length, p->orig_length,
                 p->time.tv_sec, p->time.tv_usec, Bytes(p->data, p->data + p->length)};
        out.push_back(brief(r) + " " + std::to_string(p->tag) + " " + std::to_string(p->channel) + " " +
                      std::to_string(p->attribute) + " #" + std::to_string(p->number) + " " +
                      hex_of(r.data, r.data.size()));
    }
    return out;
}

// The file at path, opened as a file or read through a pipe.
CAPLIB_INPUT *open_file_or_pipe(const std::string &path, bool piped, InputReport &report) {
    std::string error;
    CAPLIB_INPUT *in = piped ? open_input_stream(popen(("cat " + path).c_str(), "r"), "in", nullptr, report, error)
                             : open_input(path, nullptr, report, error);
    EXPECT_NE(in, nullptr) << error;
    return in;
}

struct CaptureCase {
    const char *name;
    size_t keep;   // bytes of the sample kept (0: all)
    Bytes append;  // then these
    const char *report;
};

class CaptureIn : public testing::TestWithParam<CaptureCase> {};

// From a file and from a pipe, the same records as the library's reader.
TEST_P(CaptureIn, AgreesWithTheLibrarysReader) {
    const CaptureCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("in.eth");
    Bytes file = caplib_test::read_file(std::string(CAPLIB_SOURCE_DIR) + "/examples/sample.eth");
    if (c.keep) file.resize(c.keep);
    file.insert(file.end(), c.append.begin(), c.append.end());
    caplib_test::write_file(path, file);
    CAPLIB_INPUT *lib = CAPLIB_input_zekbin(path.c_str());
    ASSERT_NE(lib, nullptr);
    std::vector<std::string> want = full(lib);
    for (bool piped : {false, true}) {
        InputReport report;
        CAPLIB_INPUT *in = open_file_or_pipe(path, piped, report);
        ASSERT_NE(in, nullptr);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(in->info[i], lib->info[i]);
        EXPECT_EQ(full(in), want) << (piped ? "piped" : "file");
        EXPECT_EQ(report_text(report), c.report);
        EXPECT_EQ(report.same_file(path), !piped);
        CAPLIB_input_close(in);
    }
    CAPLIB_input_close(lib);
}

INSTANTIATE_TEST_SUITE_P(
    Input, CaptureIn,
    testing::Values(
        CaptureCase{"whole", 0, {}, ""},
        CaptureCase{"cut_in_header", 64 + 96 + 20, {},
                    "in: damaged after record 1 (20 bytes are not a record); the records before it were read"},
        CaptureCase{"bad_magic", 64 + 96 + 96, cat({hex("11 48 30 00"), Bytes(44, 0)}),
                    "in: damaged after record 2 (48 bytes are not a record); the records before it were read"},
        // A record of 4 GB announced in a few bytes: nothing that large is allocated.
        CaptureCase{"huge_record", 64 + 96,
                    cat({hex("11 47 30 00 00 00 00 00"), Bytes(16, 0), hex("ef ff ff ff"), Bytes(40, 7)}),
                    "in: damaged after record 1 (68 bytes are not a record); the records before it were read"}),
    [](const auto &info) { return std::string(info.param.name); });

// A file starts over at a second first(), numbers going on; a pipe cannot.
TEST(Input, FirstAgainRewindsAFileOnly) {
    TempDir dir;
    std::string path = dir.path("in.pcap");
    caplib_test::write_file(path, pcap_file(1, {{1, 0, kEth}, {2, 0, kEth}}));
    for (bool piped : {false, true}) {
        InputReport report;
        CAPLIB_INPUT *in = open_file_or_pipe(path, piped, report);
        ASSERT_NE(in, nullptr);
        ASSERT_NE(CAPLIB_input_first(in), nullptr);
        ASSERT_NE(CAPLIB_input_next(in), nullptr);
        CAPLIB_PAKET *p = CAPLIB_input_first(in);
        if (piped) {
            EXPECT_EQ(p, nullptr);
        } else {
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->time.tv_sec, 1);
            EXPECT_EQ(p->number, 3u);
        }
        EXPECT_EQ(report.converted, piped ? 2u : 1u);
        CAPLIB_input_close(in);
    }
}

// ---- layer codes to link types ----

struct OutCase {
    const char *name;
    uint32_t layer, direction;
    Bytes data;
    int link_type;
    Bytes frame;
};

class LayerOut : public testing::TestWithParam<OutCase> {};

TEST_P(LayerOut, MapsToLinkTypeWithItsHeader) {
    const OutCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("out.pcap");
    PcapWriteReport report = export_records(path, {{c.layer, c.direction, c.data, 500, -2, 999999}});
    ASSERT_EQ(report.files.size(), 1u);
    EXPECT_EQ(report.files[0].first, path);
    PcapFile f = read_pcap(path);
    EXPECT_EQ(f.link_type, c.link_type);
    ASSERT_EQ(f.frames.size(), 1u);
    EXPECT_EQ(f.frames[0].data, c.frame);
    EXPECT_EQ(f.frames[0].len, 500 + c.frame.size() - c.data.size());
    EXPECT_EQ(static_cast<int32_t>(f.frames[0].sec), -2);
    EXPECT_EQ(f.frames[0].frac, 999999u);
}

Bytes cooked_out(uint8_t packet_type, uint16_t protocol, const Bytes &payload) {
    return cat({{0, packet_type, 0xff, 0xfe}, Bytes(10, 0),
                {static_cast<uint8_t>(protocol >> 8), static_cast<uint8_t>(protocol)}, payload});
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, LayerOut,
    testing::Values(OutCase{"ppp_loses_direction", CAPLIB_LAYER_PPP, 7, kPpp, 9, kPpp},
                    OutCase{"ethernet", CAPLIB_LAYER_ETHERNET, 1, kEth, 1, kEth},
                    OutCase{"tokenring", CAPLIB_LAYER_TOKENRING, 0, kEth, 6, kEth},
                    OutCase{"ip", CAPLIB_LAYER_IP, 0, kIp, 228, kIp},
                    OutCase{"ipx_out", CAPLIB_LAYER_IPX, 1, kIpx, 113, cooked_out(4, 0x8137, kIpx)},
                    OutCase{"arp_in", CAPLIB_LAYER_ARP, 0, kArp, 113, cooked_out(0, 0x0806, kArp)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PcapOut, MixedLayersGoToOneFilePerLayerAndOthersAreSkipped) {
    TempDir dir;
    std::string path = dir.path("mix.pcap");
    PcapWriteReport report = export_records(path, {{CAPLIB_LAYER_ETHERNET, 0, kEth},
                                                   {CAPLIB_LAYER_PPP, 1, kPpp},
                                                   {CAPLIB_LAYER_ISAKMP, 0, kIp},
                                                   {CAPLIB_LAYER_ETHERNET, 0, kEth},
                                                   {CAPLIB_LAYER_ARP, 0, kArp},
                                                   {CAPLIB_LAYER_RFC1483, 0, kIp},
                                                   {CAPLIB_LAYER_ISAKMP, 0, kIp},
                                                   {CAPLIB_LAYER_ETHERNET, 0, Bytes(kMaxPcapFrame + 1, 0)},
                                                   {CAPLIB_LAYER_PPP, 0, Bytes(kMaxPcapFrame, 0)}});
    using Files = std::vector<std::pair<std::string, uint64_t>>;
    EXPECT_EQ(report.files, (Files{{dir.path("mix-ppp.pcap"), 2}, {dir.path("mix-ethernet.pcap"), 2},
                                   {dir.path("mix-arp.pcap"), 1}}));
    EXPECT_EQ(report.skipped_text("mix.eth"),
              "mix.eth: skipped 3 records of layers without a pcap link type: ISAKMP (2), RFC1483 (1); "
              "1 record longer than 262144 bytes");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(read_pcap(dir.path("mix-ethernet.pcap")).frames.size(), 2u);
    EXPECT_EQ(read_pcap(dir.path("mix-arp.pcap")).link_type, 113);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("")), {}), 3);
}

TEST(PcapOut, NoRecordsMakeAnEmptyEthernetFile) {
    TempDir dir;
    std::string path = dir.path("empty.pcap");
    PcapWriteReport report = export_records(path, {});
    ASSERT_EQ(report.files.size(), 1u);
    PcapFile f = read_pcap(path);
    EXPECT_EQ(f.link_type, 1);
    EXPECT_TRUE(f.frames.empty());
    EXPECT_EQ(f.error, "");
}

TEST(PcapOut, AFailedPumpLeavesNoFileBehind) {
    TempDir dir;
    std::string path = dir.path("out.pcap");
    PcapWriteReport report = export_records(path, {{CAPLIB_LAYER_ETHERNET, 0, kEth}, {CAPLIB_LAYER_PPP, 0, kPpp}},
                                            CAPLIB_ERR_WRITE);
    EXPECT_TRUE(report.files.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("")), {}), 0);
}

TEST(PcapOut, UnwritableDirectoryFailsTheRecordWithOneLine) {
    TempDir dir;
    std::string path = dir.path("no/such/out.pcap");
    PcapWriteReport report;
    std::string error;
    CAPLIB_OUTPUT *out = pcap_output(path, report, error);
    ASSERT_NE(out, nullptr);
    CAPLIB_PAKET p{};
    p.layer = CAPLIB_LAYER_ETHERNET;
    p.data = kEth.data();
    p.length = static_cast<uint32_t>(kEth.size());
    EXPECT_EQ(CAPLIB_output_paket(out, &p), CAPLIB_ERR_WRITE);
    CAPLIB_output_close(out, CAPLIB_ERR_WRITE);
    EXPECT_EQ(report.error, "cannot open " + path + " for writing: No such file or directory");
    EXPECT_EQ(pcap_output(dir.path("out.cap"), report, error), nullptr);
    EXPECT_EQ(error, dir.path("out.cap") + ": pcap files written must have the extension .pcap");
}

// ---- round trips ----

struct TripCase {
    const char *name;
    uint32_t link_type;
    Bytes frame;
    int link_type_back;
    size_t header_in, header_back;  // link header bytes before and after
    bool same_bytes;                // the whole frame comes back
};

class RoundTrip : public testing::TestWithParam<TripCase> {};

// pcap -> records -> pcap: the packet, its lengths and times come back.
TEST_P(RoundTrip, KeepsBytesAndTimeStamps) {
    const TripCase &c = GetParam();
    TempDir dir;
    std::string in = dir.path("in.pcap"), out = dir.path("out.pcap");
    std::vector<PcapFrame> frames;
    for (uint32_t i = 0; i < 5; ++i) {
        Bytes f = c.frame;
        f.push_back(static_cast<uint8_t>(i));
        frames.push_back({1700000000 + i * 3600, i * 199999, f, static_cast<uint32_t>(f.size()) + i});
    }
    caplib_test::write_file(in, pcap_file(c.link_type, frames));
    InputReport report;
    std::string error;
    CAPLIB_INPUT *src = open_input(in, nullptr, report, error);
    ASSERT_NE(src, nullptr) << error;
    PcapWriteReport written;
    CAPLIB_OUTPUT *sink = pcap_output(out, written, error);
    ASSERT_EQ(CAPLIB_process_data(src, sink), 0);
    ASSERT_EQ(written.files.size(), 1u);

    PcapFile b = read_pcap(out);
    EXPECT_EQ(b.link_type, c.link_type_back);
    ASSERT_EQ(frames.size(), b.frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const PcapFrame &x = frames[i], &y = b.frames[i];
        EXPECT_EQ(x.sec, y.sec);
        EXPECT_EQ(x.frac, y.frac);
        EXPECT_EQ(Bytes(x.data.begin() + static_cast<long>(c.header_in), x.data.end()),
                  Bytes(y.data.begin() + static_cast<long>(c.header_back), y.data.end()));
        EXPECT_EQ(x.len - c.header_in, y.len - c.header_back);
        if (c.same_bytes) {
            EXPECT_EQ(x.data, y.data);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pcap, RoundTrip,
                         testing::Values(TripCase{"ethernet", 1, kEth, 1, 0, 0, true},
                                         TripCase{"tokenring", 6, kEth, 6, 0, 0, true},
                                         TripCase{"ppp", 9, kPpp, 9, 0, 0, true},
                                         TripCase{"ipv4", 228, kIp, 228, 0, 0, true},
                                         TripCase{"ppp_dir", 204, cat({hex("01"), kPpp}), 9, 1, 0, false},
                                         TripCase{"raw", 101, kIp, 228, 0, 0, false},
                                         TripCase{"null", 0, cat({hex("02 00 00 00"), kIp}), 228, 4, 0, false},
                                         // The cooked header's address and hardware type are not kept.
                                         TripCase{"sll_ipx", 113, sll(4, 0x8137, kIpx), 113, 16, 16, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- the real captures ----

class RealCapture : public testing::TestWithParam<const char *> {};

// Their link types (Ethernet, PPP) come back as they were, byte for byte.
TEST_P(RealCapture, EveryFrameConvertsAndComesBackTheSame) {
    std::string path = std::string(CAPLIB_CAPTURES_DIR) + "/" + GetParam();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no shared captures at " << CAPLIB_CAPTURES_DIR;
    TempDir dir;
    std::string out = dir.path("back.pcap");
    InputReport report;
    std::string error;
    CAPLIB_INPUT *src = open_input(path, nullptr, report, error);
    ASSERT_NE(src, nullptr) << error;
    PcapWriteReport written;
    ASSERT_EQ(CAPLIB_process_data(src, pcap_output(out, written, error)), 0);
    PcapFile a = read_pcap(path), b = read_pcap(out);
    EXPECT_EQ(report.converted, a.frames.size());
    EXPECT_EQ(report_text(report), "");
    EXPECT_EQ(b.link_type, a.link_type);
    ASSERT_EQ(b.frames.size(), a.frames.size());
    for (size_t i = 0; i < a.frames.size(); ++i) {
        EXPECT_EQ(a.frames[i].sec, b.frames[i].sec);
        EXPECT_EQ(a.frames[i].frac, b.frames[i].frac);
        EXPECT_EQ(a.frames[i].data, b.frames[i].data);
        EXPECT_EQ(a.frames[i].len, b.frames[i].len);
    }
}

INSTANTIATE_TEST_SUITE_P(Shared, RealCapture,
                         testing::Values("ipx-netbios.pcap", "mixed-ethernet.pcap", "netbios-browse.pcap",
                                         "ppp-ip-icmp.pcap", "ppp-pap-truncated.pcap", "pppoe-discovery-2.pcap",
                                         "pppoe-discovery.pcap", "pppoe-session-2.pcap", "pppoe-session-lcp.pcap"),
                         [](const auto &info) {
                             std::string n = info.param;
                             for (char &ch : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return n;
                         });

// ---- fuzz seeds ----

// Writes the input target's seeds when CAPLIB_SEED_DIR names the directory
// (scripts/fuzz --seeds): one of each format and pcap variant, several
// interfaces, damage. Not a test of its own.
class SeedWriter : public testing::Environment {
public:
    void SetUp() override {
        const char *dir = std::getenv("CAPLIB_SEED_DIR");
        if (!dir) return;
        std::string to = std::string(dir) + "/input/";
        std::filesystem::create_directories(to);
        auto seed = [&](const char *name, const Bytes &b) { caplib_test::write_file(to + name, b); };
        seed("sample.eth", caplib_test::read_file(std::string(CAPLIB_SOURCE_DIR) + "/examples/sample.eth"));
        seed("pcap-cooked", pcap_file(113, {{1, 0, sll(0, 0x0800, kIp)}, {2, 0, sll(4, 0x8137, kIpx)}}));
        seed("pcap-nano-big", pcap_file(204, {{1, 999999999, cat({hex("01"), kPpp})}}, 0xA1B23C4D, true));
        seed("pcap-null", pcap_file(0, {{1, 0, cat({hex("02 00 00 00"), kIp})}, {2, 0, hex("02")}}));
        seed("pcapng-sections", two_sections());
        seed("pcapng-simple",
             Pcapng().section().interface(276, "", 0x94, 30).simple(sll2(4, 0x0806, kArp), 40).bytes());
        seed("pcapng-undescribed", Pcapng().section(true).interface(1).packet(3, 0, kEth).bytes());
    }
};
[[maybe_unused]] testing::Environment *const kSeedWriter = testing::AddGlobalTestEnvironment(new SeedWriter);

}  // namespace
