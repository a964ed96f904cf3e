// Ethernet, Token Ring, ARP and PPPoE.
#include <gtest/gtest.h>

#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kEth = 1, kTr = 2, kArp = 5;
const Frame kArpAddresses = hex("6CF049B2DE6E 0A000001 30469A23FBFA 0A00008A");
const Frame kZeroAddresses = hex("0000000A0A00 C0A80001 000000000000 00000000");
const Frame kDisc = hex("FFFFFFFFFFFF 00A0C5110233 8863"), kSess = hex("FFFFFFFFFFFF 00A0C5110233 8864");

const Rows kLink = samples({
    {"SNAP ending at its type", kEth, hex("FFFFFFFFFFFF 00A0C5110233 0008 AAAA03 000000 0806"), "Ethernet SNAP 00A0C511233 -> FFFFFFFFFFFF Len=0x0008\nsliced ARP header\n"},
    {"SNAP cut in its type", kEth, hex("FFFFFFFFFFFF 00A0C5110233 0030 AAAA03 000000 08"), "Ethernet SNAP 00A0C511233 -> FFFFFFFFFFFF Len=0x0030\n"},
    {"802.2 at the largest length", kEth, hex("FFFFFFFFFFFF 00A0C5110233 05DC 424203"), "Ethernet802.2 00A0C511233 -> FFFFFFFFFFFF Len=0x05dc\n"},
    {"raw 802.3 of two bytes", kEth, hex("FFFFFFFFFFFF 00A0C5110233 0010 AAAA"), "Ethernet Raw 802.3 00A0C511233 -> FFFFFFFFFFFF Len=0x0010\nsliced IPX header\n"},
    {"short Token Ring", kTr, Frame(34, 0), "sliced Tokenring header\n"},
    {"Token Ring, unknown LLC", kTr, cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 424203"), Frame(18, 0)}), "Unknown Tokenring Frame-Type\n"},
    {"Token Ring SNAP, PPPoE not taken", kTr, cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 AAAA03 000000 8863"), Frame(13, 0)}), "Tokenring SNAP 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\n"},
    {"Token Ring routing past the frame", kTr, cat({hex("1040 FFFFFFFFFFFF 80A0C5110233 1F"), Frame(20, 0)}), "sliced Tokenring header\n"},
    {"Token Ring SNAP cut by routing", kTr, cat({hex("1040 FFFFFFFFFFFF 80A0C5110233 0E"), Frame(13, 0), hex("AAAA03 00000008")}), "sliced Tokenring header\n"},
    {"ARP request", kEth, cat({hex("30469A23FBFA 6CF049B2DE6E 0806 0001 0800 06 04 0001"), kArpAddresses, Frame(18, 0)}), "Ethernet II 6CF049B2DE6E -> 30469A23FBFA Type=0x0806\nARP Types 256,8 Sizes 6,4 Operation ARP-Request\n S-HW: 6CF049B2DE6E S-IP: 10.0.0.1\n D-HW: 30469A23FBFA D-IP: 10.0.0.138\n"},
    {"ARP reply", kTr, cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 AAAA03 000000 0835 0001 0800 06 04 0002"), kArpAddresses}), "Tokenring SNAP 00A0C511233 -> FFFFFFFFFFFF Type=0x0835\r\nARP Types 256,8 Sizes 6,4 Operation ARP-Reply\r\n S-HW: 6CF049B2DE6E S-IP: 10.0.0.1\r\n D-HW: 30469A23FBFA D-IP: 10.0.0.138\r\n", 8192, "\r\n"},
    {"RARP reply, sizes shown", kArp, cat({hex("0600 0008 08 04 0004"), kArpAddresses}), "ARP Types 6,2048 Sizes 8,4 Operation RARP-Reply\n S-HW: 6CF049B2DE6E S-IP: 10.0.0.1\n D-HW: 30469A23FBFA D-IP: 10.0.0.138\n"},
    {"operation of four digits", kArp, cat({hex("0001 0800 06 04 0010"), kZeroAddresses}), "ARP Types 256,8 Sizes 6,4 Operation #1000\n S-HW: 0000000A0A00 S-IP: 192.168.0.1\n D-HW: 000000000000 D-IP: 0.0.0.0\n"},
    {"operation of three digits", kArp, cat({hex("0001 0800 06 04 FF0F"), kZeroAddresses}), "ARP Types 256,8 Sizes 6,4 Operation #FFF\n S-HW: 0000000A0A00 S-IP: 192.168.0.1\n D-HW: 000000000000 D-IP: 0.0.0.0\n"},
    {"operation of two digits", kArp, cat({hex("0001 0800 06 04 FF00"), kZeroAddresses}), "ARP Types 256,8 Sizes 6,4 Operation #FF\n S-HW: 0000000A0A00 S-IP: 192.168.0.1\n D-HW: 000000000000 D-IP: 0.0.0.0\n"},
    {"operation of one digit", kArp, cat({hex("0001 0800 06 04 0F00"), kZeroAddresses}), "ARP Types 256,8 Sizes 6,4 Operation #F\n S-HW: 0000000A0A00 S-IP: 192.168.0.1\n D-HW: 000000000000 D-IP: 0.0.0.0\n"},
    {"PADO tags", kEth, cat({kDisc, hex("1107 0000 00A0 0101 0000 0103 0004 01020304 0102 0002 6162 0101 0005 616263 00 78 0104 0002 0102 0105 0001 00 0110 0000 0111 0004 68747470 0111 0003 00 4142 0112 0000 0112 0002 6869 0201 0001 78 0201 0000 0202 0002 0041 0202 0002 4100 0121 0002 0A00 0121 0004 0A000000 0121 000C 0A000000 FF000000 C0A80101 0121 0010 0A000000 FF000000 C0A80101 00010001 0203 0000 0120 0002 05DC FFFF 0000 0000 0000 0101 0000")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 1/1 session_id=0 length=160 Active Discovery Offer (PADO)\n Service-Name(0) Host-Uniq(4) AC-Name=ab(2) Service-Name=abc  (5) AC-Cookie(2) Vendor-Specific(1) Relay-Session-Id(0) HURL=http(4) HURL ??\?(3) MOTM ??\?(0) MOTM=hi(2) Service-Name-Error=x(1) Service-Name-Error(0) AC-System-Error(2) AC-System-Error=A (2) IP_ROUTE_ADD  ??\?(2) IP_ROUTE_ADD  10.0.0.0(4) IP_ROUTE_ADD  10.0.0.0 255.0.0.0 via 192.168.1.1(12) IP_ROUTE_ADD  10.0.0.0 255.0.0.0 via 192.168.1.1 65537(16) TAG0x0203(0) TAG0x0120(2) TAG0xffff(0)\n"},
    {"PADS", kEth, hex("cc050e880000ca010e88000688631165001100280101000001030004641385180102000442524153010400103d0f0587062484f2df32b9ddfd77bd5b"), "Ethernet II CA010E88006 -> CC050E88000 Type=0x8863\nPPPoE 1/1 session_id=17 length=40 Active Discovery Session-confirmation (PADS)\n Service-Name(0) Host-Uniq(4) AC-Name=BRAS(4) AC-Cookie(16)\n"},
    {"PADT of version 2", kEth, cat({kDisc, hex("21 A7 FFFF 0000")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 2/1 session_id=65535 length=0 Active Discovery Terminate (PADT)\n\n"},
    {"unknown code", kEth, cat({kDisc, hex("11 FF 0000 0000")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 1/1 session_id=0 length=0 code=0xff\n\n"},
    {"route cut by the frame", kEth, cat({kDisc, hex("1107 0000 0014 0121 0010 0A000000 FF00")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 1/1 session_id=0 length=20 Active Discovery Offer (PADO)\n IP_ROUTE_ADD  10.0.0.0(16)\n"},
    {"HURL cut by the frame", kEth, cat({kDisc, hex("1107 0000 0014 0111 0010")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 1/1 session_id=0 length=20 Active Discovery Offer (PADO)\n HURL ??\?(16)\n"},
    {"short discovery", kEth, cat({kDisc, hex("1109 0000 00")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nsliced PPPoE Discovery header\n"},
    {"short session", kEth, cat({kSess, hex("1100 0011")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8864\nsliced PPPoE Discovery header\n"},
    {"session longer than the frame", kEth, cat({kSess, hex("1100 0011 00C8 0222 01020304 05060708 FFFF")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8864\nPPPoE 1/1 session_id=17 length=200 PPP Frame\nP:222 01020304 05060708 FFFF\n"},
    {"session of a discovery code", kEth, cat({kSess, hex("1109 0001 0003 0222 0102")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8864\nPPPoE 1/1 session_id=1 length=3 Active Discovery Initiation (PADI)\nP:222 01\n"},
    {"tags cut by the room", kEth, cat({kDisc, hex("1107 0000 0050 0102 0004 41424344 0102 0004 41424344 0102 0004 414243440102 0004 41424344 0102 0004 41424344 0102 0004 41424344")}), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\nPPPoE 1/1 session_id=0 length=80 Active Discovery Offer (PADO)\n AC-Name=ABCD(4) AC-Name=ABCD(4) AC-Name=ABCD(4) AC-Name=ABCD(4) AC-Name=ABCD(4) AC-", 200},
});

TEST(Link, ExactTexts) { expect_rows(kLink); }

}  // namespace
