// The tool's input reader on capture files, pcap and pcapng built here,
// and its pcap sink, whose files libpcap reads back.
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "support.h"
#include "tools/input.h"
#include "tools/pcap_sink.h"

namespace {

using namespace caplib_test;
using namespace caplib_tool;
using Bytes = Frame;
using Lines = std::vector<std::string>;

// v in 2 or 4 bytes, little- or big-endian.
Bytes w16(uint32_t v, bool big) { return big ? be16(v) : le16(v); }
Bytes w32(uint32_t v, bool big) { return big ? be32(v) : le32(v); }

// A frame's time, bytes and original length (0: as many as it has).
struct PcapFrame { uint32_t sec, frac; Bytes data; uint32_t len = 0; };

// A pcap file; magic and byte order choose the variant.
Bytes pcap_file(uint32_t link_type, const std::vector<PcapFrame> &frames, uint32_t magic = 0xA1B2C3D4,
                bool big = false) {
    Bytes b = cat({w32(magic, big), w16(2, big), w16(4, big), w32(0, big), w32(0, big), w32(65535, big),
                   w32(link_type, big)});
    for (const PcapFrame &f : frames) {
        uint32_t n = static_cast<uint32_t>(f.data.size());
        b = cat({b, w32(f.sec, big), w32(f.frac, big), w32(n, big), w32(f.len ? f.len : n, big), f.data});
    }
    return b;
}

// A pcapng file, one block at a time, in the byte order of its section.
class Pcapng {
public:
    Pcapng &section(bool big = false) {
        big_ = big;
        return block(0x0A0D0D0A, cat({w(0x1A2B3C4D), h(1), h(0), Bytes(8, 0xFF)}));
    }
    Pcapng &interface(uint16_t link_type, const std::string &name = "", uint8_t tsresol = 0, uint32_t snaplen = 0) {
        Bytes b = cat({h(link_type), h(0), w(snaplen)});
        if (!name.empty()) b = cat({b, h(2), h(static_cast<uint32_t>(name.size())), pad(ascii(name))});
        if (tsresol) b = cat({b, h(9), h(1), pad({tsresol})});
        return block(1, b.size() > 8 ? cat({b, Bytes(4, 0)}) : b);  // options end with an empty one
    }
    // An enhanced packet block (type 6) or an old packet block (type 2).
    Pcapng &packet(uint32_t interface, uint64_t ts, const Bytes &data, uint32_t type = 6) {
        uint32_t n = static_cast<uint32_t>(data.size());
        return block(type, cat({type == 2 ? cat({h(interface), h(0)}) : w(interface), w(static_cast<uint32_t>(ts >> 32)),
                                w(static_cast<uint32_t>(ts)), w(n), w(n + 100), data}));
    }
    Pcapng &simple(const Bytes &data, uint32_t orig_length) { return block(3, cat({w(orig_length), data})); }
    Pcapng &block(uint32_t type, const Bytes &body) {
        Bytes length = w(static_cast<uint32_t>(pad(body).size() + 12));
        bytes_ = cat({bytes_, w(type), length, pad(body), length});
        return *this;
    }
    // The 32-bit word at offset from the end.
    Pcapng &patch(size_t from_end, uint32_t v) {
        std::ranges::copy(w(v), bytes_.end() - static_cast<long>(from_end));
        return *this;
    }
    const Bytes &bytes() const { return bytes_; }

private:
    Bytes h(uint32_t v) const { return w16(v, big_); }
    Bytes w(uint32_t v) const { return w32(v, big_); }
    static Bytes pad(Bytes b) { return cat({b, Bytes(-b.size() & 3, 0)}); }
    bool big_ = false;
    Bytes bytes_;
};

// The records in one line each: name, layer, direction, time, lengths, first bytes.
Lines lines(CAPLIB_INPUT *in) {
    Lines out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        char text[96];
        std::snprintf(text, sizeof text, " L%u D%u %d.%d %u/%u ", p->layer, p->direction, p->time.tv_sec,
                      p->time.tv_usec, p->length, p->orig_length);
        out.push_back(std::string(p->name ? p->name : "<null>") + text);
        for (uint32_t i = 0; i < p->length && i < 4; ++i)
            out.back() += {"0123456789abcdef"[p->data[i] >> 4], "0123456789abcdef"[p->data[i] & 15]};
    }
    return out;
}

