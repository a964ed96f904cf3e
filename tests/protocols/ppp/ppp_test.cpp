// The PPP frame decoder in both modes, protocol names and the room rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "caplib.h"
#include "ppp_support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kPpp = 0;  // layer code

[[maybe_unused]] const int kPppSamples = add_samples({
    {"ppp-lcp-confreq", kPpp, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D")},
    {"ppp-ipv4", kPpp, hex("FF03 0021 4500001C 00000000 40110000 0A000001 0A000002")},
    {"ppp-multilink-lcp", kPpp, hex("003D C0000009 C021 09010008 01020304")},
    {"ppp-multilink-fragment", kPpp, hex("003D 40000103 AABBCCDDEE")},
    {"ppp-lqr", kPpp,
     cat({hex("C025"), hex("00000000 00000001 00000002 00000003 00000004 00000005 00000006"),
          hex("00000007 00000008 00000009 0000000A 0000000B")})},
    {"ppp-discard", kPpp, hex("C021 0B01000A 0A0B0C0D 6869")},
    {"ppp-protrej", kPpp, hex("C021 0803000A 802B 01010004")},
});

// ---- protocol names -------------------------------------------------------

struct NameCase {
    uint16_t proto;
    const char *name;
};

class ProtocolNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProtocolNames, NameAndControlSuffix) {
    EXPECT_STREQ(caplib::ppp_protocol_name(GetParam().proto).text, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Ppp, ProtocolNames,
    ::testing::Values(NameCase{0x0000, "P:00"}, NameCase{0x0005, "P:05"}, NameCase{0x00FF, "P:FF"},
                      NameCase{0x0123, "P:123"}, NameCase{0xFFFF, "P:FFFF"},
                      NameCase{0x7FFF, "P:7FFF"}, NameCase{0x8000, "P:8000cp"},
                      NameCase{0x8123, "P:8123cp"}, NameCase{0xC000, "P:C000cp"},
                      NameCase{0xC001, "P:C001"}, NameCase{0x0021, "IP"},
                      NameCase{0x8021, "IPcp"}, NameCase{0x0001, "PADD"},
                      NameCase{0x8001, "PADDcp"}, NameCase{0x8033, "STREAMcp"},
                      NameCase{0x0073, "MP+"}, NameCase{0x8073, "MP+cp"},
                      NameCase{0x80FB, "LCcp"}, NameCase{0x80FD, "NCcp"},
                      NameCase{0x8053, "NEcp"}, NameCase{0x8055, "LEcp"},
                      NameCase{0x0233, "SIGMA"}, NameCase{0x8233, "SIGMAcp"},
                      NameCase{0x002D, "VJIPc"}, NameCase{0x802D, "P:802Dcp"},
                      NameCase{0x002F, "VJIPu"}, NameCase{0x0071, "oBA"},
                      NameCase{0x8071, "P:8071cp"}, NameCase{0x8077, "NSCPcp"},
                      NameCase{0x0077, "P:77"}, NameCase{0x8889, "SCPcp"},
                      NameCase{0xC021, "LCP"}, NameCase{0xC023, "PAP"},
                      NameCase{0xC025, "LQRP"}, NameCase{0xC027, "SPAP"},
                      NameCase{0xC029, "CBCP"}, NameCase{0xC02B, "BACP"},
                      NameCase{0xC02D, "BAP"}, NameCase{0xC089, "RECP"},
                      NameCase{0xC099, "CECP"}, NameCase{0xC223, "CHAP"},
                      NameCase{0xC225, "NCAP"}, NameCase{0xC227, "EAP"}));

// ---- chain mode through CAPLIB_decode ------------------------------------

struct FrameCase {
    const char *name;
    Frame frame;
    std::string text;
};

class PppChain : public ::testing::TestWithParam<FrameCase> {};

TEST_P(PppChain, DecodesToExactText) { EXPECT_EQ(decode(kPpp, GetParam().frame), GetParam().text); }

// Payloads that are handed on are tested on the decoder itself (below):
// what follows them here depends on the decoders behind PPP.
INSTANTIATE_TEST_SUITE_P(
    Ppp, PppChain,
    ::testing::Values(
        FrameCase{"LcpConfReq", hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"),
                  "LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C0D) \n"},
        FrameCase{"NoAddressControl", hex("C021 09020008 0A0B0C0D"),
                  "LCP 008#02:EchoReq 0A0B0C0D \n"},
        FrameCase{"MultilinkEndFragment", hex("003D 40000103 AABBCCDDEE"),
                  "ML <259]          AABBCCDD EE\n"},
        FrameCase{"MultilinkPlus", hex("0073 80000001 AA"), "ML+ [1> MP+ AA\n"},
        FrameCase{"MultilinkWholePacket", hex("003D C0000009 C021 09010008 01020304"),
                  "ML [9] LCP 008#01:EchoReq 01020304 \n"},
        FrameCase{"MultilinkHeaderOnly", hex("003D C0000005"), "ML [5] \n"},
        FrameCase{"MultilinkMiddleIgnoresContent", hex("003D 00000008 C02101"),
                  "ML <8>          C02101\n"},
        FrameCase{"MultilinkMiddleIpv4", hex("003D 0000000A 002145"),
                  "ML <10>          002145\n"},
        FrameCase{"ReservedBitMeansPlus", hex("003D 81000007 2145"), "ML+ [7> MP 2145\n"},
        FrameCase{"LargestSequence", hex("003D 3FFFFFFF 01"), "ML+ <16777215>          01\n"},
        FrameCase{"FfWithoutControl", hex("FF21"), "P:FF 21\n"},
        FrameCase{"Ipv4HeaderTooShort", hex("0021 4400"), "IP 4400\n"},
        FrameCase{"NotIpv4", hex("0021 65"), "IP 65\n"},
        FrameCase{"IpxWithoutChecksum", hex("002B FEFF"), "IPX FEFF\n"},
        FrameCase{"UnknownData", hex("0222 0102030405"), "P:222 01020304 05\n"},
        FrameCase{"ProtocolOnly", hex("0021"), ""},
        FrameCase{"CompressedProtocolOnly", hex("21"), ""},
        FrameCase{"Empty", Frame{}, ""},
        FrameCase{"AddressControlOnly", hex("FF03"), ""},
        FrameCase{"FfAlone", hex("FF"), ""},
        // Frames that end inside a field show what is there.
        FrameCase{"ProtocolCutShort", hex("00"), "00\n"},
        FrameCase{"ProtocolCutBehindAddress", hex("FF03 80"), "80\n"},
        FrameCase{"MultilinkHeaderCut", hex("003D 8000"), "MP 8000\n"},
        FrameCase{"InnerProtocolCut", hex("003D 80000005 00"), "ML [5> 00\n"},
        FrameCase{"ControlProtocolOneByte", hex("80FF 01"), "P:80FFcp 01\n"}),
    CaseName());

TEST(PppChain, SeparatorEndsThePppLine) {
    const Frame echo = hex("FF03 C021 09020008 0A0B0C0D");
    EXPECT_EQ(decode(kPpp, echo, 8192, "\r\n"), "LCP 008#02:EchoReq 0A0B0C0D \r\n");
    EXPECT_EQ(decode(kPpp, echo, 8192, "<br>"), "LCP 008#02:EchoReq 0A0B0C0D <br>");
    EXPECT_EQ(decode(kPpp, echo, 8192, nullptr), "LCP 008#02:EchoReq 0A0B0C0D \n");
    EXPECT_EQ(decode(kPpp, hex("003D C0000005"), 8192, " | "), "ML [5]  | ");
}

// PPP payloads of PPPoE session frames from real captures.
TEST(PppChain, CapturedLcpPackets) {
    EXPECT_EQ(decode(kPpp, hex("c02102020012 010405dc 0304c023 050601fccbfb")),
              "LCP 012#02:ConfAck MRU(1500) PAP MAGIC(01FCCBFB) \n");
    EXPECT_EQ(decode(kPpp, hex("c021096a000c a4cbea34 0ee2f609")),
              "LCP 00C#6A:EchoReq A4CBEA34 0EE2F609 \n");
}

// ---- hand-over ------------------------------------------------------------

struct HandOverCase {
    const char *name;
    Frame frame;
    uint32_t next;
    uint32_t consumed;
    std::string text;
};

class PppHandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(PppHandOver, LeavesCursorAtPayload) {
    const HandOverCase &c = GetParam();
    PppRun r = run_ppp(c.frame, false);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.next, c.next);
    EXPECT_EQ(r.consumed, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Ppp, PppHandOver,
    ::testing::Values(
        HandOverCase{"Ipv4", hex("FF03 0021 4500"), caplib::PROTO_IP, 4, ""},
        HandOverCase{"Ipv4CompressedProtocol", hex("21 4500"), caplib::PROTO_IP, 1, ""},
        HandOverCase{"Ipv4LongHeader", hex("0021 4F"), caplib::PROTO_IP, 2, ""},
        HandOverCase{"VjCompressed", hex("002D 0102"), caplib::PROTO_VJC, 2, ""},
        HandOverCase{"VjUncompressed", hex("002F 4500"), caplib::PROTO_IP_VJU, 2, ""},
        HandOverCase{"Ipx", hex("002B FFFF"), caplib::PROTO_IPX, 2, ""},
        HandOverCase{"MultilinkIpv4", hex("003D 80000102 21 45"), caplib::PROTO_IP, 7,
                     "ML [258> "},
        HandOverCase{"NotIpv4", hex("0021 55"), caplib::PROTO_END, 3, "IP 55"},
        HandOverCase{"ControlPacket", hex("C021 09020008 0A0B0C0D"), caplib::PROTO_END, 10,
                     "LCP 008#02:EchoReq 0A0B0C0D "}),
    CaseName());

TEST(PppHandOver, ColumnModeHandsNothingOn) {
    PppRun r = run_ppp(hex("FF03 0021 4500"), true);
    EXPECT_EQ(r.text, "     IP 4500");
    EXPECT_EQ(r.next, caplib::PROTO_END);
    EXPECT_EQ(r.consumed, 6u);
}

// ---- column mode through CAPLIB_decode_ppp -------------------------------

class PppColumns : public ::testing::TestWithParam<FrameCase> {};

TEST_P(PppColumns, OneAlignedLine) { EXPECT_EQ(decode_ppp(GetParam().frame), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Ppp, PppColumns,
    ::testing::Values(
        FrameCase{"Ipv4", hex("0021 45000054 0000"), "     IP 45000054 0000"},
        FrameCase{"Ipv4Short", hex("0021 45000054"), "     IP 45000054 "},
        FrameCase{"Echo", hex("FF03 C021 09020008 0A0B0C0D"),
                  "     LCP 008#02:EchoReq 0A0B0C0D "},
        FrameCase{"Multilink", hex("003D 80000102 21 45"), "ML [258> IP 45"},
        FrameCase{"MultilinkFragment", hex("003D 40000103 AA"), "ML <259]          AA"},
        FrameCase{"VjCompressed", hex("002D 0102"), "     VJIPc 0102"},
        FrameCase{"VjUncompressed", hex("002F 45"), "     VJIPu 45"},
        FrameCase{"Ipx", hex("002B FFFF"), "     IPX FFFF"},
        FrameCase{"ProtocolOnly", hex("0021"), "     "},
        FrameCase{"Empty", Frame{}, "     "},
        FrameCase{"ProtocolCut", hex("00"), "     00"}),
    CaseName());

TEST(PppColumns, CallerBytesStayUnchanged) {
    const Frame f = hex("FF03 C021 0107000E 010405DC 05060A0B0C0D");
    Frame copy = f;
    char text[128];
    EXPECT_EQ(CAPLIB_decode_ppp(copy.data(), static_cast<uint32_t>(copy.size()), text, sizeof text), 0);
    EXPECT_EQ(copy, f);
    EXPECT_STREQ(text, "     LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C0D) ");
}

TEST(PppColumns, TextIsReplacedNotAppended) {
    char text[64] = "old text";
    Frame f = hex("0021 45");
    CAPLIB_decode_ppp(f.data(), static_cast<uint32_t>(f.size()), text, sizeof text);
    EXPECT_STREQ(text, "     IP 45");
}

// ---- room -----------------------------------------------------------------

// A payload dump stops once the frame's text reaches room - 7 and leaves
// the cursor at the first byte it did not print.
struct DumpCut {
    size_t room;
    std::string text;
    uint32_t consumed;
};

TEST(PppRoom, DumpStopsSevenBeforeRoom) {
    Frame f = cat({hex("0021"), hex("00010203 04050607 08090A0B 0C0D0E0F 10111213")});
    for (const DumpCut &c : {DumpCut{20, "     IP 000102...", 5}, DumpCut{24, "     IP 00010203 ...", 6},
                             DumpCut{25, "     IP 00010203 04...", 7},
                             DumpCut{200, "     IP 00010203 04050607 08090A0B 0C0D0E0F 10111213 ", 22}}) {
        PppRun r = run_ppp(f, true, c.room);
        EXPECT_EQ(r.text, c.text) << c.room;
        EXPECT_EQ(r.consumed, c.consumed) << c.room;
        EXPECT_EQ(decode_ppp(f, static_cast<uint32_t>(c.room)), c.text) << c.room;
    }
}

TEST(PppRoom, ChainDumpCutKeepsSeparator) {
    Frame f = cat({hex("0222"), Frame(100, 0xAB)});
    // 100 bytes of room: 93 characters, "..." and the separator.
    std::string t = decode(kPpp, f, 100, "\r\n");
    ASSERT_EQ(t.size(), 93u + 3 + 2);  // the last group reaches the bound exactly
    EXPECT_EQ(t.substr(0, 10), "P:222 ABAB");
    EXPECT_EQ(t.substr(t.size() - 7), "AB...\r\n");
}

TEST(PppRoom, TinyRoomsStayWithinRoom) {
    const Frame f = hex("FF03 C021 0107000E 010405DC 05060A0B0C0D");
    char text[8];
    std::memset(text, 'x', sizeof text);
    CAPLIB_decode_ppp(f.data(), static_cast<uint32_t>(f.size()), text, 0);
    EXPECT_EQ(std::string(text, sizeof text), "xxxxxxxx");  // room 0: nothing at all
    EXPECT_EQ(decode_ppp(f, 1), "");
    EXPECT_EQ(decode_ppp(f, 3), "..");
    EXPECT_EQ(decode_ppp(f, 7), "...");
    EXPECT_EQ(decode_ppp(f, 8), " ...");
    EXPECT_EQ(decode_ppp(f, 40), "     LCP 00E#07:ConfReq MRU(1500)...");
}

// Whatever the room, a shortened text is the full text cut where it ran out
// of room and marked "...".
TEST(PppRoom, EveryRoomGivesPrefixAndMark) {
    for (const SampleFrame &s : sample_frames()) {
        if (s.layer != kPpp) continue;
        const std::string full = decode_ppp(s.bytes);
        for (uint32_t room = 8; room < full.size() + 8; ++room) {
            std::string t = decode_ppp(s.bytes, room);
            if (t == full) continue;
            ASSERT_GE(t.size(), 3u) << s.name << " room " << room;
            EXPECT_EQ(t.substr(t.size() - 3), "...") << s.name << " room " << room;
            EXPECT_EQ(full.substr(0, t.size() - 3), t.substr(0, t.size() - 3))
                << s.name << " room " << room;
            EXPECT_LE(t.size(), room - 2) << s.name << " room " << room;
        }
    }
}

// ---- link quality reports -------------------------------------------------

TEST(PppLinkQuality, ReportFieldsInOrder) {
    Frame report = hex("C025 00000000 00000001 00000002 00000003 00000004 00000005 00000006"
                       "00000007 00000008 00000009 0000000A 0000000B");
    EXPECT_EQ(decode(kPpp, report), "LQRP LastOut:1/2/3 PeerIn:4/5(6/7)8 PeerOut:9/10/11 \n");
    // Bytes behind the report are not dumped.
    EXPECT_EQ(decode(kPpp, cat({report, hex("FFFF")})),
              "LQRP LastOut:1/2/3 PeerIn:4/5(6/7)8 PeerOut:9/10/11 \n");
    Frame big = cat({hex("C025"), Frame(48, 0xFF)});
    EXPECT_EQ(decode_ppp(big),
              "     LQRP LastOut:4294967295/4294967295/4294967295 "
              "PeerIn:4294967295/4294967295(4294967295/4294967295)4294967295 "
              "PeerOut:4294967295/4294967295/4294967295 ");
}

TEST(PppLinkQuality, ShortReportIsDumped) {
    EXPECT_EQ(decode(kPpp, hex("C025 00000000 00000001 00")), "LQRP 00000000 00000001 00\n");
    Frame almost = cat({hex("C025"), Frame(47, 0x11)});
    std::string t = decode(kPpp, almost);
    EXPECT_EQ(t.substr(0, 14), "LQRP 11111111 ");
    EXPECT_EQ(t.size(), 5u + 47 * 2 + 11 + 1);  // 11 group blanks, the separator
}

}  // namespace
