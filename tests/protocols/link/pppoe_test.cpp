#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "protocols/direct_call.h"
#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kEthernet = 1;
const Frame kDiscovery = hex("FFFFFFFFFFFF 00A0C5110233 8863");
const std::string kDiscoveryLine = "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8863\n";

// A discovery header of the given code whose length field covers the tags.
Frame discovery(uint8_t code, const Frame &tags) {
    auto n = static_cast<uint16_t>(tags.size());
    return cat({kDiscovery,
                {0x11, code, 0x00, 0x00, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)},
                tags});
}

struct Case {
    const char *name;
    Frame tags;  // behind a PADO header
    std::string tag_line;
};

class PppoeTags : public ::testing::TestWithParam<Case> {};

TEST_P(PppoeTags, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(kEthernet, discovery(0x07, c.tags)),
              kDiscoveryLine + "PPPoE 1/1 session_id=0 length=" + std::to_string(c.tags.size()) +
                  " Active Discovery Offer (PADO)\n" + c.tag_line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Tags, PppoeTags,
    ::testing::Values(
        Case{"None", {}, ""},
        Case{"ServiceNameEmptyAndHostUniq", hex("0101 0000 0103 0004 01020304"),
             " Service-Name(0) Host-Uniq(4)"},
        Case{"AcName", hex("0102 0002 6162"), " AC-Name=ab(2)"},
        Case{"TextStopsAtNulPadded", hex("0101 0005 616263 00 78"), " Service-Name=abc  (5)"},
        Case{"ValueNotShown", hex("0104 0002 0102 0105 0001 00 0110 0000"),
             " AC-Cookie(2) Vendor-Specific(1) Relay-Session-Id(0)"},
        Case{"EndOfListStopsWalk", hex("0101 0000 0000 0000 0103 0004 01020304"),
             " Service-Name(0)"},
        Case{"HurlText", hex("0111 0004 68747470"), " HURL=http(4)"},
        Case{"HurlEmpty", hex("0111 0003 00 4142 0112 0000"), " HURL ??\?(3) MOTM ??\?(0)"},
        Case{"Motm", hex("0112 0002 6869"), " MOTM=hi(2)"},
        Case{"ErrorsWithAndWithoutText",
             hex("0201 0001 78 0201 0000 0202 0002 0041 0202 0002 4100"),
             " Service-Name-Error=x(1) Service-Name-Error(0) AC-System-Error(2) AC-System-Error=A "
             "(2)"},
        Case{"RouteShort", hex("0121 0002 0A00"), " IP_ROUTE_ADD  ??\?(2)"},
        Case{"RouteDestination", hex("0121 0004 0A000000"), " IP_ROUTE_ADD  10.0.0.0(4)"},
        Case{"RouteGateway", hex("0121 000C 0A000000 FF000000 C0A80101"),
             " IP_ROUTE_ADD  10.0.0.0 255.0.0.0 via 192.168.1.1(12)"},
        Case{"RouteMetric", hex("0121 0010 0A000000 FF000000 C0A80101 00010001"),
             " IP_ROUTE_ADD  10.0.0.0 255.0.0.0 via 192.168.1.1 65537(16)"},
        Case{"UnknownTags", hex("0203 0000 0120 0002 05DC FFFF 0000"),
             " TAG0x0203(0) TAG0x0120(2) TAG0xffff(0)"}),
    [](const auto &info) { return std::string(info.param.name); });

// Discovery frames as access concentrator and client sent them.
TEST(Pppoe, RecordedDiscovery) {
    Frame padi =
        hex("ffffffffffffcc050e880000886311090000000c01010000010300046413851800000000000000000000"
            "000000000000000000000000000000000000");
    EXPECT_EQ(decode(kEthernet, padi),
              "Ethernet II CC050E88000 -> FFFFFFFFFFFF Type=0x8863\n"
              "PPPoE 1/1 session_id=0 length=12 Active Discovery Initiation (PADI)\n"
              " Service-Name(0) Host-Uniq(4)\n");
    Frame pads =
        hex("cc050e880000ca010e88000688631165001100280101000001030004641385180102000442524153"
            "010400103d0f0587062484f2df32b9ddfd77bd5b");
    EXPECT_EQ(decode(kEthernet, pads),
              "Ethernet II CA010E88006 -> CC050E88000 Type=0x8863\n"
              "PPPoE 1/1 session_id=17 length=40 Active Discovery Session-confirmation (PADS)\n"
              " Service-Name(0) Host-Uniq(4) AC-Name=BRAS(4) AC-Cookie(16)\n");
}

TEST(Pppoe, CodeNames) {
    const std::pair<uint8_t, const char *> codes[] = {
        {0x00, "PPP Frame"},
        {0x19, "Active Discovery Request (PADR)"},
        {0xA7, "Active Discovery Terminate (PADT)"},
        {0xD3, "Active Discovery Message (PADM draft)"},
        {0xD4, "Active Discovery Network (PADN draft)"},
        {0x42, "code=0x42"},
        {0xFF, "code=0xff"},
    };
    for (const auto &[code, name] : codes)
        EXPECT_EQ(decode(kEthernet, discovery(code, {})),
                  kDiscoveryLine + "PPPoE 1/1 session_id=0 length=0 " + name + "\n\n");
}

