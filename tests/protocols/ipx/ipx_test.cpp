#include <gtest/gtest.h>

#include "caplib.h"
#include "decode/decoders.h"
#include "ipx_frames.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kLayerIpx = 4;

struct Case {
    const char *name;
    Frame frame;
    std::string text;
};

std::string case_name(const ::testing::TestParamInfo<Case> &info) { return info.param.name; }

class IpxLine : public ::testing::TestWithParam<Case> {};

TEST_P(IpxLine, DecodesToExactText) { EXPECT_EQ(decode(kLayerIpx, GetParam().frame), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxLine,
    ::testing::Values(
        Case{"SapBroadcast", ipx(4, "00000001 FFFFFFFFFFFF 0452", "00000001 0000C0112233 0452"),
             "IPX 00000001:0000C0112233:SAP-->00000001:FFFFFFFFFFFF:SAP Type:IPX Hop:0\n"},
        Case{"TypeWithoutNameTakesTwoPlaces", ipx(0, "0000ABCD 0000C0112233 0453", "0000ABCD 0A0B0C0D0E0F 0453"),
             "IPX 0000ABCD:0A0B0C0D0E0F:RIP-->0000ABCD:0000C0112233:RIP Type: 0 Hop:0\n"},
        Case{"WideTypeNumber", ipx(200, "00000001 FFFFFFFFFFFF 0452", "00000001 0000C0112233 0452"),
             "IPX 00000001:0000C0112233:SAP-->00000001:FFFFFFFFFFFF:SAP Type:200 Hop:0\n"},
        Case{"SocketsWithoutNameInHex", ipx(1, "FEDCBA98 FFFFFFFFFFFF 4008", "00000001 0000C0112233 000A"),
             "IPX 00000001:0000C0112233:000A-->FEDCBA98:FFFFFFFFFFFF:4008 Type:RIP Hop:0\n"},
        Case{"HopCountInDecimal", ipx(4, "00000001 FFFFFFFFFFFF 0457", "00000002 0000C0112233 0456", {}, 0x13),
             "IPX 00000002:0000C0112233:DIAG-->00000001:FFFFFFFFFFFF:SER Type:IPX Hop:19\n"},
        Case{"HopCountIsTheWholeByte", ipx(4, "00000001 FFFFFFFFFFFF 9001", "00000002 0000C0112233 900F", {}, 0xFF),
             "IPX 00000002:0000C0112233:SNMP-->00000001:FFFFFFFFFFFF:NLSP Type:IPX Hop:255\n"},
        Case{"TrapSocketAndExactlyThirtyBytes", ipx(4, "00000001 FFFFFFFFFFFF 9010", "00000001 0000C0112233 0451"),
             "IPX 00000001:0000C0112233:NCP-->00000001:FFFFFFFFFFFF:TRAP Type:IPX Hop:0\n"},
        Case{"OneByteShortOfTheHeader", Frame(29, 0), "sliced IPX header\n"},
        Case{"Empty", {}, "sliced IPX header\n"}),
    case_name);

// The payload decoder is chosen by packet type and sockets, first rule first.
struct NextCase {
    const char *name;
    uint8_t type;
    const char *dst_socket, *src_socket;
    uint32_t next;
};

class IpxNext : public ::testing::TestWithParam<NextCase> {};

TEST_P(IpxNext, ChoosesPayloadDecoderAndConsumesHeader) {
    const NextCase &c = GetParam();
    Frame f = ipx(c.type, std::string("00000001 FFFFFFFFFFFF ") + c.dst_socket,
                  std::string("00000001 0000C0112233 ") + c.src_socket, Frame(60, 0));
    char buf[256];
    caplib::Text out(buf, sizeof buf);
    caplib::Cursor cur(caplib::Bytes(f.data(), static_cast<uint32_t>(f.size())));
    EXPECT_EQ(caplib::decode_ipx(cur, out), c.next);
    EXPECT_EQ(cur.offset(), 30u);
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxNext,
    ::testing::Values(NextCase{"IpxwanBetweenIpxwanSockets", 4, "9004", "9004", caplib::PROTO_IPXWAN},
                      NextCase{"IpxwanSocketOnOneEndOnly", 4, "9004", "0455", caplib::PROTO_END},
                      NextCase{"SpxOnAnySockets", 5, "9004", "9004", caplib::PROTO_SPX},
                      NextCase{"NcpOnAnySockets", 17, "1234", "0452", caplib::PROTO_NCP},
                      NextCase{"NcpBeforeNetbiosSockets", 17, "0455", "0455", caplib::PROTO_NCP},
                      NextCase{"NetbiosNameFrames", 20, "0455", "0455", caplib::PROTO_IPX_NBNAME},
                      NextCase{"NetbiosOtherFrames", 4, "0455", "0455", caplib::PROTO_IPX_NBDATA},
                      NextCase{"NetbiosTypeOneSocketOnly", 20, "0452", "0455", caplib::PROTO_END},
                      NextCase{"NetbiosSocketsOtherType", 1, "0455", "0455", caplib::PROTO_END},
                      NextCase{"PlainSap", 4, "0452", "0452", caplib::PROTO_END}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Ipx, LineThatDoesNotFitConsumesNothing) {
    Frame f = ipx(17, "00000001 FFFFFFFFFFFF 0451", "00000001 0000C0112233 4003", Frame(8, 0));
    char buf[40];
    caplib::Text out(buf, sizeof buf);
    caplib::Cursor cur(caplib::Bytes(f.data(), static_cast<uint32_t>(f.size())));
    EXPECT_EQ(caplib::decode_ipx(cur, out), caplib::PROTO_END);
    EXPECT_EQ(cur.offset(), 0u);
    EXPECT_EQ(out.view(), "IPX 00000001:0000C0112233:4003-->000000");
}

// The same IPX/NCP packet behind every link framing that carries IPX.
const Frame kNcp = ipx(17, "00000010 0000C0112233 0451", "00000010 00A0C5110233 4003",
                       hex("2222 05 01 02 00 00 00"));
const std::string kIpxNcpText =
    "IPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\n"
    "NCP Request=\"Request\" Sequence=5 Task=2 Connections=1,0 Completion=0 Status=0\n";
const Frame kMacs = hex("0000C0112233 00A0C5110233");

struct LinkCase {
    const char *name;
    uint32_t layer;
    Frame frame;
    std::string link_line;
};

class IpxBehindLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(IpxBehindLink, LinkLineThenIpxThenNcp) {
    EXPECT_EQ(decode(GetParam().layer, GetParam().frame), GetParam().link_line + kIpxNcpText);
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxBehindLink,
    ::testing::Values(
        LinkCase{"RawIpx", kLayerIpx, kNcp, ""},
        LinkCase{"EthernetRaw8023", 1, cat({kMacs, hex("0026"), kNcp}),
                 "Ethernet Raw 802.3 00A0C511233 -> 0000C0112233 Len=0x0026\n"},
        LinkCase{"Ethernet8022", 1, cat({kMacs, hex("0029 E0E003"), kNcp}),
                 "Ethernet802.2 00A0C511233 -> 0000C0112233 Len=0x0029\n"},
        LinkCase{"EthernetSnap", 1, cat({kMacs, hex("002E AAAA03 000000 8137"), kNcp}),
                 "Ethernet SNAP 00A0C511233 -> 0000C0112233 Len=0x002e\n"},
        LinkCase{"EthernetII", 1, cat({kMacs, hex("8137"), kNcp}),
                 "Ethernet II 00A0C511233 -> 0000C0112233 Type=0x8137\n"},
        LinkCase{"Tokenring8022", 2, cat({hex("1040"), kMacs, hex("E0E003"), kNcp}),
                 "Tokenring 802.2 00A0C511233 -> 0000C0112233\n"},
        LinkCase{"TokenringSnap", 2, cat({hex("1040"), kMacs, hex("AAAA03 000000 8137"), kNcp}),
                 "Tokenring SNAP 00A0C511233 -> 0000C0112233 Type=0x8137\n"},
        LinkCase{"Tokenring8022WithRouting", 2,
                 cat({hex("1040 0000C0112233 80A0C5110233 0600 0000 0000 E0E003"), kNcp}),
                 "Tokenring 802.2 80A0C511233 -> 0000C0112233\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Ipx, SeparatorEndsTheLine) {
    EXPECT_EQ(decode(kLayerIpx, ipx(4, "00000001 FFFFFFFFFFFF 0452", "00000001 0000C0112233 0452"), 8192,
                     "\r\n"),
              "IPX 00000001:0000C0112233:SAP-->00000001:FFFFFFFFFFFF:SAP Type:IPX Hop:0\r\n");
}

}  // namespace

namespace {

[[maybe_unused]] const int kIpxSamples = add_samples({
    {"ipx-ncp", 4, ipx(17, "00000010 0000C0112233 0451", "00000010 00A0C5110233 4003", hex("2222 05 01 02 00 00 00"))},
    {"ipx-raw8023-ncp", 1, cat({hex("0000C0112233 00A0C5110233 0026"),
                                ipx(17, "00000010 0000C0112233 0451", "00000010 00A0C5110233 4003",
                                    hex("3333 FF 34 07 12 89 10"))})},
    {"ipx-ethernet2-spx", 1, cat({hex("0000C0112233 00A0C5110233 8137"),
                                  ipx(5, "00000002 00A0C5110233 8060", "00000001 0000C0112233 4003",
                                      hex("C0 00 1234 ABCD 0001 0002 0003"), 1)})},
    {"ipx-tokenring-ipxwan", 2,
     cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 E0E003"),
          ipx(4, "00000000 FFFFFFFFFFFF 9004", "00000000 000000000001 9004",
              hex("5741534D 02 0000ABCD 01 04"
                  "00 01 0001 00"
                  "01 01 0010 0037 00C0FFEE 524F55544552 0000 0000"
                  "05 02 0001 00"
                  "80 01 0003 010203"))})},
    {"ipx-snap-nbname", 1,
     cat({hex("FFFFFFFFFFFF 00A0C5110233 0058 AAAA03 000000 8137"),
          ipx(20, "00000000 FFFFFFFFFFFF 0455", "00000001 0000C0112233 0455",
              cat({Frame(32, 0), hex("C7 02"), ascii("WORKSTATION1   "), hex("20")}))})},
});

}  // namespace
