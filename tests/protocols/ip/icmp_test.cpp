#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "ip_frames.h"
#include "protocols/direct_call.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kEthernet = 1, kRawIp = 3;
const std::string kIpIcmp = "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\n";

struct Case {
    const char *name;
    Frame icmp;        // behind an IPv4 header of protocol 1
    std::string text;  // behind the IPv4 line
};

class Icmp : public ::testing::TestWithParam<Case> {};

TEST_P(Icmp, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(kRawIp, cat({ip4(1), c.icmp})), kIpIcmp + c.text);
}

// The quoted datagram: 10.0.0.2 sent UDP (or TCP) to 10.0.0.1.
const Frame kQuotedUdp =
    cat({hex("4500 001C 0000 0000 4011 0000 0A000002 0A000001"), udp(1025, 53)});
const std::string kQuotedUdpText = "  << IP 10.0.0.2 --> 10.0.0.1 Protocol=UDP\nPort 1025->53\n";

INSTANTIATE_TEST_SUITE_P(
    Messages, Icmp,
    ::testing::Values(
        Case{"EchoRequest", hex("0800 0000 0200 0001"), "echo request id=512 seq=1\n"},
        Case{"EchoReplyHighValues", hex("0000 0000 FFFF 8000 6162"),
             "echo reply id=65535 seq=32768\n"},
        Case{"EchoRequestOtherCodeIsGeneric", hex("0801 0000 0200 0001"), "Type=08 Code=01\n"},
        Case{"PortUnreachable", cat({hex("0303 0000 00000000"), kQuotedUdp}),
             "port unreachable\n" + kQuotedUdpText},
        Case{"FragmentionNeeded", cat({hex("0304 0000 000005DC"), kQuotedUdp}),
             "fragmention needed\n" + kQuotedUdpText},
        // The type alone decides that a datagram is quoted.
        Case{"UnnamedUnreachableCode", cat({hex("0310 0000 00000000"), kQuotedUdp}),
             "Type=03 Code=10\n" + kQuotedUdpText},
        Case{"UnnamedRedirectCode", cat({hex("0504 0000 0A0000FE"), kQuotedUdp}),
             "Type=05 Code=04\n" + kQuotedUdpText},
        Case{"SourceQuench", cat({hex("0400 0000 00000000"), kQuotedUdp}),
             "source quench\n" + kQuotedUdpText},
        Case{"OptionMissing", cat({hex("0C01 0000 00000000"), kQuotedUdp}),
             "option missing\n" + kQuotedUdpText},
        Case{"QuotedTcpFirstEightBytes",
             cat({hex("0B00 0000 00000000 4500 0028 0000 4000 0106 0000 0A000002 0A000001"),
                  first(tcp(1025, 80, 0x02, 3000000000u), 8)}),
             "time exceeded during transit\n  << IP 10.0.0.2 --> 10.0.0.1 DF Protocol=TCP\n"
             "Port 1025->80 seq=3000000000\n"},
        Case{"QuotedHeaderMissing", hex("0B01 0000 00000000"),
             "time exceeded during reassemble\n  << sliced IP header\n"},
        Case{"QuotedHeaderCutShort", cat({hex("0C00 0000 00000000"), first(kQuotedUdp, 12)}),
             "bad IP header\n  << sliced IP header\n"},
        Case{"TimeRequestNotQuoting", cat({hex("0D00 0000 00000000"), kQuotedUdp}),
             "time request\n"},
        Case{"AddressMaskReply", hex("1200 0000 00000000 FFFFFF00"), "address mask reply\n"},
        Case{"UnknownType", hex("FFFF 0000 00000000"), "Type=FF Code=FF\n"},
        Case{"SevenBytes", hex("0800 0000 0200 00"), "sliced ICMP header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// A traceroute answer as a router sent it, from the first 56 bytes of the
// IPv4 datagram.
TEST(Icmp, RouterTimeExceededQuotesProbe) {
    Frame ip =
        hex("45 00 00 a8 13 96 40 00 ff 01 4d b1 0a 05 00 01 0c 04 04 04 0b 00 cd 04 00 00 00 00"
            "45 00 00 28 a5 4c 00 00 01 11 f7 6f 0c 04 04 04 0c 01 01 01 a5 4b 82 9b 00 14 00 00");
    EXPECT_EQ(decode(kRawIp, ip),
              "IP 10.5.0.1 --> 12.4.4.4 DF Protocol=ICMP\ntime exceeded during transit\n"
              "  << IP 12.4.4.4 --> 12.1.1.1 Protocol=UDP\nPort 42315->33435\n");
}

TEST(Icmp, EthernetChainWithQuotedUdp) {
    EXPECT_EQ(decode(kEthernet, cat({kEthernetIp, ip4(1), hex("0301 0000 00000000"), kQuotedUdp})),
              kEthernetLine + kIpIcmp + "host unreachable\n" + kQuotedUdpText);
}

TEST(Icmp, MarkerOpensTheNextLineWithEverySeparator) {
    EXPECT_EQ(decode(kRawIp, cat({ip4(1), hex("0303 0000 00000000"), kQuotedUdp}), 8192, "\r\n"),
              "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\r\nport unreachable\r\n"
              "  << IP 10.0.0.2 --> 10.0.0.1 Protocol=UDP\r\nPort 1025->53\r\n");
}

// The marker goes in whole or not at all; without it the chain ends.
TEST(Icmp, MarkerThatDoesNotFitEndsTheChain) {
    const Frame f = hex("0303 0000 00000000");
    DirectResult r = call_decoder(caplib::decode_icmp, f, sizeof "port unreachable\n  << ");
    EXPECT_EQ(r.text, "port unreachable\n  << ");
    EXPECT_EQ(r.next, caplib::PROTO_IP);
    r = call_decoder(caplib::decode_icmp, f, sizeof "port unreachable\n  << " - 1);
    EXPECT_EQ(r.text, "port unreachable\n");
    EXPECT_EQ(r.next, caplib::PROTO_END);
    r = call_decoder(caplib::decode_icmp, f, sizeof "port unreachable");
    EXPECT_EQ(r.text, "port unreachable");
    EXPECT_EQ(r.next, caplib::PROTO_END);
    EXPECT_EQ(r.consumed, 0u);
}

// With fewer than 100 bytes left behind the marker, the quoted header is
// not decoded and the marker ends the text.
TEST(Icmp, RoomRunsOutBehindTheMarker) {
    const Frame f = cat({ip4(1), hex("0303 0000 00000000"), kQuotedUdp});
    const std::string lines = kIpIcmp + "port unreachable\n  << ";
    EXPECT_EQ(decode(kRawIp, f, static_cast<uint32_t>(lines.size()) + 99), lines);
    EXPECT_EQ(decode(kRawIp, f, static_cast<uint32_t>(lines.size()) + 100),
              lines + "IP 10.0.0.2 --> 10.0.0.1 Protocol=UDP\n");
}

[[maybe_unused]] const int kIcmpSamples = add_samples({
    {"ip-icmp-quoting-udp", kRawIp, cat({ip4(1), hex("0303 0000 00000000"), kQuotedUdp})},
    {"ip-icmp-quoting-ip-in-ip", kRawIp,
     cat({ip4(1), hex("0B00 0000 00000000"), ip4(4), ip4(1), hex("0500 0000 00000000"), ip4(6),
          tcp(139, 139, 0x11)})},
    {"ethernet-ip-icmp-echo", kEthernet,
     cat({kEthernetIp, ip4(1), hex("0800 0000 0200 0001 61626364")})},
});

}  // namespace