TEST(Pppoe, VersionTypeAndSession) {
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("21 A7 FFFF 0000")})),
              kDiscoveryLine +
                  "PPPoE 2/1 session_id=65535 length=0 Active Discovery Terminate (PADT)\n\n");
}

// The length field bounds the walk; so do the captured bytes, whatever the
// length field says.
TEST(Pppoe, TagWalkStaysWithinFrameAndLength) {
    const std::string head = kDiscoveryLine + "PPPoE 1/1 session_id=0 length=";
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1107 0000 0004 0101 0000 0103 0000")})),
              head + "4 Active Discovery Offer (PADO)\n Service-Name(0)\n");
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1107 0000 0064 0101 0000 0103")})),
              head + "100 Active Discovery Offer (PADO)\n Service-Name(0)\n");
    // A value cut by the end of the frame shows what is there.
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1107 0000 000E 0102 000A 6162")})),
              head + "14 Active Discovery Offer (PADO)\n AC-Name=ab(10)\n");
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1107 0000 0014 0121 0010 0A000000 FF00")})),
              head + "20 Active Discovery Offer (PADO)\n IP_ROUTE_ADD  10.0.0.0(16)\n");
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1107 0000 0014 0111 0010")})),
              head + "20 Active Discovery Offer (PADO)\n HURL ??\?(16)\n");
}

TEST(Pppoe, DiscoveryConsumesHeaderAndLength) {
    DirectResult r =
        call_decoder(caplib::decode_pppoe_discovery, hex("1109 0000 0004 0101 0000 FFFFFFFF"));
    EXPECT_EQ(r.consumed, 10u);
    EXPECT_EQ(r.next, caplib::PROTO_END);
    r = call_decoder(caplib::decode_pppoe_discovery, hex("1109 0000 0100 0101 0000"));
    EXPECT_EQ(r.consumed, 10u);
    EXPECT_EQ(r.remaining, 0u);
}

TEST(Pppoe, ShortHeadersAreSliced) {
    EXPECT_EQ(decode(kEthernet, cat({kDiscovery, hex("1109 0000 00")})),
              kDiscoveryLine + "sliced PPPoE Discovery header\n");
    EXPECT_EQ(
        decode(kEthernet, cat({hex("FFFFFFFFFFFF 00A0C5110233 8864"), hex("1100 0011")})),
        "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x8864\nsliced PPPoE Discovery header\n");
}

// The session payload goes to PPP cut to the length field, or to what is
// left of the frame when the field claims more.
TEST(Pppoe, SessionHandsLengthToPpp) {
    const Frame payload(40, 0x7E);
    struct {
        Frame header;
        const char *line;
        uint32_t remaining;
    } cases[] = {
        {hex("1100 0011 0014"), "PPPoE 1/1 session_id=17 length=20 PPP Frame\n", 20},
        {hex("1100 0011 0028"), "PPPoE 1/1 session_id=17 length=40 PPP Frame\n", 40},
        {hex("1100 0011 00C8"), "PPPoE 1/1 session_id=17 length=200 PPP Frame\n", 40},
        {hex("1100 0011 0000"), "PPPoE 1/1 session_id=17 length=0 PPP Frame\n", 0},
        {hex("1109 0001 0002"),
         "PPPoE 1/1 session_id=1 length=2 Active Discovery Initiation (PADI)\n", 2},
    };
    for (const auto &c : cases) {
        DirectResult r = call_decoder(caplib::decode_pppoe_session, cat({c.header, payload}));
        EXPECT_EQ(r.text, c.line);
        EXPECT_EQ(r.next, caplib::PROTO_PPP);
        EXPECT_EQ(r.consumed, 6u);
        EXPECT_EQ(r.remaining, c.remaining);
    }
}

TEST(Pppoe, CutTagLineStaysWithinRoom) {
    Frame tags;
    std::string line = "PPPoE 1/1 session_id=0 length=160 Active Discovery Offer (PADO)\n";
    for (int i = 0; i < 20; ++i) {
        tags = cat({tags, hex("0102 0004 41424344")});
        line += " AC-Name=ABCD(4)";
    }
    DirectResult r =
        call_decoder(caplib::decode_pppoe_discovery, cat({hex("1107 0000 00A0"), tags}), 120);
    EXPECT_EQ(r.text, line.substr(0, 119));
    EXPECT_EQ(r.consumed, 166u);
}

[[maybe_unused]] const int kPppoeSamples = add_samples({
    {"pppoe-pado", kEthernet,
     discovery(0x07,
               hex("0101 0003 616263 0102 0002 6162 0121 0010 0A000000 FF000000 C0A80101 00010001"
                   "0111 0002 6869 0201 0001 78 0203 0000"))},
    {"pppoe-session", kEthernet, hex("FFFFFFFFFFFF 00A0C5110233 8864 1100 0011 0004 C021 0101")},
});

}  // namespace
