// NetBIOS and SMB behind Ethernet, IPv4, UDP and TCP, through CAPLIB_decode.
#include <gtest/gtest.h>

#include "netbios_support.h"

using namespace caplib_test;

namespace {

struct Case {
    const char *name;
    Frame frame;
    std::string text;
};

class Stack : public ::testing::TestWithParam<Case> {};

TEST_P(Stack, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(1, c.frame), c.text);
}

const std::string kUdp = "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\n"
                        "IP 192.168.0.5 --> 192.168.0.255 Protocol=UDP\n";
const std::string kTcp = "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\n"
                        "IP 192.168.0.5 --> 192.168.0.255 Protocol=TCP\n";

const Frame kQuery = cat({hex("1234 0110 0001 0000 0000 0000"), nb_encode("WORKGROUP", 0x1D), hex("0020 0001")});
const Frame kNegotiate = smb(0x72, 0x18, {}, cat({hex("02"), cstr("NT LM 0.12")}));

INSTANTIATE_TEST_SUITE_P(
    Netbios, Stack,
    ::testing::Values(
        Case{"NameQuery", udp_frame(137, 137, kQuery),
             kUdp + "Port 137->137\n"
                    "NMB ID=4660 OP=Query(0) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n"
                    "  qdcount=1 ancount=0 nscount=0 arcount=0\n"
                    "  question: name=WORKGROUP(1d/Main-Browser) type=NB class=IN\n"},
        Case{"QueryFromOtherPortIsNotDecoded", udp_frame(1025, 137, kQuery), kUdp + "Port 1025->137\n"},
        Case{"KeepAlive", tcp_frame(1025, 139, hex("85000000")),
             kTcp + "Port 1025->139 ACK,PSH seq=1000 ack=2000 win=8192\n"
                    "NetBIOS-KeepAlive\n"},
        Case{"BareAcknowledgement", tcp_frame(139, 1025, {}),
             kTcp + "Port 139->1025 ACK,PSH seq=1000 ack=2000 win=8192\n"},
        // TCP options stay in front of the session header.
        Case{"TcpOptionsReadAsSessionHeader", tcp_frame(139, 1025, cat({hex("0101080A 00000001 00000002"), hex("85000000")})),
             kTcp + "Port 139->1025 ACK,PSH seq=1000 ack=2000 win=8192\n"},
        Case{"Negotiate", tcp_frame(1025, 139, cat({hex("0000002F"), kNegotiate})),
             kTcp + "Port 1025->139 ACK,PSH seq=1000 ack=2000 win=8192\n"
                    "SMB-request \"negotiate protocol\"\n"
                    "   size=47 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n"
                    "   tid=0 pid=0 uid=0 mid=0 wct=0\n"
                    "   \"NT LM 0.12\"\n"},
        Case{"BrowserMailslot",
             udp_frame(138, 138, dgram(0x11, 0x02, cat({nb_encode("PC1", 0), nb_encode("WORKGROUP", 0x1D),
                                                         trans_request("\\MAILSLOT\\BROWSE", hex("0E01"))}))),
             kUdp + "Port 138->138\n"
                    "DGRAM msg_type=direct-group B-Node F=1 M=0 dgmid=32769\n"
                    "  src=192.168.0.5:138 len=156 off=0\n"
                    "  src=PC1(0/Workstation) dest=WORKGROUP(1d/Main-Browser) dsize=88\n"
                    "SMB-request \"trans\"\n"
                    "   size=19968 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
                    "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
                    " [00]=    0/0x0000 [01]=    0/0x0000 [02]=    0/0x0000 [03]=    0/0x0000 "
                    "[04]=    0/0x0000 [05]=    0/0x0000\n"
                    " [06]=    0/0x0000 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 "
                    "[10]=    0/0x0000\n"
                    " [11]=    2/0x0002 [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 "
                    "[15]=    1/0x0001\n"
                    " [16]=    2/0x0002\n"
                    "BROWSER reset state=0x1\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// A room of 100 lets the Ethernet line through and no more.
TEST(Stack, RoomOfHundredStopsAfterTheFirstLine) {
    EXPECT_EQ(decode(1, tcp_frame(1025, 139, hex("85000000")), 100),
              "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\n");
}

}  // namespace