// The damage and skipped lines of a reading, "" when there are none.
std::string report_text(const InputReport &r) {
    std::string text = r.damage.empty() ? "" : r.damage_text("in", "read"), skipped = r.skipped_text("in");
    return text + (text.empty() || skipped.empty() ? "" : "\n") + skipped;
}

const Bytes kIp = hex("45 00 00 14 00 01 00 00 40 11 00 00 0a 00 00 01 0a 00 00 02");
const Bytes kIpx = hex("ff ff 00 1e 00 04 00 00 00 00 ff ff ff ff ff ff 04 55");
const Bytes kArp = hex("00 01 08 00 06 04 00 01 00 a0 c5 11 02 33");
const Bytes kPpp = hex("ff 03 c0 21 01 01 00 04");
const Bytes kEth = hex("ff ff ff ff ff ff 00 a0 c5 11 02 33 08 06 00 01");

// Linux cooked headers, both versions, from a fixed link address.
Bytes sll(uint16_t packet_type, uint16_t protocol, const Bytes &payload) {
    return cat({w16(packet_type, true), hex("0001 0006 00a0c5110233 0000"), w16(protocol, true), payload});
}
Bytes sll2(uint8_t type, uint16_t protocol, const Bytes &payload) {
    return cat({w16(protocol, true), hex("0000 00000002 0001"), {type}, hex("06 00a0c5110233 0000"), payload});
}

// Two sections, the second big-endian: interfaces of several link types
// and snapshot lengths, named and not, numbered through the file.
Bytes two_sections() {
    return Pcapng().section().interface(1, "eth0", 0, 65535).interface(9, "", 0, 1500).packet(0, 1000000, kEth)
        .packet(1, 2000001, kPpp).block(5, Bytes(16, 0))  // then statistics
        .section(true).interface(204, "wan\t1", 9, 262144).interface(105).interface(6, std::string(300, 'n'))
        .packet(0, 3000000999ull, cat({hex("01"), kPpp})).packet(1, 4000000, kEth).packet(2, 5000000, kEth, 2).bytes();
}

// A section with one Ethernet interface (bytes 0 to 48), then a frame on it.
Pcapng eth_frame() { return std::move(Pcapng().section().interface(1).packet(0, 0, kEth)); }
const char *const kOneEth = "if0 L1 D0 0.0 16/116 ffffffff";

// ---- what a reading gives: records, then damage and skipped frames, or one refusal ----

// The records as lines() gives them, then the refusal or else report_text().
struct ReadCase { const char *name; Bytes input; Lines records; std::string text; };

class Reading : public testing::TestWithParam<ReadCase> {};

// Read from memory like a stream: nothing seeks past what the bytes hold.
TEST_P(Reading, DeliversTheRecordsThenReportsWhatItMet) {
    ReadCase c = GetParam();
    InputReport report;
    std::string error;
    CAPLIB_INPUT *in = open_input_stream(fmemopen(c.input.data(), c.input.size(), "r"), "in", nullptr, report, error);
    EXPECT_EQ(in ? lines(in) : Lines{}, c.records);
    EXPECT_EQ(in ? report_text(report) : error, c.text);
    if (in) CAPLIB_input_close(in);
}

