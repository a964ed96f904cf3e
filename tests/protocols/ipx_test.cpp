// IPX with SPX, NCP, IPXWAN and NetBIOS behind it.
#include <gtest/gtest.h>

#include <string_view>

#include "support.h"

using namespace caplib_test;
using namespace std::literals;

namespace {

constexpr uint32_t kEth = 1, kTr = 2, kIpx = 4;

// An IPX packet; dst and src are "network node socket" in hex.
Frame ipx(uint8_t type, std::string_view dst, std::string_view src, const Frame &payload = {}, uint8_t hops = 0) {
    size_t len = 30 + payload.size();
    return cat({hex("FFFF"), {static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len), hops, type}, hex(dst), hex(src),
                payload});
}
Frame ncp(const char *payload) {
    return ipx(17, "00000010 0000C0112233 0451", "00000010 00A0C5110233 4003", hex(payload));
}
Frame ipxwan(const char *payload, const Frame &more = {}, const Frame &last = {}) {
    return ipx(4, "00000000 FFFFFFFFFFFF 9004", "00000000 000000000001 9004", cat({hex(payload), more, last}));
}
// A NetBIOS name frame: the propagation path, flags, operation and name.
Frame nb_name(uint8_t type, const char *flags_op, std::string_view name) {
    return ipx(type, "00000000 FFFFFFFFFFFF 0455", "00000001 0000C0112233 0455", cat({Frame(32, 0), hex(flags_op), ascii(name)}));
}
const Frame kMacs = hex("0000C0112233 00A0C5110233");
const std::string kPc1 = "PC1            \x01";

