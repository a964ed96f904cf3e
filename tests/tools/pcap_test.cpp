// pcap and pcapng through libpcap: the link-type mapping both ways, round
// trips compared by libpcap's own reading, pcapng interfaces, damaged files.
#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <filesystem>
#include <string>
#include <vector>

#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/pcap_source.h"

namespace {

using caplib_test::ascii;
using caplib_test::cat;
using caplib_test::hex;
using caplib_test::drain;
using caplib_test::TempDir;
using Record = caplib_test::ReadBack;
using namespace caplib_tool;
using Bytes = caplib_test::Frame;

struct PcapFrame {
    uint32_t sec = 1700000000, usec = 123456;
    Bytes data;
    uint32_t len = 0;  // 0: the captured length
};

// libpcap's writer, with the file's link type put in afterwards: the writer
// refuses some that other systems write (14, and 101 by its number).
void write_pcap(const std::string &path, int link_type, const std::vector<PcapFrame> &frames) {
    pcap_t *dead = pcap_open_dead(DLT_EN10MB, 65535);
    pcap_dumper_t *d = pcap_dump_open(dead, path.c_str());
    ASSERT_NE(d, nullptr) << pcap_geterr(dead);
    for (const PcapFrame &f : frames) {
        pcap_pkthdr h{};
        h.ts.tv_sec = f.sec;
        h.ts.tv_usec = f.usec;
        h.caplen = static_cast<uint32_t>(f.data.size());
        h.len = f.len ? f.len : h.caplen;
        pcap_dump(reinterpret_cast<u_char *>(d), &h, f.data.data());
    }
    pcap_dump_close(d);
    pcap_close(dead);
    Bytes file = caplib_test::read_file(path);
    for (int i = 0; i < 4; ++i) file[20 + i] = static_cast<uint8_t>(link_type >> (8 * i));
    caplib_test::write_file(path, file);
}

struct PcapFile {
    int link_type = -1;
    std::vector<PcapFrame> frames;
    std::string error;
};

// libpcap's own reading of a file, the reference for every comparison.
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

std::vector<Record> import(const std::string &path, PcapReadReport &report, const char *name = nullptr) {
    std::string error;
    CAPLIB_INPUT *in = pcap_input(path, name, report, error);
    EXPECT_NE(in, nullptr) << error;
    if (!in) return {};
    std::vector<Record> records = drain(in);
    CAPLIB_input_close(in);
    return records;
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
    int link_type;
    Bytes frame;
    uint32_t layer, direction;
    Bytes data;  // the record's bytes: the frame less its link header
};

class LinkTypeIn : public testing::TestWithParam<InCase> {};

TEST_P(LinkTypeIn, MapsToLayerAndStripsTheLinkHeader) {
    const InCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("in.pcap");
    uint32_t header = static_cast<uint32_t>(c.frame.size() - c.data.size());
    write_pcap(path, c.link_type, {{1700000001, 999999, c.frame, static_cast<uint32_t>(c.frame.size()) + 100}});
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].layer, c.layer);
    EXPECT_EQ(r[0].direction, c.direction);
    EXPECT_EQ(r[0].data, c.data);
    EXPECT_EQ(r[0].orig_length, c.frame.size() + 100 - header);
    EXPECT_EQ(r[0].sec, 1700000001);
    EXPECT_EQ(r[0].usec, 999999);
    EXPECT_EQ(r[0].name, "if0");
    EXPECT_EQ(r[0].number, 1u);
    EXPECT_EQ(report.frames, 1u);
    EXPECT_EQ(report.converted, 1u);
    EXPECT_EQ(report.skipped_text("in.pcap"), "");
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
    int link_type;
    Bytes frame;
    const char *text;
};

class LinkTypeSkip : public testing::TestWithParam<SkipCase> {};

