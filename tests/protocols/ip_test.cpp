// IPv4, ICMP, UDP, TCP and Van Jacobson compressed headers.
#include <gtest/gtest.h>

#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kPpp = 0, kEth = 1, kIp = 3;


// IPv4 from 10.0.0.1 to 10.0.0.2, identification bytes 34 12 on the wire.
Frame ip4(uint8_t proto, uint16_t flags = 0, uint8_t ihl = 5) {
    return cat({{static_cast<uint8_t>(0x40 | ihl), 0, 0, 0, 0x34, 0x12}, be16(flags), {0x40, proto}, hex("0000 0A000001 0A000002")});
}
Frame udp(uint16_t src, uint16_t dst) { return cat({be16(src), be16(dst), hex("0008 0000")}); }
Frame tcp(uint16_t src, uint16_t dst, uint8_t flags, uint32_t seq = 1000, uint32_t ack = 2000, uint16_t win = 8192,
          uint16_t urgent = 0) {
    return cat({be16(src), be16(dst), be32(seq), be32(ack), {0x50, flags}, be16(win), be16(0), be16(urgent)});
}
// An ICMP header of type and code ("0303") with four bytes of zeros.
Frame icmp(const char *type_code) { return cat({hex(type_code), Frame(6, 0)}); }

const Frame kEthIp = hex("FFFFFFFFFFFF 00A0C5110233 0800");

