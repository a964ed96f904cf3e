#include <gtest/gtest.h>

#include "caplib.h"
#include "ipx_frames.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kLayerIpx = 4;

const std::string kIpxLine = "IPX 00000000:000000000001:IPXWAN-->00000000:FFFFFFFFFFFF:IPXWAN Type:IPX Hop:0\n";

Frame ipxwan(const Frame &payload) {
    return ipx(4, "00000000 FFFFFFFFFFFF 9004", "00000000 000000000001 9004", payload);
}

// Identifier, packet type, node id, sequence number, number of options.
Frame header(const char *type, const char *node, const char *seq, const char *count) {
    return hex(std::string("5741534D") + type + node + seq + count);
}

const Frame kName48 = ascii("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijkl");

struct Case {
    const char *name;
    Frame ipxwan;
    std::string text;  // behind the IPX line
};

class Ipxwan : public ::testing::TestWithParam<Case> {};

TEST_P(Ipxwan, DecodesToExactText) {
    EXPECT_EQ(decode(kLayerIpx, ipxwan(GetParam().ipxwan)), kIpxLine + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, Ipxwan,
    ::testing::Values(
        Case{"TimerRequestWithRoutingType", cat({header("00", "00000001", "00", "01"), hex("00 01 0001 00")}),
             "TimerReq NodeID=00000001 seq=0 noptions=1\n- RoutingType Yes (0)\n"},
        Case{"RipSapNameEndsAtZero",
             cat({header("02", "0000ABCD", "01", "01"), hex("01 01 0036 0037 00C0FFEE"), ascii("ROUTER1"),
                  Frame(41, 0)}),
             "InfoReq NodeID=0000abcd seq=1 noptions=1\n- RIPSAP delay=55ms Net=00c0ffee Name=ROUTER1\n"},
        Case{"RipSapNameCutAtFortyEight",
             cat({header("03", "0A0B0C0D", "02", "02"), hex("01 00 0036 FFFF 01020304"), kName48,
                  hex("04 01 0004 11223344")}),
             "InfoResp NodeID=0a0b0c0d seq=2 noptions=2\n"
             "- RIPSAP delay=65535ms Net=01020304 Name=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijkl\n"
             "- Nodeid=11223344\n"},
        Case{"UnknownOptionSteppedOver",
             cat({header("04", "00000002", "00", "02"), hex("05 01 0003 AABBCC"), hex("02 00 0000")}),
             "ThroughputReq NodeID=00000002 seq=0 noptions=2\n- NLSP No (...)\n"},
        Case{"AcceptStatusesAndRemainingOptions",
             cat({header("05", "00000002", "07", "03"), hex("03 02 0002 0000"), hex("80 01 0003 010203"),
                  hex("00 FF 0001 02")}),
             "ThroughputResp NodeID=00000002 seq=7 noptions=3\n- NLSP THROUGHPUT Not Applic (...)\n"
             "- COMP Yes (1,2,3)\n- RoutingType Not Applic (2)\n"},
        Case{"CountLimitsTheWalk", cat({header("06", "00000003", "00", "01"), hex("04 01 0004 01020304"),
                                        hex("04 01 0004 05060708")}),
             "DelayReq NodeID=00000003 seq=0 noptions=1\n- Nodeid=01020304\n"},
        Case{"NakWithoutOptions", header("FF", "00000001", "03", "00"),
             "NAK NodeID=00000001 seq=3 noptions=0\n"},
        Case{"UnknownPacketTypeInHex", cat({header("09", "00000001", "FF", "00"), Frame(20, 0)}),
             "0x9 NodeID=00000001 seq=255 noptions=0\n"},
        Case{"DelayResponse", header("07", "FFFFFFFF", "80", "00"), "DelayResp NodeID=ffffffff seq=128 noptions=0\n"},
        Case{"OneByteShortOfHeader", hex("5741534D 00 00000001 00"), "sliced IPXWAN header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// The option count and data lengths come off the wire; the walk never
// leaves the captured bytes, and says so when an option is cut.
INSTANTIATE_TEST_SUITE_P(
    Cut, Ipxwan,
    ::testing::Values(
        Case{"CountBeyondTheCapturedOptions", cat({header("00", "00000001", "00", "C8"), hex("00 01 0001 01")}),
             "TimerReq NodeID=00000001 seq=0 noptions=200\n- RoutingType Yes (1)\n- sliced IPXWAN option\n"},
        Case{"OptionHeaderCut", cat({header("00", "00000001", "00", "02"), hex("00 01 0001 01"), hex("04 01")}),
             "TimerReq NodeID=00000001 seq=0 noptions=2\n- RoutingType Yes (1)\n- sliced IPXWAN option\n"},
        Case{"DataLengthPastTheEnd", cat({header("00", "00000001", "00", "01"), hex("80 01 FFFF 010203")}),
             "TimerReq NodeID=00000001 seq=0 noptions=1\n- sliced IPXWAN option\n"},
        Case{"UnknownOptionPastTheEnd", cat({header("00", "00000001", "00", "01"), hex("33 01 0010 0102")}),
             "TimerReq NodeID=00000001 seq=0 noptions=1\n- sliced IPXWAN option\n"},
        // A known option too short for its fields does not borrow the next
        // option's bytes; the walk goes on behind it.
        Case{"OptionShorterThanItsFields",
             cat({header("00", "00000001", "00", "02"), hex("00 01 0000"), hex("04 01 0004 0A0B0C0D")}),
             "TimerReq NodeID=00000001 seq=0 noptions=2\n- sliced IPXWAN option\n- Nodeid=0a0b0c0d\n"},
        Case{"RipSapNameEndsWithItsOption",
             cat({header("02", "00000001", "00", "02"), hex("01 01 000A 0001 00000001"), ascii("ABCD"),
                  hex("80 02 0003 010203")}),
             "InfoReq NodeID=00000001 seq=0 noptions=2\n- RIPSAP delay=1ms Net=00000001 Name=ABCD\n"
             "- COMP Not Applic (1,2,3)\n"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