// Frames no layer code carries are skipped and counted; the frames around
// them still convert and keep their own numbers.
TEST_P(LinkTypeSkip, SkipsAndCounts) {
    const SkipCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("in.pcap");
    write_pcap(path, c.link_type, {{1, 0, c.frame}, {2, 0, c.frame}});
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(report.frames, 2u);
    EXPECT_EQ(report.skipped_text("in.pcap"), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, LinkTypeSkip,
    testing::Values(
        SkipCase{"raw_ipv6", 101, hex("60 00 00 00 00 00 3b 40"), "in.pcap: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"ipv4_empty", 228, {}, "in.pcap: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"null_inet6", 0, cat({hex("1e 00 00 00"), kIp}), "in.pcap: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"null_cut", 0, hex("02 00"), "in.pcap: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"sll_ipv6", 113, sll(0, 0x86dd, kIp), "in.pcap: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"sll_cut", 113, hex("00 00 00 01 00 06 00 a0 c5 11 02 33 00 00 08"),
                 "in.pcap: 2 of 2 frames skipped (2 with their link headers cut short)"},
        SkipCase{"sll2_llc", 276, sll2(0, 0x0004, kIpx), "in.pcap: 2 of 2 frames skipped (2 not IPv4, IPX or ARP)"},
        SkipCase{"ppp_dir_empty", 204, {}, "in.pcap: 2 of 2 frames skipped (2 with their link headers cut short)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PcapIn, SkippedFramesAmongConvertedOnesAreCountedByReason) {
    TempDir dir;
    std::string path = dir.path("in.pcap");
    write_pcap(path, 113, {{1, 0, sll(0, 0x0800, kIp)}, {2, 0, sll(0, 0x86dd, kIp)}, {3, 0, hex("00 04")},
                           {4, 0, sll(4, 0x0806, kArp)}});
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].sec, 1);
    EXPECT_EQ(r[1].sec, 4);
    EXPECT_EQ(r[1].number, 2u);
    EXPECT_EQ(report.skipped_text("in.pcap"),
              "in.pcap: 2 of 4 frames skipped (1 not IPv4, IPX or ARP, 1 with its link header cut short)");
}

TEST(PcapIn, UnknownLinkTypeIsRefusedWithItsFramesCounted) {
    TempDir dir;
    std::string path = dir.path("wifi.pcap");
    write_pcap(path, 105, {{1, 0, kEth}, {2, 0, kEth}, {3, 0, kEth}});
    PcapReadReport report;
    std::string error;
    EXPECT_EQ(pcap_input(path, nullptr, report, error), nullptr);
    EXPECT_EQ(error, path + ": link type 105 (IEEE802_11) has no layer code; 3 frames skipped");
}

TEST(PcapIn, NameComesFromTheCaller) {
    TempDir dir;
    std::string path = dir.path("in.pcap");
    write_pcap(path, 1, {{1, 0, kEth}});
    PcapReadReport report;
    std::vector<Record> r = import(path, report, "wan0");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].name, "wan0");
}

TEST(PcapIn, FirstAgainStartsOverWithNumbersGoingOn) {
    TempDir dir;
    std::string path = dir.path("in.pcap");
    write_pcap(path, 1, {{1, 0, kEth}, {2, 0, kEth}});
    PcapReadReport report;
    std::string error;
    CAPLIB_INPUT *in = pcap_input(path, nullptr, report, error);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(CAPLIB_input_next(in), nullptr);
    ASSERT_NE(CAPLIB_input_next(in), nullptr);
    CAPLIB_PAKET *p = CAPLIB_input_first(in);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->time.tv_sec, 1);
    EXPECT_EQ(p->number, 3u);
    CAPLIB_input_close(in);
}

// ---- damaged and foreign files ----

struct DamageCase {
    const char *name;
    size_t keep;       // bytes of the good file kept (0: all)
    Bytes append;      // then these
    size_t converted;  // frames delivered before the damage
    const char *damage;
};

class PcapDamage : public testing::TestWithParam<DamageCase> {};

