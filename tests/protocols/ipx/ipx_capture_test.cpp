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
        Case{"RipRequest", kRipRequest,
             "Ethernet802.2 0003471BC1A8 -> FFFFFFFFFFFF Len=0x002c\n"
             "IPX 00000000:0003471BC1A8:RIP-->00000000:FFFFFFFFFFFF:RIP Type:RIP Hop:0\n"},
        Case{"SapTypeZero", kSapTypeZero,
             "Ethernet802.2 0030C1BF5755 -> FFFFFFFFFFFF Len=0x0063\n"
             "IPX 00000000:0030C1BF5755:SAP-->00000000:FFFFFFFFFFFF:SAP Type: 0 Hop:0\n"}),
    [](const auto &info) { return std::string(info.param.name); });

[[maybe_unused]] const int kCaptureSamples = add_samples({
    {"ipx-capture-nbname", kLayerEthernet, kMsBrowseQuery},
    {"ipx-capture-rip", kLayerEthernet, kRipRequest},
});

}  // namespace