const Rows kIpRows = samples({
    {"CE", kIp, cat({ip4(6, 0x8000), tcp(1025, 80, 0x10, 1, 2, 0, 65535)}), "IP 10.0.0.1 --> 10.0.0.2 CE Protocol=TCP\nPort 1025->80 ACK seq=1 ack=2 win=0urg=65535 \n"},
    {"protocol 255", kIp, ip4(255), "IP 10.0.0.1 --> 10.0.0.2 Protocol=255\n"},
    {"named, not decoded", kIp, cat({ip4(47), Frame(8, 0)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=GRE\n"},
    {"IP in IP, KA9Q", kIp, cat({ip4(94), ip4(1), hex("0000 0000 FFFF 8000 6162")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=IPIP-KA9Q\nIP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\necho reply id=65535 seq=32768\n"},
    {"options skipped", kIp, cat({ip4(4, 0, 6), hex("94040000"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=IPIP\nIP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"exactly 20 bytes", kIp, ip4(6), "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\nsliced TCP header\n"},
    {"header length past the frame", kIp, cat({ip4(6, 0, 15), tcp(1025, 80, 0x10)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\n"},
    {"Ethernet", kEth, cat({kEthIp, ip4(1), icmp("0800"), hex("61626364")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\nIP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\necho request id=0 seq=0\n"},
    {"VJ uncompressed, first fragment", kPpp, cat({hex("002F"), ip4(200, 0x2000), tcp(1025, 80, 0xFF)}), "IP 10.0.0.1 --> 10.0.0.2 id=4660 MF Protocol=TCP-VJU Slot=200\nPort 1025->80 SYN,ACK,PSH,FIN,RST seq=1000 ack=2000 win=8192\n"},
    {"VJ uncompressed, later fragment", kPpp, cat({hex("002F"), ip4(3, 185), tcp(1025, 80, 0x10)}), "IP 10.0.0.1 --> 10.0.0.2 id=4660  off=1480 Protocol=TCP-VJU Slot=3\n"},
    // The quoted datagram of an error follows on the next line.
    {"errors 0300 to 0305", kIp, cat({ip4(1), icmp("0300"), ip4(1), icmp("0301"), ip4(1), icmp("0302"), ip4(1), icmp("0303"), ip4(1), icmp("0304"), ip4(1), icmp("0305"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nnetwork unreachable\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nhost unreachable\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nprotocol unreachable\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nport unreachable\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nfragmention needed\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nsource route failed\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"errors 0306 to 030B", kIp, cat({ip4(1), icmp("0306"), ip4(1), icmp("0307"), ip4(1), icmp("0308"), ip4(1), icmp("0309"), ip4(1), icmp("030A"), ip4(1), icmp("030B"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ndestination network unknown\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ndestination host unknown\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nsource host isolated\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ndestination network prohibited\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ndestination host prohibited\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nnetwork unreachable for TOS\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"errors 030C to 0310", kIp, cat({ip4(1), icmp("030C"), ip4(1), icmp("030D"), ip4(1), icmp("030E"), ip4(1), icmp("030F"), ip4(1), icmp("0310"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nhost unreachable for TOS\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ncommunication prohibited by filter\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nhost precedence violation\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nprecedence cutoff\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nType=03 Code=10\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"errors 0400 to 0504", kIp, cat({ip4(1), icmp("0400"), ip4(1), icmp("0500"), ip4(1), icmp("0501"), ip4(1), icmp("0502"), ip4(1), icmp("0503"), ip4(1), icmp("0504"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nsource quench\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nredirect for network\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nredirect for host\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nredirect for service and network\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nredirect for service and host\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nType=05 Code=04\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"errors 0B00 to 0C02", kIp, cat({ip4(1), icmp("0B00"), ip4(1), icmp("0B01"), ip4(1), icmp("0C00"), ip4(1), icmp("0C01"), ip4(1), icmp("0C02"), ip4(17), udp(1025, 53)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ntime exceeded during transit\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ntime exceeded during reassemble\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nbad IP header\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\noption missing\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nType=0C Code=02\n  << IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"router advertisement", kIp, cat({ip4(1), icmp("0900")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nrouter advertisement\n"},
    {"router solicitation", kIp, cat({ip4(1), icmp("0A00")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nrouter solicitation\n"},
    {"info request", kIp, cat({ip4(1), icmp("0F00")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ninfo request\n"},
    {"address mask request", kIp, cat({ip4(1), icmp("1100")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\naddress mask request\n"},
    {"ICMP of 7 bytes", kIp, cat({ip4(1), hex("0800 0000 0200 00")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\nsliced ICMP header\n"},
    {"quoted TCP of 8 bytes", kIp, cat({ip4(1), icmp("0B00"), ip4(6, 0x4000), head(tcp(1025, 80, 0x02, 3000000000u), 8)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ntime exceeded during transit\n  << IP 10.0.0.1 --> 10.0.0.2 DF Protocol=TCP\nPort 1025->80 seq=3000000000\n"},
    {"quoted header missing", kIp, cat({ip4(1), icmp("0B01")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=ICMP\ntime exceeded during reassemble\n  << sliced IP header\n"},
    {"traceroute answer", kIp, hex("450000a8 13964000 ff014db1 0a050001 0c040404 0b00cd04 00000000 45000028 a54c0000 0111f76f 0c040404 0c010101 a54b829b 00140000"), "IP 10.5.0.1 --> 12.4.4.4 DF Protocol=ICMP\ntime exceeded during transit\n  << IP 12.4.4.4 --> 12.1.1.1 Protocol=UDP\nPort 42315->33435\n"},
    {"UDP of 7 bytes", kIp, cat({ip4(17), head(udp(1, 2), 7)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nsliced UDP header\n"},
    // Both UDP ports name the NetBIOS service, one TCP port does.
    {"ports 137 and 138", kIp, cat({ip4(17), udp(137, 138), Frame(12, 0)}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 137->138\n"},
    {"datagram service on one port", kIp, cat({ip4(17), udp(138, 1025), hex("14 02 8001 C0A80005 008A 0001 0000 00")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 138->1025\n"},
    {"session to port 139", kIp, cat({ip4(6), tcp(1025, 139, 0x18), hex("85000000")}), "IP 10.0.0.1 --> 10.0.0.2 Protocol=TCP\nPort 1025->139 ACK,PSH seq=1000 ack=2000 win=8192\nNetBIOS-KeepAlive\n"},
    // Compressed headers: the change mask, the slot, the checksum and the deltas.
    {"bad slot", kPpp, hex("002D 40 10 1234 DEADBEEF"), "IP TCP-comp Changes=C Slot=16(bad) "},
    {"unidirectional reads no delta", kPpp, hex("002D 1F 0001 DEADBEEF"), "IP TCP-comp Changes=UNI,PUSH chksum=0x0001  id+=1\n"},
    {"echo with id", kPpp, hex("002D 3B 0001 07 DEADBEEF"), "IP TCP-comp Changes=ECHO,ID,PUSH chksum=0x0001  id+=7\n"},
    {"every field", kPpp, hex("002D 77 0F ABCD 00FFFF 00FFFF 00FFFF 00FFFF DEADBEEF"), "IP TCP-comp Changes=C,U,W,A,ID,PUSH Slot=15 chksum=0xabcd  urg+=65535 win+=-1 ack+=65535 id+=65535\n"},
    {"longest header", kPpp, hex("002D 6E 02 0000 000001 000002 000003 000004"), "IP TCP-comp Changes=C,W,A,S,ID Slot=2 chksum=0x0000  win+=1 ack+=2 seq+=3 id+=4\n"},
    {"cut before the checksum", kPpp, hex("002D 0C"), "IP TCP-comp Changes=A,S \n"},
    {"cut before the slot", kPpp, hex("002D 4C"), "IP TCP-comp Changes=C,A,S \n"},
    {"cut in the checksum", kPpp, hex("002D 4C 01 1A"), "IP TCP-comp Changes=C,A,S Slot=1 \n"},
    {"cut before a delta", kPpp, hex("002D 4C 01 1A2B"), "IP TCP-comp Changes=C,A,S Slot=1 chksum=0x1a2b \n"},
    {"cut in the id delta", kPpp, hex("002D 6C 01 1A2B 28 05 00"), "IP TCP-comp Changes=C,A,S,ID Slot=1 chksum=0x1a2b  ack+=40 seq+=5\n"},
});

TEST(Ip, ExactTexts) { expect_rows(kIpRows); }

TEST(Ip, ProtocolNames) {
    for (auto [proto, name] : {std::pair{2, "IGMP"}, {8, "EGP"}, {12, "PUP"}, {22, "IDP"}, {29, "TP"}, {46, "RSVP"}, {50, "ESP"}, {51, "AH"}, {92, "MTP"}, {103, "PIM"}})
        EXPECT_EQ(decode(kIp, ip4(static_cast<uint8_t>(proto))), std::string("IP 10.0.0.1 --> 10.0.0.2 Protocol=") + name + "\n");
}

}  // namespace
