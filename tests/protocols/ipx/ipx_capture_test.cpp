// Frames from a real capture of IPX on 802.2 with NetBIOS over IPX.
#include <gtest/gtest.h>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kLayerEthernet = 1;

// A browser name query for the __MSBROWSE__ group name.
const Frame kMsBrowseQuery = hex(
    "FFFFFFFF FFFF0003 471BC1A8 0054E0E0 03FFFF00 50001400 000000FF FFFFFFFF"
    "FF0455A8 F8796700 00000000 01045500 00000000 00000000 00000000 00000000"
    "00000000 00000000 00000000 00000000 0101025F 5F4D5342 524F5753 455F5F02"
    "0100");

// A name query for a domain master browser name (suffix 0x1C).
const Frame kDomainQuery = hex(
    "FFFFFFFF FFFF0013 206183A3 0054E0E0 03FFFF00 50001400 000000FF FFFFFFFF"
    "FF045500 00000000 13206183 A3045500 00000000 00000000 00000000 00000000"
    "00000000 00000000 00000000 00000000 01494E44 49412D49 54202020 20202020"
    "1C00");

// A mailslot datagram on the NetBIOS socket (packet type 4).
const Frame kNetbiosDatagram = hex(
    "FFFFFFFF FFFF0003 471BC1A8 00C4E0E0 03FFFF00 C0000400 000000FF FFFFFFFF"
    "FF0455A8 F8796700 00000000 01045500 0B41444D 494E5445 53542020 20202020"
    "0001025F 5F4D5342 524F5753 455F5F02 01FF534D 42250000 00000000 00000000"
    "00000000 00000000 00000000 00000000 00110000 2A000000 00000000 0000E803"
    "00000000 00000000 2A005600 03000100 01000200 3B005C4D 41494C53 4C4F545C"
    "42524F57 5345000C 00A0BB0D 00524144 49555300 194C7C00 30F97F00 30030A08"
    "100080A8 E74C7C41 444D494E 54455354 0000");

// A RIP request.
const Frame kRipRequest = hex(
    "FFFFFFFF FFFF0003 471BC1A8 002CE0E0 03FFFF00 28000100 000000FF FFFFFFFF"
    "FF045300 00000000 03471BC1 A8045300 02A8F879 67000100 02000000");

// A SAP broadcast with packet type 0.
const Frame kSapTypeZero = hex(
    "FFFFFFFF FFFF0030 C1BF5755 0063E0E0 03FFFF00 60000000 000000FF FFFFFFFF"
    "FF045200 00000000 30C1BF57 55045200 02030C30 30333043 31424635 37353538"
    "3044304E 50494246 35373535 00000000 00000000 00000000 00000000 00000000"
    "00000000 00000000 30C1BF57 55400C00 01");

// A SAP broadcast from a dynamic socket.
const Frame kSapFromDynamicSocket = hex(
    "FFFFFFFF FFFF0014 85ACCDAD 0064E0E0 03FFFF00 60000400 000000FF FFFFFFFF"
    "FF045200 00000000 1485ACCD AD400800 02064E45 4B544121 21212121 21212121"
    "21214135 35363942 32304142 45353131 43453943 41343030 30303443 37363238"
    "33320000 00000000 1485ACCD AD400000 016A");

struct Case {
    const char *name;
    const Frame &frame;
    std::string text;
};

class IpxCapture : public ::testing::TestWithParam<Case> {};

TEST_P(IpxCapture, DecodesToExactText) {
    EXPECT_EQ(decode(kLayerEthernet, GetParam().frame), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxCapture,
    ::testing::Values(
        Case{"MsBrowseNameQuery", kMsBrowseQuery,
             "Ethernet802.2 0003471BC1A8 -> FFFFFFFFFFFF Len=0x0054\n"
             "IPX A8F87967:000000000001:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n"
             "   Name query: notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0\n"
             "   \"..__MSBROWSE__..\"\n"},
        Case{"DomainNameQuery", kDomainQuery,
             "Ethernet802.2 0013206183A3 -> FFFFFFFFFFFF Len=0x0054\n"
             "IPX 00000000:0013206183A3:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n"
             "   Name query: notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0\n"
             "   \"INDIA-IT       .\"\n"},
        Case{"NetbiosDatagramEndsAfterIpx", kNetbiosDatagram,
             "Ethernet802.2 0003471BC1A8 -> FFFFFFFFFFFF Len=0x00c4\n"
             "IPX A8F87967:000000000001:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:IPX Hop:0\n"},
        Case{"RipRequest", kRipRequest,
             "Ethernet802.2 0003471BC1A8 -> FFFFFFFFFFFF Len=0x002c\n"
             "IPX 00000000:0003471BC1A8:RIP-->00000000:FFFFFFFFFFFF:RIP Type:RIP Hop:0\n"},
        Case{"SapTypeZero", kSapTypeZero,
             "Ethernet802.2 0030C1BF5755 -> FFFFFFFFFFFF Len=0x0063\n"
             "IPX 00000000:0030C1BF5755:SAP-->00000000:FFFFFFFFFFFF:SAP Type: 0 Hop:0\n"},
        Case{"SapFromDynamicSocket", kSapFromDynamicSocket,
             "Ethernet802.2 001485ACCDAD -> FFFFFFFFFFFF Len=0x0064\n"
             "IPX 00000000:001485ACCDAD:4008-->00000000:FFFFFFFFFFFF:SAP Type:IPX Hop:0\n"}),
    [](const auto &info) { return std::string(info.param.name); });

[[maybe_unused]] const int kCaptureSamples = add_samples({
    {"ipx-capture-nbname", kLayerEthernet, kMsBrowseQuery},
    {"ipx-capture-rip", kLayerEthernet, kRipRequest},
});

}  // namespace
