#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "netbios_support.h"
#include "protocols/direct_call.h"

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

// What the text does not show: the id each decoder names and how far it
// moves the cursor.
struct Step {
    const char *name;
    caplib::Decoder decoder;
    Frame frame;
    size_t room;
    uint32_t next;
    uint32_t consumed;
};

class ChainStep : public ::testing::TestWithParam<Step> {};

TEST_P(ChainStep, NamesNextAndConsumes) {
    const Step &s = GetParam();
    DirectResult r = call_decoder(s.decoder, s.frame, s.room);
    EXPECT_EQ(r.next, s.next);
    EXPECT_EQ(r.consumed, s.consumed);
}

const Frame kDatagram =
    dgram(0x12, 0x02, cat({nb_encode("PC1", 0), nb_encode("WORKGROUP", 0x1E), kNegotiateResponse}));

INSTANTIATE_TEST_SUITE_P(
    Netbios, ChainStep,
    ::testing::Values(
        Step{"SessionMessage", caplib::decode_nbss, cat({hex("00000025"), kNegotiateResponse}), 8192, caplib::PROTO_SMB, 4},
        Step{"KeepAlive", caplib::decode_nbss, hex("85000000"), 8192, 0, 4},
        Step{"SessionRequest", caplib::decode_nbss, hex("81000000"), 8192, 0, 4},
        Step{"ShortSession", caplib::decode_nbss, hex("000000"), 8192, 0, 0},
        Step{"NameServiceConsumesNothing", caplib::decode_nbns, cat({hex("1234 0000 0000 0000 0000 0000")}), 8192, 0, 0},
        Step{"DatagramHandsOnUserData", caplib::decode_nbds, kDatagram, 8192, caplib::PROTO_SMB, 14 + 68},
        Step{"DatagramCutTextConsumesNothing", caplib::decode_nbds, kDatagram, 120, 0, 0},
        Step{"QueryRequestConsumesNothing", caplib::decode_nbds, dgram(0x14, 0, nb_encode("PC1", 0)), 8192, 0, 0},
        Step{"SmbConsumesNothing", caplib::smb_decode, kNegotiateResponse, 8192, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
