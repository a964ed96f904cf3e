#include <gtest/gtest.h>

#include "caplib.h"
#include "ipx_frames.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kLayerIpx = 4;

const std::string kIpxLine =
    "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0\n";

const Frame kPath = Frame(32, 0);  // eight networks of the propagation path
const Frame kPc1 = cat({ascii("PC1            "), hex("00")});

Frame name_frame(const Frame &payload) {
    return ipx(20, "00000000 FFFFFFFFFFFF 0455", "00000001 0000C0112233 0455", payload);
}
Frame name_frame(uint8_t flags, uint8_t op, const Frame &name) {
    return name_frame(cat({kPath, {flags, op}, name}));
}

struct Case {
    const char *name;
    Frame frame;
    std::string text;  // behind the IPX line
};

class IpxNetbios : public ::testing::TestWithParam<Case> {};

TEST_P(IpxNetbios, DecodesToExactText) {
    EXPECT_EQ(decode(kLayerIpx, GetParam().frame), kIpxLine + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxNetbios,
    ::testing::Values(
        Case{"NameClaim", name_frame(0x40, 3, kPc1),
             "   Name Claim: notgroup=0 used=1 registered=0 notduplicated=0 deregistered=0\n"
             "   \"PC1            .\"\n"},
        Case{"UnprintableNameBytes", name_frame(0x00, 255, hex("1D 7F 80 FF 20 7E 41 00 0A 0D 09 1B 61 62 63 1C")),
             "   Name.. (code 255): notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0\n"
             "   \".... ~A.....abc.\"\n"},
        Case{"TrailingBytesIgnored", name_frame(cat({kPath, {0x00, 3}, kPc1, ascii("MORE")})),
             "   Name Claim: notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0\n"
             "   \"PC1            .\"\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// Frames shorter than the name frame never lead to a read past them.
INSTANTIATE_TEST_SUITE_P(
    Short, IpxNetbios,
    ::testing::Values(Case{"OneByteShortOfTheName", name_frame(cat({kPath, {0x40, 3}, ascii("PC1            ")})),
                           "sliced NetBIOS header\n"},
                      Case{"PathOnly", name_frame(kPath), "sliced NetBIOS header\n"},
                      Case{"Empty", name_frame(Frame{}), "sliced NetBIOS header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IpxNetbios, OperationNames) {
    const std::pair<uint8_t, const char *> names[] = {
        {1, "Name query"}, {2, "Name query Responce"}, {3, "Name Claim"}, {5, "Name Deregister"},
        {4, "Name.. (code 4)"}, {0, "Name.. (code 0)"},
    };
    for (auto [op, text] : names)
        EXPECT_EQ(decode(kLayerIpx, name_frame(0x00, op, kPc1)),
                  kIpxLine + "   " + text +
                      ": notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0\n"
                      "   \"PC1            .\"\n")
            << int(op);
}

// The flag values, one bit at a time. "deregistered" shows bit 0x01; bits
// 0x38 show nowhere.
struct FlagCase {
    uint8_t flags;
    const char *text;
};

class IpxNetbiosFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(IpxNetbiosFlags, EachFlagHasItsBit) {
    EXPECT_EQ(decode(kLayerIpx, name_frame(GetParam().flags, 3, kPc1)),
              kIpxLine + "   Name Claim: " + GetParam().text + "\n   \"PC1            .\"\n");
}

INSTANTIATE_TEST_SUITE_P(
    Ipx, IpxNetbiosFlags,
    ::testing::Values(
        FlagCase{0x80, "notgroup=1 used=0 registered=0 notduplicated=0 deregistered=0"},
        FlagCase{0x40, "notgroup=0 used=1 registered=0 notduplicated=0 deregistered=0"},
        FlagCase{0x04, "notgroup=0 used=0 registered=1 notduplicated=0 deregistered=0"},
        FlagCase{0x02, "notgroup=0 used=0 registered=0 notduplicated=1 deregistered=0"},
        FlagCase{0x01, "notgroup=0 used=0 registered=0 notduplicated=0 deregistered=1"},
        FlagCase{0x38, "notgroup=0 used=0 registered=0 notduplicated=0 deregistered=0"},
        FlagCase{0xFF, "notgroup=1 used=1 registered=1 notduplicated=1 deregistered=1"}));

// The name line goes in whole or not at all; the first line stays, with
// the indentation of the missing line behind its separator. (A long
// operation name: the shortest first line always leaves room for the name.)
TEST(IpxNetbios, NameLineNeedsRoomForItselfAndTerminator) {
    const Frame f = name_frame(0x40, 2, kPc1);
    for (std::string sep : {"\n", "\r\n", "<br>"}) {
        std::string first = "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:NetBIOS Hop:0" +
                            sep + "   Name query Responce: notgroup=0 used=1 registered=0 notduplicated=0 deregistered=0" +
                            sep + "   ";
        std::string name = "\"PC1            .\"" + sep;
        auto room = static_cast<uint32_t>(first.size() + name.size() + 1);
        EXPECT_EQ(decode(kLayerIpx, f, room, sep.c_str()), first + name) << sep;
        EXPECT_EQ(decode(kLayerIpx, f, room - 1, sep.c_str()), first) << sep;
    }
}

TEST(IpxNetbios, OtherFramesAddNoText) {
    Frame f = ipx(4, "00000000 FFFFFFFFFFFF 0455", "00000001 0000C0112233 0455", cat({kPath, {0x40, 3}, kPc1}));
    EXPECT_EQ(decode(kLayerIpx, f), "IPX 00000001:0000C0112233:NetBIOS-->00000000:FFFFFFFFFFFF:NetBIOS Type:IPX Hop:0\n");
}

}  // namespace