// Three 60-byte frames: 24 file header + 3 * (16 + 60) = 252 bytes.
TEST_P(PcapDamage, DeliversEveryCompleteFrameThenReportsTheDamage) {
    const DamageCase &c = GetParam();
    TempDir dir;
    std::string path = dir.path("cut.pcap");
    write_pcap(path, 1, {{1, 0, Bytes(60, 0xAA)}, {2, 0, Bytes(60, 0xBB)}, {3, 0, Bytes(60, 0xCC)}});
    Bytes file = caplib_test::read_file(path);
    ASSERT_EQ(file.size(), 252u);
    if (c.keep) file.resize(c.keep);
    file.insert(file.end(), c.append.begin(), c.append.end());
    caplib_test::write_file(path, file);
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    EXPECT_EQ(r.size(), c.converted);
    EXPECT_EQ(report.damage, c.damage);
    EXPECT_EQ(report.damage_text("cut.pcap"), "cut.pcap: damaged after " + std::to_string(c.converted) +
                                                  (c.converted == 1 ? " frame (" : " frames (") + c.damage +
                                                  "); " + std::to_string(c.converted) + " converted");
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, PcapDamage,
    testing::Values(
        DamageCase{"cut_in_data", 200, {}, 2, "truncated dump file; tried to read 60 captured bytes, only got 8"},
        DamageCase{"cut_in_header", 110, {}, 1, "truncated dump file; tried to read 16 header bytes, only got 10"},
        DamageCase{"huge_length", 0, hex("03 00 00 00 00 00 00 00 ff ff ff 7f ff ff ff 7f"), 3,
                   "invalid packet capture length 2147483647, bigger than snaplen of 65535"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PcapIn, FilesLibpcapCannotOpenGiveOneLine) {
    TempDir dir;
    std::string text = dir.path("text.pcap");
    caplib_test::write_file(text, ascii("not a capture at all, only some text"));
    std::string cut = dir.path("cut.pcap");
    caplib_test::write_file(cut, hex("d4 c3 b2 a1 02 00 04 00"));
    PcapReadReport report;
    std::string error;
    EXPECT_EQ(pcap_input(text, nullptr, report, error), nullptr);
    EXPECT_EQ(error, text + ": not a pcap or pcapng file (unknown file format)");
    EXPECT_EQ(pcap_input(cut, nullptr, report, error), nullptr);
    EXPECT_EQ(error, cut + ": truncated dump file; tried to read 24 file header bytes, only got 4");
    EXPECT_EQ(pcap_input(dir.path("missing.pcap"), nullptr, report, error), nullptr);
    EXPECT_EQ(error, dir.path("missing.pcap") + ": No such file or directory");
}

// ---- pcapng ----

// A small pcapng writer (little-endian) for files libpcap cannot write.
class Pcapng {
public:
    Pcapng() { block(0x0A0D0D0A, cat({hex("4d 3c 2b 1a 01 00 00 00"), hex("ff ff ff ff ff ff ff ff")})); }
    Pcapng &interface(uint16_t link_type, const std::string &name = "", uint8_t tsresol = 0) {
        Bytes body = {static_cast<uint8_t>(link_type), static_cast<uint8_t>(link_type >> 8), 0, 0, 0, 0, 4, 0};
        if (!name.empty()) option(body, 2, ascii(name));
        if (tsresol) option(body, 9, {tsresol});
        if (!name.empty() || tsresol) body.insert(body.end(), 4, 0);
        block(1, body);
        return *this;
    }
    Pcapng &frame(uint32_t interface, uint64_t ts, const Bytes &data) {
        Bytes body;
        le32(body, interface);
        le32(body, static_cast<uint32_t>(ts >> 32));
        le32(body, static_cast<uint32_t>(ts));
        le32(body, static_cast<uint32_t>(data.size()));
        le32(body, static_cast<uint32_t>(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        body.resize((body.size() + 3) & ~size_t{3});
        block(6, body);
        return *this;
    }
    void write(const std::string &path) const { caplib_test::write_file(path, bytes_); }

private:
    static void le32(Bytes &b, uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    static void option(Bytes &b, uint16_t code, const Bytes &value) {
        b.push_back(static_cast<uint8_t>(code));
        b.push_back(static_cast<uint8_t>(code >> 8));
        b.push_back(static_cast<uint8_t>(value.size()));
        b.push_back(static_cast<uint8_t>(value.size() >> 8));
        b.insert(b.end(), value.begin(), value.end());
        b.resize((b.size() + 3) & ~size_t{3});
    }
    void block(uint32_t type, const Bytes &body) {
        uint32_t length = static_cast<uint32_t>(body.size() + 12);
        le32(bytes_, type);
        le32(bytes_, length);
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        le32(bytes_, length);
    }
    Bytes bytes_;
};

TEST(Pcapng, OneNamedInterfaceNamesTheRecordsAndNanosecondsBecomeMicroseconds) {
    TempDir dir;
    std::string path = dir.path("in.pcapng");
    Pcapng().interface(1, "eth7", 9).frame(0, 1700000000123456789ull, kEth).frame(0, 1700000001000000999ull, kEth).write(path);
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, "eth7");
    EXPECT_EQ(r[0].sec, 1700000000);
    EXPECT_EQ(r[0].usec, 123456);
    EXPECT_EQ(r[1].usec, 0);
    EXPECT_EQ(r[0].data, kEth);
    EXPECT_EQ(import(path, report, "mine")[0].name, "mine");
}

TEST(Pcapng, InterfacesOfOneLinkTypeConvertUnderTheDefaultName) {
    TempDir dir;
    std::string path = dir.path("in.pcapng");
    Pcapng().interface(1, "eth0").interface(1, "eth1").frame(0, 1000000, kEth).frame(1, 2000000, kEth).write(path);
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    ASSERT_EQ(r.size(), 2u);
    // libpcap does not say which interface a frame came from.
    EXPECT_EQ(r[0].name, "if0");
    EXPECT_EQ(r[1].sec, 2);
    EXPECT_EQ(report.damage, "");
}

// libpcap gives one link type per file: it stops at an interface of
// another type. Every frame before that converts; the stop is reported.
TEST(Pcapng, InterfacesOfTwoLinkTypesConvertUpToLibpcapsStop) {
    TempDir dir;
    std::string path = dir.path("in.pcapng");
    Pcapng()
        .interface(1, "eth0", 6)
        .frame(0, 1000000, kEth)
        .frame(0, 2000000, kEth)
        .interface(204, "ppp0", 6)
        .frame(1, 3000000, cat({hex("01"), kPpp}))
        .write(path);
    PcapReadReport report;
    std::vector<Record> r = import(path, report);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].layer, CAPLIB_LAYER_ETHERNET);
    EXPECT_EQ(r[1].name, "eth0");
    EXPECT_EQ(report.damage, "an interface has a type 204 different from the type of the first interface");
}

TEST(Pcapng, InterfaceNameIsReadOnlyFromWellFormedLeadingBlocks) {
    TempDir dir;
    std::string path = dir.path("in.pcapng");
    Pcapng().interface(1, std::string("a\tb\x01", 4)).frame(0, 1, kEth).interface(1, "late").write(path);
    EXPECT_EQ(pcapng_interface_name(path), "a?b?");
    Pcapng().interface(1).frame(0, 1, kEth).write(path);
    EXPECT_EQ(pcapng_interface_name(path), "");
    write_pcap(path, 1, {{1, 0, kEth}});
    EXPECT_EQ(pcapng_interface_name(path), "");
    // A block length running past the file ends the look.
    Bytes broken = hex("0a 0d 0d 0a 1c 00 00 00 4d 3c 2b 1a 01 00 00 00 ff ff ff ff ff ff ff ff 1c 00 00 00"
                       "01 00 00 00 ff 00 00 00 01 00 00 00");
    caplib_test::write_file(path, broken);
    EXPECT_EQ(pcapng_interface_name(path), "");
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
    EXPECT_EQ(f.frames[0].usec, 999999u);
}

Bytes cooked_out(uint8_t packet_type, uint16_t protocol, const Bytes &payload) {
    return cat({{0, packet_type, 0xff, 0xfe}, Bytes(10, 0), {static_cast<uint8_t>(protocol >> 8), static_cast<uint8_t>(protocol)},
                payload});
}

INSTANTIATE_TEST_SUITE_P(
    Pcap, LayerOut,
    testing::Values(OutCase{"ppp_out", CAPLIB_LAYER_PPP, 7, kPpp, 204, cat({hex("01"), kPpp})},
                    OutCase{"ppp_in", CAPLIB_LAYER_PPP, 0, kPpp, 204, cat({hex("00"), kPpp})},
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
    EXPECT_EQ(report.files, (Files{{dir.path("mix-ppp.pcap"), 1}, {dir.path("mix-ethernet.pcap"), 2},
                                   {dir.path("mix-arp.pcap"), 1}}));
    EXPECT_EQ(report.skipped_text("mix.eth"),
              "mix.eth: skipped 3 records of layers without a pcap link type: ISAKMP (2), RFC1483 (1); "
              "2 records longer than 262144 bytes");
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
    int link_type;
    Bytes frame;
    int link_type_back;
    size_t header_in, header_back;  // link header bytes before and after
    bool same_bytes;                // the whole frame comes back
};

class RoundTrip : public testing::TestWithParam<TripCase> {};

// pcap -> records -> pcap, compared by libpcap's reading of both files:
// the same link type gives the same bytes; the others keep the packet.
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
    write_pcap(in, c.link_type, frames);
    PcapReadReport report;
    std::string error;
    CAPLIB_INPUT *src = pcap_input(in, nullptr, report, error);
    ASSERT_NE(src, nullptr) << error;
    PcapWriteReport written;
    CAPLIB_OUTPUT *sink = pcap_output(out, written, error);
    ASSERT_EQ(CAPLIB_process_data(src, sink), 0);
    ASSERT_EQ(written.files.size(), 1u);

    PcapFile a = read_pcap(in), b = read_pcap(out);
    EXPECT_EQ(b.link_type, c.link_type_back);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    for (size_t i = 0; i < a.frames.size(); ++i) {
        const PcapFrame &x = a.frames[i], &y = b.frames[i];
        EXPECT_EQ(x.sec, y.sec);
        EXPECT_EQ(x.usec, y.usec);
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
                                         TripCase{"ppp_dir", 204, cat({hex("01"), kPpp}), 204, 0, 0, true},
                                         TripCase{"ipv4", 228, kIp, 228, 0, 0, true},
                                         TripCase{"ppp", 9, kPpp, 204, 0, 1, false},
                                         TripCase{"raw", 101, kIp, 228, 0, 0, false},
                                         TripCase{"null", 0, cat({hex("02 00 00 00"), kIp}), 228, 4, 0, false},
                                         // The cooked header's address and hardware type are not kept.
                                         TripCase{"sll_ipx", 113, sll(4, 0x8137, kIpx), 113, 16, 16, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- the real captures ----

class RealCapture : public testing::TestWithParam<const char *> {};

TEST_P(RealCapture, EveryFrameConvertsAndComesBackTheSame) {
    std::string path = std::string(CAPLIB_CAPTURES_DIR) + "/" + GetParam();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no shared captures at " << CAPLIB_CAPTURES_DIR;
    TempDir dir;
    std::string out = dir.path("back.pcap");
    PcapReadReport report;
    std::string error;
    CAPLIB_INPUT *src = pcap_input(path, nullptr, report, error);
    ASSERT_NE(src, nullptr) << error;
    PcapWriteReport written;
    ASSERT_EQ(CAPLIB_process_data(src, pcap_output(out, written, error)), 0);
    PcapFile a = read_pcap(path), b = read_pcap(out);
    EXPECT_EQ(report.converted, a.frames.size());
    EXPECT_EQ(report.skipped(), 0u);
    EXPECT_EQ(report.damage, a.error);
    ASSERT_EQ(b.frames.size(), a.frames.size());
    // Ethernet stays Ethernet; PPP gains the direction byte.
    size_t added = a.link_type == 1 ? 0 : 1;
    for (size_t i = 0; i < a.frames.size(); ++i) {
        EXPECT_EQ(a.frames[i].sec, b.frames[i].sec);
        EXPECT_EQ(a.frames[i].usec, b.frames[i].usec);
        EXPECT_EQ(a.frames[i].data, Bytes(b.frames[i].data.begin() + static_cast<long>(added), b.frames[i].data.end()));
        EXPECT_EQ(a.frames[i].len + added, b.frames[i].len);
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

}  // namespace
