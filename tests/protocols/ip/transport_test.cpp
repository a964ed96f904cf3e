#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "ip_frames.h"
#include "protocols/direct_call.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kRawIp = 3;
const std::string kIpUdp = "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\n";
const std::string kIpTcp = "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\n";

struct FlagCase {
    const char *name;
    uint8_t flags;
    const char *text;  // what stands between the ports and "seq="
};

class TcpFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(TcpFlags, NamedInFixedOrder) {
    const FlagCase &c = GetParam();
    EXPECT_EQ(decode(kRawIp, cat({ip4(6), tcp(1025, 80, c.flags)})),
              kIpTcp + "Port 1025->80 " + c.text + " seq=1000 ack=2000 win=8192\n");
}

INSTANTIATE_TEST_SUITE_P(
    Classes, TcpFlags,
    ::testing::Values(FlagCase{"None", 0x00, ""}, FlagCase{"Fin", 0x01, "FIN"},
                      FlagCase{"Syn", 0x02, "SYN"}, FlagCase{"Rst", 0x04, "RST"},
                      FlagCase{"Psh", 0x08, "PSH"}, FlagCase{"Ack", 0x10, "ACK"},
                      FlagCase{"UrgNotNamed", 0x20, ""}, FlagCase{"SynAck", 0x12, "SYN,ACK"},
                      FlagCase{"AckPshFin", 0x19, "ACK,PSH,FIN"},
                      FlagCase{"RstAck", 0x14, "ACK,RST"}, FlagCase{"SynFin", 0x03, "SYN,FIN"},
                      FlagCase{"AllFive", 0x1F, "SYN,ACK,PSH,FIN,RST"},
                      FlagCase{"EveryBit", 0xFF, "SYN,ACK,PSH,FIN,RST"}),
    [](const auto &info) { return std::string(info.param.name); });

struct Case {
    const char *name;
    Frame payload;  // behind an IPv4 header of the right protocol
    uint8_t proto;
    std::string text;  // behind the IPv4 line
};

class Transport : public ::testing::TestWithParam<Case> {};

TEST_P(Transport, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(kRawIp, cat({ip4(c.proto), c.payload})),
              (c.proto == 17 ? kIpUdp : kIpTcp) + c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Transport,
    ::testing::Values(
        Case{"UdpToNameServiceFromOtherPort", udp(1025, 137), 17, "Port 1025->137\n"},
        Case{"UdpSevenBytes", first(udp(1, 2), 7), 17, "sliced UDP header\n"},
        Case{"UdpEightBytes", udp(65535, 0), 17, "Port 65535->0\n"},
        Case{"TcpUrgentGluedToWindow", tcp(1025, 80, 0x30, 1, 2, 8192, 1), 6,
             "Port 1025->80 ACK seq=1 ack=2 win=8192urg=1 \n"},
        Case{"TcpUrgentWithoutUrgBit", tcp(1025, 80, 0x10, 1, 2, 0, 65535), 6,
             "Port 1025->80 ACK seq=1 ack=2 win=0urg=65535 \n"},
        Case{"TcpUrgBitWithoutPointer", tcp(1025, 80, 0x20, 1, 2, 512, 0), 6,
             "Port 1025->80  seq=1 ack=2 win=512\n"},
        Case{"TcpNumbersUnsigned", tcp(1, 2, 0x10, 0x80000000u, 0xFFFFFFFFu, 65535), 6,
             "Port 1->2 ACK seq=2147483648 ack=4294967295 win=65535\n"},
        Case{"TcpSevenBytes", first(tcp(1, 2, 0), 7), 6, "sliced TCP header\n"},
        Case{"TcpEightBytes", first(tcp(1025, 80, 0, 4000000000u), 8), 6,
             "Port 1025->80 seq=4000000000\n"},
        Case{"TcpTwelveBytes", first(tcp(1025, 80, 0x12, 77), 12), 6, "Port 1025->80 seq=77\n"},
        Case{"TcpNineteenBytes", first(tcp(1025, 80, 0x12, 77), 19), 6, "Port 1025->80 seq=77\n"}),
    [](const auto &info) { return std::string(info.param.name); });

struct NextCase {
    bool is_tcp;
    uint16_t src, dst;
    uint32_t next;
};

// The NetBIOS services: both UDP ports must match, one TCP port is enough.
TEST(Transport, NetbiosPortsNameTheirDecoders) {
    using namespace caplib;
    const NextCase cases[] = {
        {false, 137, 137, PROTO_NBNS}, {false, 138, 138, PROTO_NBDS}, {false, 137, 138, PROTO_END},
        {false, 1025, 137, PROTO_END}, {false, 138, 1025, PROTO_END}, {true, 139, 1025, PROTO_NBSS},
        {true, 1025, 139, PROTO_NBSS}, {true, 139, 139, PROTO_NBSS},  {true, 137, 138, PROTO_END},
    };
    for (const NextCase &c : cases) {
        DirectResult r = c.is_tcp ? call_decoder(decode_tcp, tcp(c.src, c.dst, 0x18))
                                  : call_decoder(decode_udp, udp(c.src, c.dst));
        EXPECT_EQ(r.next, c.next) << c.src << "->" << c.dst;
        EXPECT_EQ(r.consumed, c.is_tcp ? 20u : 8u);
    }
}

// Options stay in front of the payload: the next decoder starts at byte 20.
TEST(Transport, TcpConsumesTwentyBytesWhateverTheDataOffset) {
    Frame options(12, 0x01);
    Frame h = tcp(1025, 139, 0x18);
    h[12] = 0x80;  // eight words
    DirectResult r = call_decoder(caplib::decode_tcp, cat({h, options, hex("00000010")}));
    EXPECT_EQ(r.next, caplib::PROTO_NBSS);
    EXPECT_EQ(r.consumed, 20u);
    EXPECT_EQ(r.remaining, 16u);
}

// A piece that does not fit ends the chain.
TEST(Transport, CutPiecesEndTheChain) {
    DirectResult r = call_decoder(caplib::decode_udp, udp(137, 137), 10);
    EXPECT_EQ(r.text, "Port 137-");
    EXPECT_EQ(r.next, caplib::PROTO_END);
    EXPECT_EQ(r.consumed, 0u);

    const std::string line = "Port 139->80 ACK seq=1 ack=2 win=3";
    r = call_decoder(caplib::decode_tcp, tcp(139, 80, 0x10, 1, 2, 3, 4), line.size() + 3);
    EXPECT_EQ(r.text, line + "ur");
    EXPECT_EQ(r.next, caplib::PROTO_END);
    r = call_decoder(caplib::decode_tcp, tcp(139, 80, 0x10, 1, 2, 3, 0), line.size() + 1);
    EXPECT_EQ(r.text, line);
    EXPECT_EQ(r.next, caplib::PROTO_END);
    r = call_decoder(caplib::decode_tcp, tcp(139, 80, 0x10, 1, 2, 3, 0), line.size() + 2);
    EXPECT_EQ(r.next, caplib::PROTO_NBSS);
}

[[maybe_unused]] const int kTransportSamples = add_samples({
    {"ip-udp-datagram-service", kRawIp, cat({ip4(17), udp(138, 138), Frame(12, 0x41)})},
    {"ip-tcp-urgent", kRawIp,
     cat({ip4(6), tcp(65535, 139, 0x3F, 0xFFFFFFFFu, 0xFFFFFFFFu, 65535, 65535)})},
});

}  // namespace
