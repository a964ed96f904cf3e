// Decoders run by hand, for what the chain cannot show: a line the room
// cuts (the chain starts no decoder with less than 100 bytes left), and
// the protocol named next or the bytes taken where no text tells them.
#include <gtest/gtest.h>

#include <memory>

#include "decode/decoders.h"
#include "support.h"

using namespace caplib_test;
using namespace caplib;

namespace {

struct Step {
    const char *name;
    Decoder decoder;
    Frame frame;
    uint32_t room;
    std::string text;
    uint32_t next, consumed;
};

const Frame kIpUdp = hex("4500001C 34120000 40110000 0A000001 0A000002 0089 0089 0008 0000");
const Frame kTcp = hex("008B 0050 00000001 00000002 5010 0003 0000 0004");

const Step kSteps[] = {
    {"ARP cut", decode_arp, hex("0001 0800 06 04 0001 6CF049B2DE6E 0A000001 30469A23FBFA 0A00008A 00000000"), 20, "ARP Types 256,8 Siz", PROTO_END, 28},
    {"ICMP marker in whole", decode_icmp, hex("0303 0000 00000000"), 23, "port unreachable\n  << ", PROTO_IP, 8},
    {"ICMP marker cut", decode_icmp, hex("0303 0000 00000000"), 22, "port unreachable\n", PROTO_END, 8},
    {"ICMP line cut", decode_icmp, hex("0303 0000 00000000"), 17, "port unreachable", PROTO_END, 0},
    {"IPv4 addresses cut", decode_ip, kIpUdp, 10, "IP 10.0.0", PROTO_END, 0},
    {"IPv4 protocol cut", decode_ip, kIpUdp, 30, "IP 10.0.0.1 --> 10.0.0.2 Prot", PROTO_END, 0},
    {"IPv4 separator cut", decode_ip, kIpUdp, 38, "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP", PROTO_END, 0},
    {"UDP cut", decode_udp, hex("0089 0089 0008 0000"), 10, "Port 137-", PROTO_END, 0},
    {"TCP urgent cut", decode_tcp, kTcp, 37, "Port 139->80 ACK seq=1 ack=2 win=3ur", PROTO_END, 20},
    {"TCP separator cut", decode_tcp, cat({head(kTcp, 18), hex("0000")}), 35, "Port 139->80 ACK seq=1 ack=2 win=3", PROTO_END, 20},
    {"TCP in whole", decode_tcp, cat({head(kTcp, 18), hex("0000")}), 36, "Port 139->80 ACK seq=1 ack=2 win=3\n", PROTO_NBSS, 20},
    {"IPX cut", decode_ipx, hex("FFFF 0026 0011 00000001 FFFFFFFFFFFF 0451 00000001 0000C0112233 4003 0000000000000000"), 40, "IPX 00000001:0000C0112233:4003-->000000", PROTO_END, 0},
    {"other NetBIOS frame", decode_ipx, cat({hex("FFFF 0050 0004 00000000 FFFFFFFFFFFF 0455 00000001 0000C0112233 0455"), Frame(50, 0)}), 8192, "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:IPX Hop:0\n", PROTO_IPX_NBDATA, 30},
    {"VJ cut", decode_vjc, hex("0C 1A2B 28 0005B4"), 30, "IP TCP-comp Changes=A,S chksu", PROTO_END, 0},
    {"datagram lines cut", decode_nbds, cat({hex("12 02 8001 C0A80005 008A 0046 0000 20"), ascii(std::string(32, 'A')), hex("00 20"), ascii(std::string(32, 'A')), hex("00 FF")}), 120, "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n  src=192.168.0.5:138 len=70 off=0\n  src=(0/Workstation) dest=(0/Wo", PROTO_END, 0},
    {"PPP, not IPv4", decode_ppp_chain, hex("0021 55"), 8192, "IP 55\n", PROTO_END, 3},
    {"PPP control packet", decode_ppp_chain, hex("C021 09020008 0A0B0C0D"), 8192, "LCP 008#02:EchoReq 0A0B0C0D \n", PROTO_END, 10},
};

TEST(DecoderSteps, TextNextAndConsumed) {
    for (const Step &s : kSteps) {
        std::unique_ptr<uint8_t[]> data = exact_copy(s.frame.data(), s.frame.size());
        std::unique_ptr<char[]> text(new char[s.room]);
        Cursor cur(Bytes(data.get(), static_cast<uint32_t>(s.frame.size())));
        set_separator("\n");
        Text out(text.get(), s.room);
        const uint32_t next = s.decoder(cur, out);
        EXPECT_EQ(out.view(), s.text) << s.name;
        EXPECT_EQ(next, s.next) << s.name;
        EXPECT_EQ(cur.offset(), s.consumed) << s.name;
    }
}

}  // namespace
