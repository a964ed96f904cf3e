#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "protocols/direct_call.h"
#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kEthernet = 1, kTokenring = 2, kArpLayer = 5;

// A request as a host sent it: 10.0.0.1 asks for 10.0.0.138.
const Frame kAddresses = hex("6CF049B2DE6E 0A000001 30469A23FBFA 0A00008A");
const Frame kRequest = cat({hex("0001 0800 06 04 0001"), kAddresses});
const std::string kAddressLines =
    " S-HW: 6CF049B2DE6E S-IP: 10.0.0.1\n D-HW: 30469A23FBFA D-IP: 10.0.0.138\n";

struct Case {
    const char *name;
    Frame fixed;  // the eight bytes in front of the addresses
    std::string first_line;
};

class Arp : public ::testing::TestWithParam<Case> {};

TEST_P(Arp, ThreePieces) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(kArpLayer, cat({c.fixed, kAddresses})), c.first_line + "\n" + kAddressLines);
}

// The 16-bit fields are read low byte first.
INSTANTIATE_TEST_SUITE_P(
    Operations, Arp,
    ::testing::Values(
        Case{"Request", hex("0001 0800 06 04 0001"),
             "ARP Types 256,8 Sizes 6,4 Operation ARP-Request"},
        Case{"Reply", hex("0001 0800 06 04 0002"), "ARP Types 256,8 Sizes 6,4 Operation ARP-Reply"},
        Case{"RarpRequest", hex("0001 0800 06 04 0003"),
             "ARP Types 256,8 Sizes 6,4 Operation RARP-Request"},
        Case{"RarpReply", hex("0001 0800 06 04 0004"),
             "ARP Types 256,8 Sizes 6,4 Operation RARP-Reply"},
        Case{"Unknown", hex("0001 0800 06 04 0005"), "ARP Types 256,8 Sizes 6,4 Operation #500"},
        Case{"UnknownEight", hex("0001 0800 06 04 0008"),
             "ARP Types 256,8 Sizes 6,4 Operation #800"},
        Case{"UnknownWidest", hex("0001 0800 06 04 FFFF"),
             "ARP Types 256,8 Sizes 6,4 Operation #FFFF"},
        Case{"Zero", hex("0001 0800 06 04 0000"), "ARP Types 256,8 Sizes 6,4 Operation #0"},
        Case{"NetworkOrderOne", hex("0001 0800 06 04 0100"),
             "ARP Types 256,8 Sizes 6,4 Operation #1"},
        Case{"SizesShownLayoutFixed", hex("0600 0008 08 04 0001"),
             "ARP Types 6,2048 Sizes 8,4 Operation ARP-Request"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Arp, FromEthernetAndTokenring) {
    const std::string lines = "ARP Types 256,8 Sizes 6,4 Operation ARP-Request\n" + kAddressLines;
    EXPECT_EQ(
        decode(kEthernet, cat({hex("30469A23FBFA 6CF049B2DE6E 0806"), kRequest, Frame(18, 0)})),
        "Ethernet II 6CF049B2DE6E -> 30469A23FBFA Type=0x0806\n" + lines);
    EXPECT_EQ(decode(kTokenring,
                     cat({hex("1040 FFFFFFFFFFFF 00A0C5110233 AAAA03 000000 0835"), kRequest})),
              "Tokenring SNAP 00A0C511233 -> FFFFFFFFFFFF Type=0x0835\n" + lines);
}

TEST(Arp, AllAddressBytesTwoDigits) {
    EXPECT_EQ(
        decode(kArpLayer,
               cat({hex("0001 0800 06 04 0002 0000000A0A00 C0A80001 000000000000 00000000")})),
        "ARP Types 256,8 Sizes 6,4 Operation ARP-Reply\n S-HW: 0000000A0A00 S-IP: 192.168.0.1\n"
        " D-HW: 000000000000 D-IP: 0.0.0.0\n");
}

TEST(Arp, TwentySevenBytesAreSliced) {
    EXPECT_EQ(decode(kArpLayer, Frame(kRequest.begin(), kRequest.end() - 1)),
              "sliced ARP header\n");
    EXPECT_EQ(decode(kArpLayer, {}), "sliced ARP header\n");
}

// A cut text changes nothing about what is consumed: 28 bytes, end of chain.
TEST(Arp, CutTextStillConsumesThePacket) {
    DirectResult r = call_decoder(caplib::decode_arp, cat({kRequest, Frame(4, 0)}), 20);
    EXPECT_EQ(r.text, "ARP Types 256,8 Siz");
    EXPECT_EQ(r.consumed, 28u);
    EXPECT_EQ(r.next, caplib::PROTO_END);
}

[[maybe_unused]] const int kArpSamples = add_samples({
    {"arp-request", kArpLayer, kRequest},
    {"ethernet-rarp", kEthernet,
     cat({hex("FFFFFFFFFFFF 00A0C5110233 0835"), hex("0001 0800 06 04 0003"), kAddresses})},
});

}  // namespace
