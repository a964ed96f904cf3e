#include <gtest/gtest.h>

#include "caplib.h"
#include "ipx_frames.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kLayerIpx = 4;

const std::string kSpxIpxLine =
    "IPX 00000001:0000C0112233:4003-->00000002:00A0C5110233:8060 Type:SPX Hop:1\n";
const std::string kNcpIpxLine =
    "IPX 00000001:0000C0112233:4003-->00000002:00A0C5110233:NCP Type:NCP Hop:1\n";

Frame spx(const Frame &payload) {
    return ipx(5, "00000002 00A0C5110233 8060", "00000001 0000C0112233 4003", payload, 1);
}
Frame ncp(const Frame &payload) {
    return ipx(17, "00000002 00A0C5110233 0451", "00000001 0000C0112233 4003", payload, 1);
}

struct Case {
    const char *name;
    Frame frame;
    std::string text;
};

class SpxNcp : public ::testing::TestWithParam<Case> {};

TEST_P(SpxNcp, DecodesToExactText) { EXPECT_EQ(decode(kLayerIpx, GetParam().frame), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Ipx, SpxNcp,
    ::testing::Values(
        Case{"SpxExactHeaderTwoLines", spx(hex("C0 00 1234 ABCD 0001 0002 0003")),
             kSpxIpxLine +
                 "SPX ConnCtl=192 DataStreamType=0 SrcConnectID=4660 DstConnectID=43981\n"
                 "    SeqNumber=1 AckNumber=2 AllocNumber=3\n"},
        Case{"SpxPayloadNotDecoded", spx(hex("10 FE FFFF 0000 8000 7FFF 0100 DEADBEEF")),
             kSpxIpxLine +
                 "SPX ConnCtl=16 DataStreamType=254 SrcConnectID=65535 DstConnectID=0\n"
                 "    SeqNumber=32768 AckNumber=32767 AllocNumber=256\n"},
        Case{"SpxOneByteShort", spx(hex("C0 00 1234 ABCD 0001 0002 00")), kSpxIpxLine + "sliced SPX header\n"},
        Case{"NcpRequest", ncp(hex("2222 05 01 02 00 00 00")),
             kNcpIpxLine + "NCP Request=\"Request\" Sequence=5 Task=2 Connections=1,0 Completion=0 Status=0\n"},
        Case{"NcpReplyLowConnectionFirst", ncp(hex("3333 FF 34 07 12 89 10 00112233")),
             kNcpIpxLine +
                 "NCP Request=\"Reply\" Sequence=255 Task=7 Connections=52,18 Completion=137 Status=16\n"},
        Case{"NcpRequestTypeLowByteFirst", ncp(hex("1234 00 00 00 00 00 00")),
             kNcpIpxLine + "NCP Request=0x3412 Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n"},
        Case{"NcpOneByteShort", ncp(hex("2222 05 01 02 00 00")), kNcpIpxLine + "sliced NCP header\n"},
        Case{"NcpEmpty", ncp({}), kNcpIpxLine + "sliced NCP header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Ncp, RequestTypeNames) {
    const std::pair<const char *, const char *> names[] = {
        {"1111", "\"Create Connection\""}, {"2222", "\"Request\""},
        {"3333", "\"Reply\""},             {"5555", "\"Destroy Connection\""},
        {"7777", "\"Burst Mode\""},        {"9999", "\"Req. Being Processed\""},
        {"4444", "0x4444"},                {"ABCD", "0xcdab"},
        {"0100", "0x0001"},
    };
    for (auto [bytes, text] : names)
        EXPECT_EQ(decode(kLayerIpx, ncp(hex(std::string(bytes) + "000000000000"))),
                  kNcpIpxLine + "NCP Request=" + text +
                      " Sequence=0 Task=0 Connections=0,0 Completion=0 Status=0\n")
            << bytes;
}

TEST(Spx, SeparatorEndsBothLines) {
    EXPECT_EQ(decode(kLayerIpx, spx(hex("C0 00 0001 0002 0003 0004 0005")), 8192, "\r\n"),
              "IPX 00000001:0000C0112233:4003-->00000002:00A0C5110233:8060 Type:SPX Hop:1\r\n"
              "SPX ConnCtl=192 DataStreamType=0 SrcConnectID=1 DstConnectID=2\r\n"
              "    SeqNumber=3 AckNumber=4 AllocNumber=5\r\n");
}

}  // namespace