const Rows kIpxRows = samples({
    {"type without name", kIpx, ipx(0, "0000ABCD 0000C0112233 0453", "0000ABCD 0A0B0C0D0E0F 0453"), "IPX 0000ABCD:0A0B0C0D0E0F:RIP-->0000ABCD:0000C0112233:RIP Type: 0 Hop:0\n"},
    {"sockets without name", kIpx, ipx(1, "FEDCBA98 FFFFFFFFFFFF 4008", "00000001 0000C0112233 000A"), "IPX 00000001:0000C0112233:000A-->FEDCBA98:FFFFFFFFFFFF:4008 Type:RIP Hop:0\n"},
    {"hop count", kIpx, ipx(4, "00000001 FFFFFFFFFFFF 0457", "00000002 0000C0112233 0456", {}, 0x13), "IPX 00000002:0000C0112233:DIAG-->00000001:FFFFFFFFFFFF:SER Type:IPX Hop:19\r\n", 8192, "\r\n"},
    {"hop count of a whole byte", kIpx, ipx(4, "00000001 FFFFFFFFFFFF 9001", "00000002 0000C0112233 900F", {}, 0xFF), "IPX 00000002:0000C0112233:SNMP-->00000001:FFFFFFFFFFFF:NLSP Type:IPX Hop:255\n"},
    {"empty", kIpx, {}, "sliced IPX header\n"},
    {"NCP reply behind raw 802.3", kEth, cat({kMacs, hex("002A"), ncp("3333 FF 34 07 12 89 10 00112233")}), "Ethernet Raw 802.3 00A0C511233 -> 0000C0112233 Len=0x002a\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=\"Reply\" Sequence=255 Task=7 Connections=52,18 Completion=137 Status=16\n"},
    {"NCP behind 802.2", kEth, cat({kMacs, hex("0029 E0E003"), ncp("1111 00 00 00 00 00 00")}), "Ethernet802.2 00A0C511233 -> 0000C0112233 Len=0x0029\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=\"Create Connection\" Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
    {"NCP behind SNAP", kEth, cat({kMacs, hex("002E AAAA03 000000 8137"), ncp("5555 00 00 00 00 00 00")}), "Ethernet SNAP 00A0C511233 -> 0000C0112233 Len=0x002e\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=\"Destroy Connection\" Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
    {"NCP behind Ethernet II", kEth, cat({kMacs, hex("8137"), ncp("7777 00 00 00 00 00 00")}), "Ethernet II 00A0C511233 -> 0000C0112233 Type=0x8137\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=\"Burst Mode\" Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
    {"NCP behind Token Ring 802.2", kTr, cat({hex("1040"), kMacs, hex("E0E003"), ncp("9999 00 00 00 00 00 00")}), "Tokenring 802.2 00A0C511233 -> 0000C0112233\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=\"Req. Being Processed\" Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
    {"NCP behind Token Ring routing", kTr, cat({hex("1040 0000C0112233 80A0C5110233 0600 0000 0000 E0E003"), ncp("ABCD 00 00 00 00 00 00")}), "Tokenring 802.2 80A0C511233 -> 0000C0112233\nIPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nNCP Request=0xcdab Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
    {"NCP of 7 bytes", kIpx, ncp("2222 05 01 02 00 00"), "IPX 00000010:00A0C5110233:4003-->00000010:0000C0112233:NCP Type:NCP Hop:0\nsliced NCP header\n"},
    {"SPX", kIpx, ipx(5, "00000002 00A0C5110233 8060", "00000001 0000C0112233 4003", hex("C0 00 1234 ABCD 0001 0002 0003"), 1), "IPX 00000001:0000C0112233:4003-->00000002:00A0C5110233:8060 Type:SPX Hop:1\r\nSPX ConnCtl=192 DataStreamType=0 SrcConnectID=4660 DstConnectID=43981\r\n    SeqNumber=1 AckNumber=2 AllocNumber=3\r\n", 8192, "\r\n"},
    {"SPX payload not decoded", kIpx, ipx(5, "00000002 00A0C5110233 9004", "00000001 0000C0112233 9004", hex("10 FE FFFF 0000 8000 7FFF 0100 DEADBEEF")), "IPX 00000001:0000C0112233:IPXWAN-->00000002:00A0C5110233:IPXWAN Type:SPX Hop:0\nSPX ConnCtl=16 DataStreamType=254 SrcConnectID=65535 DstConnectID=0\n    SeqNumber=32768 AckNumber=32767 AllocNumber=256\n"},
    {"SPX of 11 bytes", kIpx, ipx(5, "00000002 00A0C5110233 8060", "00000001 0000C0112233 4003", hex("C0 00 1234 ABCD 0001 0002 00")), "IPX 00000001:0000C0112233:4003-->00000002:00A0C5110233:8060 Type:SPX Hop:0\nsliced SPX header\n"},
    {"name claim", kIpx, nb_name(20, "04 03", kPc1 + "MORE"), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n   Name Claim: notgroup=0 used=0 registered=1 notduplicated=0 deregistered=0\n   \"PC1            .\"\n"},
    {"name deregister", kIpx, nb_name(20, "02 05", kPc1), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n   Name Deregister: notgroup=0 used=0 registered=0 notduplicated=1 deregistered=0\n   \"PC1            .\"\n"},
    {"unprintable name bytes", kIpx, nb_name(20, "FF FF", "\x1D\x7F\x80\xFF ~A\x00\n\r\t\x1B" "abc\x1C"sv), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n   Name.. (code 255): notgroup=1 used=1 registered=1 notduplicated=1 deregistered=1\n   \".... ~A.....abc.\"\n"},
    {"path only", kIpx, ipx(20, "00000000 FFFFFFFFFFFF 0455", "00000001 0000C0112233 0455", Frame(32, 0)), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\nsliced NetBIOS header\n"},
    {"other NetBIOS frame", kIpx, nb_name(4, "40 03", kPc1), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:IPX Hop:0\n"},
    {"no room for the name line", kIpx, nb_name(20, "40 02", kPc1), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n   Name query Responce: notgroup=0 used=1 registered=0 notduplicated=0 deregistered=0\n   ", 84 + 1 + 85 + 1 + 3 + 19},
    {"room for the name line and CR LF", kIpx, nb_name(20, "40 02", kPc1), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\r\n   Name query Responce: notgroup=0 used=1 registered=0 notduplicated=0 deregistered=0\r\n   \"PC1            .\"\r\n", 84 + 2 + 85 + 2 + 3 + 20 + 1, "\r\n"},
    {"timer response", kIpx, ipxwan("5741534D 01 00000001 00 02 0001 0001 01 01010006 0002 00000002"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nTimerResp NodeID=00000001 seq=0 noptions=2\n- RoutingType Yes (1)\n- RIPSAP delay=2ms Net=00000002 Name=\n"},
    {"information response", kIpx, ipxwan("5741534D 03 0A0B0C0D 02 02 01000036 FFFF01020304 4142434445464748494A4B4C4D4E4F505152535455565758595A303132333435363738396162636465666768696A6B6C 04010004 11223344"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nInfoResp NodeID=0a0b0c0d seq=2 noptions=2\n- RIPSAP delay=65535ms Net=01020304 Name=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijkl\n- Nodeid=11223344\n"},
    {"throughput request", kIpx, ipxwan("5741534D 04 00000002 00 02 05010003 AABBCC 02000000"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nThroughputReq NodeID=00000002 seq=0 noptions=2\n- NLSP No (...)\n"},
    {"throughput response", kIpx, ipxwan("5741534D 05 00000002 07 03 03020002 0000 80010003 010203 00FF0001 02"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nThroughputResp NodeID=00000002 seq=7 noptions=3\n- NLSP THROUGHPUT Not Applic (...)\n- COMP Yes (1,2,3)\n- RoutingType Not Applic (2)\n"},
    {"delay request", kIpx, ipxwan("5741534D 06 00000003 00 01 04010004 01020304 04010004 05060708"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nDelayReq NodeID=00000003 seq=0 noptions=1\n- Nodeid=01020304\n"},
    {"delay response", kIpx, ipxwan("5741534D 07 FFFFFFFF 80 00"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nDelayResp NodeID=ffffffff seq=128 noptions=0\n"},
    {"unknown packet type", kIpx, ipxwan("5741534D 09 00000001 FF 00 0000000000"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\n0x9 NodeID=00000001 seq=255 noptions=0\n"},
    {"IPXWAN of 10 bytes", kIpx, ipxwan("5741534D 00 00000001 00"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nsliced IPXWAN header\n"},
    {"more options counted than captured", kIpx, ipxwan("5741534D 00 00000001 00 C8 00010001 01"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nTimerReq NodeID=00000001 seq=0 noptions=200\n- RoutingType Yes (1)\n- sliced IPXWAN option\n"},
    {"option header cut", kIpx, ipxwan("5741534D 00 00000001 00 02 00010001 01 0401"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nTimerReq NodeID=00000001 seq=0 noptions=2\n- RoutingType Yes (1)\n- sliced IPXWAN option\n"},
    {"unknown option past the end", kIpx, ipxwan("5741534D 00 00000001 00 01 33010010 0102"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nTimerReq NodeID=00000001 seq=0 noptions=1\n- sliced IPXWAN option\n"},
    {"option shorter than its fields", kIpx, ipxwan("5741534D 00 00000001 00 02 00010000 04010004 0A0B0C0D"), "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nTimerReq NodeID=00000001 seq=0 noptions=2\n- sliced IPXWAN option\n- Nodeid=0a0b0c0d\n"},
    {"IPXWAN on one socket", kIpx, ipx(4, "00000000 FFFFFFFFFFFF 9004", "00000000 000000000001 0455", hex("5741534D 00 00000001 00 00")), "IPX 00000000:000000000001:NetBIOS-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\n"},
    {"IPXWAN behind Token Ring 802.2", kTr, cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 E0E003"), ipxwan("5741534D 02 0000ABCD 01 04 00010001 00 01010010 003700C0FFEE 524F55544552 00000000 05020001 00 80010003 010203")}), "Tokenring 802.2 00A0C511233 -> FFFFFFFFFFFF\nIPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\nInfoReq NodeID=0000abcd seq=1 noptions=4\n- RoutingType Yes (0)\n- RIPSAP delay=55ms Net=00c0ffee Name=ROUTER\n- COMP Yes (1,2,3)\n"},
});

TEST(Ipx, ExactTexts) { expect_rows(kIpxRows); }

}  // namespace
