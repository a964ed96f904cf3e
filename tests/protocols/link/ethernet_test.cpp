#include <gtest/gtest.h>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

const Frame kDst = hex("FFFFFFFFFFFF");
const Frame kSrc = hex("00A0C5110233");

struct Case {
    const char *name;
    uint32_t layer;
    Frame frame;
    std::string text;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class LinkLines : public ::testing::TestWithParam<Case> {};

TEST_P(LinkLines, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(c.layer, c.frame), c.text);
}

// Payload protocols whose decoders are not built end the chain after the
// link line.
INSTANTIATE_TEST_SUITE_P(
    Ethernet, LinkLines,
    ::testing::Values(
        Case{"ShortFrame", 1, hex("00112233445566778899"), "sliced Ethernet header\n"},
        Case{"EthernetII", 1, cat({kDst, kSrc, hex("0800")}),
             "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\nsliced IP header\n"},
        Case{"TypeJustAboveLength", 1, cat({kDst, kSrc, hex("05DD 00")}),
             "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x05dd\n"},
        Case{"FifthByteTwoDigits", 1, cat({kDst, hex("00A0C5111B33"), hex("9000")}),
             "Ethernet II 00A0C5111B33 -> FFFFFFFFFFFF Type=0x9000\n"},
        Case{"Snap", 1, cat({kDst, kSrc, hex("0030 AAAA03 000000 9000 00")}),
             "Ethernet SNAP 00A0C511233 -> FFFFFFFFFFFF Len=0x0030\n"},
        Case{"SnapCutBeforeType", 1, cat({kDst, kSrc, hex("0030 AAAA03 0000")}),
             "Ethernet SNAP 00A0C511233 -> FFFFFFFFFFFF Len=0x0030\n"},
        Case{"Llc8022NotIpx", 1, cat({kDst, kSrc, hex("05DC 424203")}),
             "Ethernet802.2 00A0C511233 -> FFFFFFFFFFFF Len=0x05dc\n"},
        Case{"RawSixteenBytesWithSnapStart", 1, cat({kDst, kSrc, hex("0010 AAAA")}),
             "Ethernet Raw 802.3 00A0C511233 -> FFFFFFFFFFFF Len=0x0010\nsliced IPX header\n"},
        Case{"TokenringShort", 2, Frame(34, 0), "sliced Tokenring header\n"},
        Case{"TokenringUnknown", 2,
             cat({hex("1040"), kDst, kSrc, hex("424203"), Frame(18, 0)}),
             "Unknown Tokenring Frame-Type\n"},
        Case{"TokenringSnapPppoeEndsChain", 2,
             cat({hex("1040"), kDst, kSrc, hex("AAAA03 000000 8863"), Frame(13, 0)}),
             "Tokenring SNAP 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\n"},
        Case{"TokenringRoutingCutsLlc", 2,
             cat({hex("1040"), kDst, hex("80A0C5110233"), hex("1F"), Frame(20, 0)}),
             "sliced Tokenring header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Ethernet, SnapWithRoutingSkipsRoutingInformation) {
    // Six bytes of routing information put the LLC header at byte 20.
    Frame f = cat({hex("1040"), kDst, hex("80A0C5110233"), hex("0600 0000 0000"),
                   hex("AAAA03 000000 9000"), Frame(10, 0)});
    EXPECT_EQ(decode(2, f), "Tokenring SNAP 80A0C511233 -> FFFFFFFFFFFF Type=0x9000\n");
}

TEST(Ethernet, SeparatorEndsTheLine) {
    EXPECT_EQ(decode(1, cat({kDst, kSrc, hex("9000")}), 8192, "\r\n"),
              "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000\r\n");
}

}  // namespace

namespace {

// The address text is built by hand for speed; it must match the
// formatted write it replaces for every byte value in every place.
TEST(Ethernet, AddressTextMatchesItsFormat) {
    for (unsigned v = 0; v < 256; ++v) {
        Frame src = {static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v * 7),
                     static_cast<uint8_t>(v ^ 0x5A), static_cast<uint8_t>(v), static_cast<uint8_t>(v * 3)};
        Frame dst = {static_cast<uint8_t>(v * 5), 0, 0x0F, 0x10, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v)};
        char want[128];
        std::snprintf(want, sizeof want,
                      "Ethernet II %02X%02X%02X%02X%0X%02X -> %02X%02X%02X%02X%0X%02X Type=0x9000\n", src[0],
                      src[1], src[2], src[3], src[4], src[5], dst[0], dst[1], dst[2], dst[3], dst[4], dst[5]);
        EXPECT_EQ(decode(1, cat({dst, src, hex("9000")})), want);
    }
}

}  // namespace