INSTANTIATE_TEST_SUITE_P(Input, Reading, testing::Values(
    // Link types: each way of turning a frame into a record, and the frames none carries.
    ReadCase{"fcs_bits_in_link_type", pcap_file(0x14000001, {{1, 0, kEth, 116}}), {"if0 L1 D0 1.0 16/116 ffffffff"}, ""},
    ReadCase{"null_either_order", pcap_file(0, {{7, 999999, cat({hex("02 00 00 00"), kIp})}, {8, 0, cat({hex("00 00 00 02"), kIp})}}), {"if0 L3 D0 7.999999 20/20 45000014", "if0 L3 D0 8.0 20/20 45000014"}, ""},
    ReadCase{"sll", pcap_file(113, {{1, 0, sll(4, 0x0800, kIp)}, {2, 0, sll(1, 0x8137, kIpx)}, {3, 0, sll(0, 0x86dd, kIp)}, {4, 0, hex("00 04")}}), {"if0 L3 D1 1.0 20/20 45000014", "if0 L4 D0 2.0 18/18 ffff001e"}, "in: 2 of 4 frames skipped (1 not IPv4, IPX or ARP, 1 with its link header cut short)"},
    ReadCase{"sll2_arp_out", pcap_file(276, {{1, 0, sll2(4, 0x0806, kArp), 134}}), {"if0 L5 D1 1.0 14/114 00010800"}, ""},
    ReadCase{"pcapng_raw_ip_and_frames_no_layer_carries", Pcapng().section().interface(101).interface(0).interface(204).packet(0, 1000000, kIp).packet(0, 0, hex("60 00")).packet(0, 0, {}).packet(1, 0, cat({hex("1e 00 00 00"), kIp})).packet(1, 0, hex("02 00")).packet(2, 0, {}).bytes(), {"if0 L3 D0 1.0 20/120 45000014"}, "in: 5 of 6 frames skipped (2 not IPv4, IPX or ARP, 3 with their link headers cut short)"},
    // pcap variants and damage.
    ReadCase{"pcap_micro_big", pcap_file(1, {{7, 999999, kEth}}, 0xA1B2C3D4, true), {"if0 L1 D0 7.999999 16/16 ffffffff"}, ""},
    ReadCase{"pcap_nano", pcap_file(1, {{7, 999999999, kEth}}, 0xA1B23C4D), {"if0 L1 D0 7.999999 16/16 ffffffff"}, ""},
    ReadCase{"pcap_nano_big", pcap_file(1, {{7, 1999, kEth}}, 0xA1B23C4D, true), {"if0 L1 D0 7.1 16/16 ffffffff"}, ""},
    ReadCase{"pcap_cut_in_header", cat({pcap_file(1, {{1, 0, kEth}}), Bytes(10, 0)}), {"if0 L1 D0 1.0 16/16 ffffffff"}, "in: damaged after 1 frame (a frame header is cut short: 10 of 16 bytes); 1 converted"},
    ReadCase{"pcap_huge_length", cat({pcap_file(1, {{1, 0, kEth}}), hex("03 00 00 00 00 00 00 00 ff ff ff 7f ff ff ff 7f 00")}), {"if0 L1 D0 1.0 16/16 ffffffff"}, "in: damaged after 1 frame (a frame is cut short: 1 of 2147483647 bytes); 1 converted"},
    // pcapng: sections, interfaces (the first without a layer code), time resolutions, hostile lengths.
    ReadCase{"pcapng_sections_and_interfaces", two_sections(), {"eth0 L1 D0 1.0 16/116 ffffffff", "if1 L0 D0 2.1 8/108 ff03c021", "wan?1 L0 D1 3.0 8/108 ff03c021", std::string(255, 'n') + " L2 D0 5.0 16/116 ffffffff"}, "in: 1 of 5 frames skipped (1 of link types without a layer code: 105)"},
    ReadCase{"pcapng_time_resolutions", Pcapng().section().interface(105).packet(0, 0, kEth).interface(1, "", 3).interface(1, "", 0x94).interface(1, "", 0x80).packet(1, 12345, kEth).packet(2, (uint64_t{7} << 20) + (1 << 19), kEth).packet(3, 42, kEth).bytes(), {"if1 L1 D0 12.345000 16/116 ffffffff", "if2 L1 D0 7.500000 16/116 ffffffff", "if3 L1 D0 42.0 16/116 ffffffff"}, "in: 1 of 4 frames skipped (1 of link types without a layer code: 105)"},
    // The second section's interface has no snapshot length.
    ReadCase{"pcapng_simple_blocks_by_snapshot_length", Pcapng().section().interface(1, "", 0, 10).simple(kEth, 16).simple(Bytes(6, 1), 5).section().interface(1).simple(kEth, 16).bytes(), {"if0 L1 D0 0.0 10/16 ffffffff", "if0 L1 D0 0.0 5/5 01010101", "if1 L1 D0 0.0 16/16 ffffffff"}, ""},
    ReadCase{"pcapng_zero_length", cat({eth_frame().bytes(), hex("06 00 00 00 00 00 00 00")}), {kOneEth}, "in: damaged after 1 frame (the block at byte 96 has the length 0); 1 converted"},
    ReadCase{"pcapng_length_not_multiple_of_4", cat({eth_frame().bytes(), hex("06 00 00 00 0d 00 00 00 00")}), {kOneEth}, "in: damaged after 1 frame (the block at byte 96 has the length 13); 1 converted"},
    ReadCase{"pcapng_length_past_the_end", eth_frame().patch(44, 0x7FFFFFF0).bytes(), {}, "in: damaged after 0 frames (the block at byte 48 is cut short: 48 of 2147483632 bytes); 0 converted"},
    ReadCase{"pcapng_trailer_differs", eth_frame().patch(4, 52).bytes(), {}, "in: damaged after 0 frames (the block at byte 48 does not end with its length); 0 converted"},
    ReadCase{"pcapng_option_past_the_block", Pcapng().section().interface(1, "eth0").patch(16, 0x00400002).bytes(), {}, "in: damaged after 0 frames (an option of the interface block at byte 28 runs past the block); 0 converted"},
    ReadCase{"pcapng_caplen_past_the_block", eth_frame().patch(28, 17).bytes(), {}, "in: damaged after 0 frames (the packet block at byte 48 holds fewer bytes than its captured length 17); 0 converted"},
    ReadCase{"pcapng_undescribed_interface", eth_frame().section().interface(1).packet(1, 0, kEth).bytes(), {kOneEth}, "in: damaged after 1 frame (the packet block at byte 144 names interface 1, which the section does not describe); 1 converted"},
    ReadCase{"pcapng_cut_block_header", cat({eth_frame().bytes(), hex("06 00 00")}), {kOneEth}, "in: damaged after 1 frame (the block at byte 96 is cut short: 3 of 8 bytes); 1 converted"},
    // Refused whole: one line.
    ReadCase{"capture_magic_without_ident", cat({hex("11 47 00 00"), ascii("ZEK Captura"), Bytes(49, 0)}), {}, "in: not a capture, pcap or pcapng file (begins 11 47 00 00 5a 45 4b 20)"},
    ReadCase{"pcapng_without_byte_order", cat({hex("0a 0d 0d 0a 1c 00 00 00 4d 3c 2b 1b"), Bytes(16, 0)}), {}, "in: not a capture, pcap or pcapng file (begins 0a 0d 0d 0a 1c 00 00 00)"},
    ReadCase{"capture_header_cut", cat({hex("11 47 00 00"), ascii("ZEK Capture"), Bytes(25, 0)}), {}, "in: the capture file header is cut short (40 of 64 bytes)"},
    ReadCase{"pcap_header_cut", hex("d4 c3 b2 a1 02 00 04 00"), {}, "in: the pcap file header is cut short (8 of 24 bytes)"},
    ReadCase{"pcapng_version_2", Pcapng().section().patch(16, 2).bytes(), {}, "in: the section at byte 0 has version 2.0"},
    ReadCase{"pcapng_link_types_without_layer", Pcapng().section().interface(127).interface(105).packet(0, 0, kEth).packet(1, 0, kEth).bytes(), {}, "in: link types 105, 127 have no layer code; 2 frames skipped"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- capture files: the library's reader is the reference ----

// The first bytes of the sample kept (0: all), then bytes appended.
struct CaptureCase { const char *name; size_t keep; Bytes append; const char *report; };

class CaptureIn : public testing::TestWithParam<CaptureCase> {};

// From a file and from a pipe, the same records as the library's reader;
// a second first() starts a file over, numbers going on, and ends a pipe.
TEST_P(CaptureIn, AgreesWithTheLibrarysReader) {
    const CaptureCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("in.eth");
    Bytes file = read_file(std::string(CAPLIB_SOURCE_DIR) + "/examples/sample.eth");
    Bytes whole = cat({head(file, c.keep ? c.keep : file.size()), c.append});
    write_file(path, whole);
    CAPLIB_INPUT *lib = CAPLIB_input_zekbin(path.c_str());
    ASSERT_NE(lib, nullptr);
    std::vector<ReadBack> want = drain(lib);
    for (const char *how : {"file", "grown", "piped"}) {  // grown: past its mapping, mid-record, once open
        bool piped = how[0] == 'p';
        if (how[0] == 'g') write_file(path, head(whole, 200));
        InputReport report;
        std::string error;
        CAPLIB_INPUT *in = piped ? open_input_stream(popen(("cat " + path).c_str(), "r"), "in", nullptr, report, error)
                                 : open_input(path, nullptr, report, error);
        ASSERT_NE(in, nullptr) << error;
        if (how[0] == 'g') write_file(path, whole);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(in->info[i], lib->info[i]);
        EXPECT_EQ(drain(in), want) << how;
        EXPECT_EQ(report_text(report), c.report);
        EXPECT_EQ(report.same_file(path), !piped);
        CAPLIB_PAKET *again = CAPLIB_input_first(in);
        EXPECT_EQ(again ? again->number : 0, piped ? 0 : want.size() + 1);
        CAPLIB_input_close(in);
    }
    CAPLIB_input_close(lib);
}

INSTANTIATE_TEST_SUITE_P(Input, CaptureIn, testing::Values(
    CaptureCase{"whole", 0, {}, ""},
    CaptureCase{"bad_magic", 64 + 96 + 96, cat({hex("11 48 30 00"), Bytes(44, 0)}), "in: damaged after record 2 (48 bytes are not a record); the records before it were read"},
    // A record of 4 GB announced in a few bytes: nothing that large is allocated.
    CaptureCase{"huge_record", 64 + 96, cat({hex("11 47 30 00 00 00 00 00"), Bytes(16, 0), hex("ef ff ff ff"), Bytes(40, 7)}), "in: damaged after record 1 (68 bytes are not a record); the records before it were read"}),
    [](const auto &info) { return std::string(info.param.name); });

// A mapped file cut short while it is read: damage, not the end of the process.
TEST(CaptureIn, CutShortWhileRead) {
    TempDir dir;
    std::string path = dir.path("in.eth");
    ASSERT_TRUE(caplib_mix::write_capture(path, caplib_mix::Kind::ethernet, 1000));
    InputReport report;
    std::string error;
    CAPLIB_INPUT *in = open_input(path, nullptr, report, error);
    ASSERT_NE(in, nullptr) << error;
    map_ahead(in);  // its pages past the cut fail to map too
    ASSERT_EQ(truncate(path.c_str(), 8192), 0);
    EXPECT_LT(drain(in).size(), 100u);
    CAPLIB_input_close(in);
    EXPECT_EQ(report.damage, "reading failed: the file was cut short while it was read");
}

// ---- layer codes to link types ----

// Each layer with a link type goes to a file of its own beside the path
// named, its link header in front, as libpcap reads it back; layers
// without one and records too long for libpcap are skipped and told.
TEST(PcapOut, OneFilePerLayerWithItsLinkHeader) {
    // A record, then the file its first of a kind goes to (null: skipped) and what libpcap reads there.
    struct Row { uint32_t layer, direction; Bytes data; const char *file; int link_type; Bytes frame; };
    const Bytes kCooked = hex("ff fe 00 00 00 00 00 00 00 00 00 00");  // no link address
    const std::vector<Row> rows = {
        {CAPLIB_LAYER_PPP, 7, kPpp, "ppp", 9, kPpp},  // without its direction
        {CAPLIB_LAYER_ETHERNET, 1, kEth, "ethernet", 1, kEth},
        {CAPLIB_LAYER_TOKENRING, 0, kEth, "tokenring", 6, kEth},
        {CAPLIB_LAYER_IP, 0, kIp, "ip", 228, kIp},
        {CAPLIB_LAYER_IPX, 1, kIpx, "ipx", 113, cat({hex("00 04"), kCooked, hex("81 37"), kIpx})},
        {CAPLIB_LAYER_ARP, 0, kArp, "arp", 113, cat({hex("00 00"), kCooked, hex("08 06"), kArp})},
        {CAPLIB_LAYER_ISAKMP, 0, kIp, nullptr, 0, {}},
        {CAPLIB_LAYER_RFC1483, 0, kIp, nullptr, 0, {}},
        {CAPLIB_LAYER_ISAKMP, 0, kIp, nullptr, 0, {}},
        {CAPLIB_LAYER_ETHERNET, 0, Bytes(kMaxPcapFrame + 1, 0), nullptr, 0, {}},
        {CAPLIB_LAYER_PPP, 0, Bytes(kMaxPcapFrame, 0), nullptr, 0, {}}};
    TempDir dir;
    PcapWriteReport report;
    std::string error;
    CAPLIB_OUTPUT *out = pcap_output(dir.path("mix.pcap"), report, error);
    ASSERT_NE(out, nullptr) << error;
    for (const Row &r : rows) {
        uint32_t n = static_cast<uint32_t>(r.data.size());
        CAPLIB_PAKET p{0, "x", 0, r.direction, 0, r.layer, {-2, 999999}, n, std::max<uint32_t>(n, 500), r.data.data(), 0};
        EXPECT_EQ(CAPLIB_output_paket(out, &p), 0);
    }
    CAPLIB_output_close(out, 0);
    auto file = [&](const char *word) { return dir.path(std::string("mix-") + word + ".pcap"); };
    using Files = std::vector<std::pair<std::string, uint64_t>>;
    EXPECT_EQ(report.files, (Files{{file("ppp"), 2}, {file("ethernet"), 1}, {file("tokenring"), 1},
                                   {file("ip"), 1}, {file("ipx"), 1}, {file("arp"), 1}}));
    EXPECT_EQ(report.skipped_text("mix.eth"),
              "mix.eth: skipped 3 records of layers without a pcap link type: ISAKMP (2), RFC1483 (1); "
              "1 record longer than 262144 bytes");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("")), {}), 6);
    for (const Row &r : rows) {
        if (!r.file) continue;
        char errbuf[PCAP_ERRBUF_SIZE];
        pcap_t *p = pcap_open_offline_with_tstamp_precision(file(r.file).c_str(), PCAP_TSTAMP_PRECISION_MICRO, errbuf);
        ASSERT_NE(p, nullptr) << errbuf;
        EXPECT_EQ(pcap_datalink(p), r.link_type);
        pcap_pkthdr *h;
        const u_char *bytes;
        ASSERT_EQ(pcap_next_ex(p, &h, &bytes), 1) << r.file;
        EXPECT_EQ(Bytes(bytes, bytes + h->caplen), r.frame) << r.file;
        EXPECT_EQ(h->len, 500 + r.frame.size() - r.data.size()) << r.file;
        EXPECT_EQ(static_cast<int32_t>(h->ts.tv_sec), -2);
        EXPECT_EQ(h->ts.tv_usec, 999999);
        pcap_close(p);
    }
}

}  // namespace
