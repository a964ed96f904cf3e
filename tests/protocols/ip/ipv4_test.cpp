#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "ip_frames.h"
#include "protocols/direct_call.h"

using namespace caplib_test;

namespace {

struct Case {
    const char *name;
    uint32_t layer;
    Frame frame;
    std::string text;
};

class IpChain : public ::testing::TestWithParam<Case> {};

TEST_P(IpChain, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(c.layer, c.frame), c.text);
}

constexpr uint32_t kEthernet = 1, kTokenring = 2, kRawIp = 3;
const std::string kTcpLine = "Port 1025->80 ACK seq=1000 ack=2000 win=8192\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, IpChain,
    ::testing::Values(
        Case{"FlagsClear", kRawIp, cat({ip4(17), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
        Case{"DontFragment", kRawIp, cat({ip4(6, 0x4000), tcp(1025, 80, 0x10)}),
             "IP 10.0.0.1 --> 10.0.0.2 DF Protocol=TCP\n" + kTcpLine},
        Case{"CongestionAlone", kRawIp, cat({ip4(6, 0x8000), tcp(1025, 80, 0x10)}),
             "IP 10.0.0.1 --> 10.0.0.2 CE Protocol=TCP\n" + kTcpLine},
        Case{"CongestionAndDontFragment", kRawIp, cat({ip4(6, 0xC000), tcp(1025, 80, 0x10)}),
             "IP 10.0.0.1 --> 10.0.0.2 CE DF Protocol=TCP\n" + kTcpLine},
        // The identification prints with its wire bytes swapped: 34 12 is 4660.
        Case{"FirstFragmentGoesOn", kRawIp, cat({ip4(6, 0x6000), tcp(1025, 80, 0x10)}),
             "IP 10.0.0.1 --> 10.0.0.2 id=4660 DF MF Protocol=TCP\n" + kTcpLine},
        // Two blanks: the empty CE, DF and MF texts keep their places.
        Case{"LaterFragmentStops", kRawIp, cat({ip4(17, 185), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 id=4660  off=1480 Protocol=UDP\n"},
        Case{"LaterFragmentAllFlags", kRawIp, cat({ip4(17, 0xE000 | 185), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 id=4660 CE DF MF off=1480 Protocol=UDP\n"},
        Case{"LaterFragmentOfShortHeaderLength", kRawIp, ip4(6, 1, 0),
             "IP 10.0.0.1 --> 10.0.0.2 id=4660  off=8 Protocol=TCP\n"},
        Case{"UnnamedProtocol", kRawIp, cat({ip4(89), Frame(8, 0)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=89\n"},
        Case{"ProtocolZeroRightAligned", kRawIp, ip4(0), "IP 10.0.0.1 --> 10.0.0.2 Protocol= 0\n"},
        Case{"Protocol255", kRawIp, ip4(255), "IP 10.0.0.1 --> 10.0.0.2 Protocol=255\n"},
        Case{"NamedNotDecoded", kRawIp, cat({ip4(47), Frame(8, 0)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=GRE\n"},
        Case{"IpInIp", kRawIp, cat({ip4(4), ip4(17), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=IPIP\n"
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
        Case{"IpInIpKa9q", kRawIp, cat({ip4(94), ip4(1), hex("0000 0000 0000 0000")}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=IPIP-KA9Q\n"
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\necho reply id=0 seq=0\n"},
        Case{"OptionsSkipped", kRawIp, cat({ip4(17, 0, 6), hex("94040000"), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
        Case{"ExactlyTwentyBytes", kRawIp, ip4(6),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\nsliced TCP header\n"},
        Case{"NineteenBytes", kRawIp, first(ip4(6), 19), "sliced IP header\n"},
        // A header length that leaves no place for the payload: the line
        // stands alone and the chain ends.
        Case{"HeaderLengthBeyondFrame", kRawIp, cat({ip4(6, 0, 15), tcp(1025, 80, 0x10)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\n"},
        Case{"HeaderLengthBelowFiveWords", kRawIp, cat({ip4(17, 0, 4), udp(1025, 53)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\n"},
        Case{"HeaderLengthZeroIpInIpOnce", kRawIp, cat({ip4(4, 0, 0), ip4(4, 0, 0)}),
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=IPIP\n"},
        Case{"EthernetTcp", kEthernet, cat({kEthernetIp, ip4(6, 0x4000), tcp(1025, 80, 0x10)}),
             kEthernetLine + "IP 10.0.0.1 --> 10.0.0.2 DF Protocol=TCP\n" + kTcpLine},
        Case{
            "EthernetSnapUdp", kEthernet,
            cat({hex("FFFFFFFFFFFF 00A0C5110233 0024 AAAA03 000000 0800"), ip4(17), udp(1025, 53)}),
            "Ethernet SNAP 00A0C511233 -> FFFFFFFFFFFF Len=0x0024\n"
            "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
        Case{"TokenringSnapTcp", kTokenring,
             cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 AAAA03 000000 0800"), ip4(6),
                  tcp(1025, 80, 0x10)}),
             "Tokenring SNAP 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\n"
             "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\n" +
                 kTcpLine}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Ipv4, IdentificationLowByteFirst) {
    Frame h = ip4(17, 0x2000);
    h[4] = 0x01;
    h[5] = 0x02;
    EXPECT_EQ(decode(kRawIp, cat({h, udp(1, 2)})),
              "IP 10.0.0.1 --> 10.0.0.2 id=513 MF Protocol=UDP\nPort 1->2\n");
}

// The Van Jacobson uncompressed form: the protocol byte is the slot and
// TCP always follows. PPP hands it on; here the decoder is called itself.
TEST(Ipv4, VjUncompressedNamesSlotAndTcp) {
    DirectResult r = call_decoder(caplib::decode_ip_vju, cat({ip4(3), tcp(1025, 80, 0x10)}));
    EXPECT_EQ(r.text, "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP-VJU Slot=3\n");
    EXPECT_EQ(r.next, caplib::PROTO_TCP);
    EXPECT_EQ(r.consumed, 20u);

    r = call_decoder(caplib::decode_ip_vju, ip4(200, 0x2000));
    EXPECT_EQ(r.text, "IP 10.0.0.1 --> 10.0.0.2 id=4660 MF Protocol=TCP-VJU Slot=200\n");
    EXPECT_EQ(r.next, caplib::PROTO_TCP);

    r = call_decoder(caplib::decode_ip_vju, ip4(3, 185));
    EXPECT_EQ(r.text, "IP 10.0.0.1 --> 10.0.0.2 id=4660  off=1480 Protocol=TCP-VJU Slot=3\n");
    EXPECT_EQ(r.next, caplib::PROTO_END);
}

TEST(Ipv4, CursorStaysWhereTheHeaderCannotEnd) {
    for (uint8_t ihl : {0, 1, 4, 6, 15}) {
        DirectResult r = call_decoder(caplib::decode_ip, ip4(4, 0, ihl));
        EXPECT_EQ(r.next, caplib::PROTO_END) << int{ihl};
        EXPECT_EQ(r.consumed, 0u) << int{ihl};
        EXPECT_EQ(r.remaining, 20u) << int{ihl};
    }
    DirectResult r = call_decoder(caplib::decode_ip, cat({ip4(4, 0, 6), Frame(4, 0)}));
    EXPECT_EQ(r.next, caplib::PROTO_IP);
    EXPECT_EQ(r.consumed, 24u);
}

// A line that does not fit ends the chain and leaves the cursor in place.
TEST(Ipv4, CutLineConsumesNothing) {
    for (size_t room : {10u, 30u, 38u}) {
        DirectResult r = call_decoder(caplib::decode_ip, cat({ip4(17), udp(1, 2)}), room);
        EXPECT_EQ(r.next, caplib::PROTO_END) << room;
        EXPECT_EQ(r.consumed, 0u) << room;
        EXPECT_EQ(r.text,
                  std::string("IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\n").substr(0, room - 1));
    }
}

// The chain stops when fewer than 100 bytes are left before a decoder.
TEST(Ipv4, RoomsAroundHundredInTheChain) {
    const Frame f = cat({kEthernetIp, ip4(6), tcp(1025, 80, 0x10)});
    const std::string ip = "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\n";
    const uint32_t eth = static_cast<uint32_t>(kEthernetLine.size());
    EXPECT_EQ(decode(kEthernet, f, eth + 99), kEthernetLine);
    EXPECT_EQ(decode(kEthernet, f, eth + 100), kEthernetLine + ip);
    const uint32_t both = eth + static_cast<uint32_t>(ip.size());
    EXPECT_EQ(decode(kEthernet, f, both + 99), kEthernetLine + ip);
    EXPECT_EQ(decode(kEthernet, f, both + 100), kEthernetLine + ip + kTcpLine);
}

[[maybe_unused]] const int kIpSamples = add_samples({
    {"ip-tcp-options", kRawIp,
     cat({ip4(6, 0x4000, 6), hex("01010101"), tcp(139, 1025, 0x1F, 1, 2, 3, 4)})},
    {"ip-first-fragment", kRawIp, cat({ip4(17, 0x2000), udp(138, 138), Frame(4, 0)})},
    {"ip-later-fragment", kRawIp, cat({ip4(17, 0x0010), Frame(8, 0)})},
    {"ip-in-ip", kRawIp, cat({ip4(94), ip4(4), ip4(6), tcp(1, 2, 0x12)})},
    {"ip-bad-header-length", kRawIp, cat({ip4(4, 0, 0), ip4(4, 0, 15)})},
    {"ethernet-ip-udp", kEthernet, cat({kEthernetIp, ip4(17), udp(137, 137), Frame(20, 0)})},
    {"tokenring-ip-tcp", kTokenring,
     cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 AAAA03 000000 0800"), ip4(6), tcp(1025, 80, 0x10)})},
});

}  // namespace
