#include <gtest/gtest.h>

#include "netbios_support.h"

using namespace caplib_test;
using caplib::PROTO_NBSS;

namespace {

struct Case {
    const char *name;
    Frame frame;
    std::string text;
};

class Session : public ::testing::TestWithParam<Case> {};

TEST_P(Session, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(chain(PROTO_NBSS, c.frame), c.text);
}

const Frame kNegotiateResponse = smb(0x72, 0x80, {7});

INSTANTIATE_TEST_SUITE_P(
    Nbss, Session,
    ::testing::Values(
        Case{"EmptyPayloadAddsNothing", {}, ""},
        Case{"OneByte", hex("00"), "sliced NetBIOS header\n"},
        Case{"ThreeBytes", hex("000000"), "sliced NetBIOS header\n"},
        Case{"KeepAlive", hex("85000000"), "NetBIOS-KeepAlive\n"},
        Case{"KeepAliveWithTrailingBytes", hex("85000000 FFFF"), "NetBIOS-KeepAlive\n"},
        Case{"SessionRequestEndsQuietly", cat({hex("81000044"), Frame(68, 0x41)}), ""},
        Case{"PositiveResponse", hex("82000000"), ""},
        Case{"RetargetResponse", hex("84000006 C0A80001 008B"), ""},
        Case{"MessageWithShortSmb", hex("00000004 FF534D42"), "sliced SMB header\n"},
        Case{"MessageHandsOnToSmb", cat({hex("00000025"), kNegotiateResponse}),
             "SMB-response \"negotiate protocol\"\n"
             "   size=37 cls=0 reh=0 err=0 flg=0x80 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=1\n"
             " [00]=    7/0x0007\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Session, KeepAliveEndsWithTheCallersSeparator) {
    EXPECT_EQ(chain(PROTO_NBSS, hex("85000000"), 8192, "\r\n"), "NetBIOS-KeepAlive\r\n");
}

}  // namespace
