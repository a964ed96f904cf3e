// LCP options and the option walk they share with the other option lists.
#include <gtest/gtest.h>

#include <string>

#include "caplib.h"
#include "ppp_support.h"

using namespace caplib_test;

namespace {

struct OptionCase {
    const char *name;
    Frame options;
    std::string text;  // behind "ConfReq "
};

class LcpOptions : public ::testing::TestWithParam<OptionCase> {};

// Every case runs in both modes: chain mode through CAPLIB_decode (layer 0)
// and column mode through CAPLIB_decode_ppp.
TEST_P(LcpOptions, ConfReqText) {
    const OptionCase &c = GetParam();
    Frame f = control(0xC021, 1, 1, c.options);
    std::string line = header_text("LCP", c.options.size(), 1) + "ConfReq " + c.text;
    EXPECT_EQ(decode(0, f), line + "\n");
    EXPECT_EQ(decode_ppp(f), "     " + line);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LcpOptions,
    ::testing::Values(
        OptionCase{"Reserved", hex("0002"), "RESERVED "},
        OptionCase{"Mru", hex("010405DC"), "MRU(1500) "},
        OptionCase{"MruWrongLength", hex("010305"), "010305 "},
        OptionCase{"Map", hex("0206000A0000"), "MAP(000A0000) "},
        OptionCase{"Spoof", hex("02040001"), "SPOOF(1) "},
        OptionCase{"Pap", hex("0304C023"), "PAP "},
        OptionCase{"PapLonger", hex("0305C02300"), "AUTH(C023) "},
        OptionCase{"Nwcap", hex("0304C225"), "NWCAP(02) "},
        OptionCase{"NwcapLonger", hex("030EC225 0102030405060708090A"), "NWCAP(0c) "},
        OptionCase{"Chap", hex("0305C22305"), "CHAP "},
        OptionCase{"MsChap", hex("0305C22380"), "MSCHAP "},
        OptionCase{"MsChapV2", hex("0305C22381"), "MSCHAPv2 "},
        OptionCase{"ChapOther", hex("0305C22306"), "CHAP(6) "},
        OptionCase{"ChapWithoutAlgorithm", hex("0304C223"), "AUTH(C223) "},
        OptionCase{"ChapTooLong", hex("0306C2230500"), "AUTH(C223) "},
        OptionCase{"Eap", hex("0304C227"), "EAP "},
        OptionCase{"AuthTooShort", hex("0303C0"), "0303C0 "},
        OptionCase{"Lqrp", hex("0408C025 80000000"), "LQRP(-2147483648) "},
        OptionCase{"LqrpPositive", hex("0408C025 00000BB8"), "LQRP(3000) "},
        OptionCase{"Quality", hex("0404C025"), "QUAL(C025) "},
        OptionCase{"Magic", hex("05060A0B0C0D"), "MAGIC(0A0B0C0D) "},
        OptionCase{"MagicLonger", hex("050A0102030405060708"), "MAGIC(01020304...) "},
        OptionCase{"Pfc", hex("0702"), "PFC "},
        OptionCase{"PfcWrongLength", hex("070300"), "070300 "},
        OptionCase{"Acfc", hex("0802"), "ACFC "},
        OptionCase{"Fcs", hex("090302"), "FCS(2) "},
        OptionCase{"Pad", hex("0A0307"), "PAD(7) "},
        OptionCase{"CallbackAuth", hex("0D0300"), "CB-AUTH "},
        OptionCase{"CallbackDial", hex("0D0601313233"), "CB-DIAL(123) "},
        OptionCase{"CallbackDialEmpty", hex("0D0301"), "CB-DIAL() "},
        OptionCase{"CallbackId", hex("0D05024109"), "CB-ID(A_) "},
        OptionCase{"CallbackE164", hex("0D040380"), "CB-E164(.) "},
        OptionCase{"CallbackName", hex("0D0404 42"), "CB-NAME(B) "},
        OptionCase{"CallbackMs", hex("0D0306"), "CB-MS "},
        OptionCase{"CallbackOther", hex("0D0305"), "CB-5 "},
        OptionCase{"CallbackNoOperation", hex("0D02"), "0D02 "},
        OptionCase{"CallbackDialCut", cat({hex("0D2001"), ascii("0123456789abcdefghijklmnopqrs")}),
                   "CB-DIAL(0123456789abcdefghijklmn) "},
        OptionCase{"Compound", hex("0F02"), "CPFRM "},
        OptionCase{"Mrru", hex("110405F4"), "MRRU(1524) "},
        OptionCase{"ShortSequence", hex("1202"), "SSBHF "},
        OptionCase{"EndpointNull", hex("130300"), "ED "},
        OptionCase{"EndpointNullLonger", hex("13040000"), "13040000 "},
        OptionCase{"EndpointLocal", hex("1305014142"), "ED-LAA(AB) "},
        OptionCase{"EndpointIp", hex("130702C0A80102"), "ED-IP(C0A80102) "},
        OptionCase{"EndpointIpWrongLength", hex("130802C0A8010203"), "130802C0A8010203 "},
        OptionCase{"EndpointMac", hex("130903001122334455"), "ED-MAC(001122334455) "},
        OptionCase{"EndpointMagic", hex("13040441"), "ED-MAG(A) "},
        OptionCase{"EndpointPhone", cat({hex("131605"), ascii("0123456789ABCDEFGHI")}),
                   "ED-PSND(0123456789ABCDE) "},
        OptionCase{"EndpointOther", hex("130306"), "ED-6 "},
        OptionCase{"MultilinkPlus", hex("16040002"), "MP+(2) "},
        OptionCase{"Bap", hex("17040003"), "BAP(3) "},
        OptionCase{"Nscp", hex("1E040004"), "NSCP(4) "},
        OptionCase{"AutoSpoof", hex("200600010002"), "ASPOOF(1:2) "},
        OptionCase{"PscpDisc", hex("200301"), "PSCP(DISC) "},
        OptionCase{"PscpNew", hex("200302"), "PSCP(NEW) "},
        OptionCase{"PscpOpen", hex("200303"), "PSCP(OPEN) "},
        OptionCase{"PscpOther", hex("200304"), "200304 "},
        OptionCase{"DomainName", hex("2105686F73"), "DNAME(hos) "},
        OptionCase{"DomainNameCut", cat({hex("21CA"), Frame(200, 'd')}),
                   "DNAME(" + std::string(124, 'd') + ") "},
        OptionCase{"Cecp", hex("2202"), "CECP "},
        OptionCase{"Unknown", hex("6303AA"), "6303AA "}),
    CaseName());

// The walk itself: its end, its refusal and its short options.
INSTANTIATE_TEST_SUITE_P(
    Walk, LcpOptions,
    ::testing::Values(
        OptionCase{"TwoOptions", hex("010405DC 05060A0B0C0D"), "MRU(1500) MAGIC(0A0B0C0D) "},
        OptionCase{"LengthZero", hex("0000 010405DC"), "00:00MRU(1500) "},
        OptionCase{"LengthOne", hex("0101 0702"), "01:01PFC "},
        OptionCase{"StrayByteIgnored", hex("010405DC 05"), "MRU(1500) "},
        // An option running past the frame turns the whole list into the dump.
        OptionCase{"PastTheEnd", hex("010405DC 05060A0B"), "010405DC 05060A0B "},
        OptionCase{"FirstPastTheEnd", hex("0105 05DC"), "010505DC "}),
    CaseName());

TEST(LcpWalk, OptionsBehindThePacketLengthAreDecoded) {
    // The length field says 8: the MAGIC option lies behind it in the frame.
    Frame f = hex("FF03 C021 01010008 010405DC 05060A0B0C0D");
    EXPECT_EQ(decode(0, f), "LCP 008#01:ConfReq MRU(1500) MAGIC(0A0B0C0D) \n");
}

// One option area can yield far more text than the room; the text stops 7
// before the room and ends in "..." there.
TEST(LcpWalk, LongOptionTextStaysWithinRoom) {
    Frame f = control(0xC021, 1, 1, cat({hex("63FF"), Frame(253, 0x3C)}));
    const std::string full = decode(0, f);
    ASSERT_EQ(full.size(), 19u + 510 + 2);  // header, hex, blank, newline
    EXPECT_EQ(decode(0, f, 300), full.substr(0, 293) + "...\n");
    EXPECT_EQ(decode_ppp(f, 300), ("     " + full).substr(0, 293) + "...");

    Frame many = control(0xC021, 1, 1,
                         cat({hex("010405DC 05060A0B0C0D 0702 0802"), hex("0305C22305 130702C0A80102"),
                              hex("0D0601313233 16040002 17040003")}));
    const std::string line = decode(0, many);
    ASSERT_GT(line.size(), 100u);
    EXPECT_EQ(decode(0, many, 100), line.substr(0, 93) + "...\n");
    EXPECT_EQ(decode(0, many, 100, "\r\n"), line.substr(0, 93) + "...\r\n");
}

// Falling back to the dump after giving up drops the walk's text, even when
// the walk's text had already been cut.
TEST(LcpWalk, GivingUpAfterACutDumpsTheList) {
    Frame opts = cat({hex("010405DC 05060A0B0C0D 0702 0802 0702 0802"), hex("0910")});
    Frame f = control(0xC021, 1, 1, opts);
    EXPECT_EQ(decode_ppp(f, 40), "     LCP 018#01:ConfReq 010405DC ...");
}

}  // namespace
