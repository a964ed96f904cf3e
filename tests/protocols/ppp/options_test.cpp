// Option decoders of the network and other control protocols, BACP and BAP.
#include <gtest/gtest.h>

#include <string>

#include "caplib.h"
#include "ppp_support.h"

using namespace caplib_test;

TEST_P(PppPackets, ExactTextInBothModes) {
    const PacketCase &c = GetParam();
    Frame f = control(c.proto, c.code, 1, c.data);
    std::string line = packet_line(c);
    EXPECT_EQ(decode(0, f), line + "\n");
    EXPECT_EQ(decode_ppp(f), "     " + line);
}

namespace {

constexpr uint16_t kIpcp = 0x8021, kIpxcp = 0x802B, kAtcp = 0x8029, kCcp = 0x80FD, kLinkCcp = 0x80FB,
                   kEcp = 0x8053, kLinkEcp = 0x8055, kScp = 0x8889, kNscp = 0x8077, kRecp = 0xC089,
                   kCbcp = 0xC029, kBacp = 0xC02B, kCecp = 0xC099;

const Frame kVendor12 = hex("000C 000000 04 03 02 01 00 07 09");

[[maybe_unused]] const int kOptionSamples = add_samples({
    {"ppp-ipcp-confreq", 0, control(kIpcp, 1, 1, hex("0306C0A80001 81060A000001 0206002D0F01 C002"))},
    {"ppp-ipxcp-confreq", 0, control(kIpxcp, 1, 1, hex("0106 0000002A 0508 726F75746572 C002"))},
    {"ppp-atcp-confreq", 0, control(kAtcp, 1, 1, hex("060D 0001 0002 0003 4142434445 0706 486F6D65"))},
    {"ppp-ccp-confreq", 0, control(kCcp, 1, 1, hex("1105 000103 1206 01000001 1100"))},
    {"ppp-ecp-vendor", 0, control(kEcp, 1, 1, hex("0014 000000 04 03 02 01 00 07 09 0C0D0E0F 10111213"))},
    {"ppp-ecp-short", 0, control(kEcp, 1, 1, hex("0203 12 0202 0008 0102030405 06"))},
    {"ppp-nscp-confreq", 0, control(kNscp, 1, 1, hex("0205 0A0B0C 0507 0102 313233 0706 4E616D65"))},
    {"ppp-cbcp-request", 0, control(kCbcp, 1, 1, hex("020B 05 01 313233343536 00 0102"))},
    {"ppp-bap-callback", 0, hex("FF03 C02D 03020011 020B 010303 020635353531 0604 0001")},
});

INSTANTIATE_TEST_SUITE_P(
    Bacp, PppPackets,
    ::testing::Values(
        PacketCase{"Favored", kBacp, 1, hex("0106 12345678"), "FAVORED(0x12345678) "},
        PacketCase{"FavoredSmall", kBacp, 2, hex("0106 0000000A"), "FAVORED(0xa) "},
        PacketCase{"FavoredWrongLength", kBacp, 3, hex("0104 0000"), "01040000 "},
        PacketCase{"Unknown", kBacp, 4, hex("0203 01"), "020301 "},
        PacketCase{"PastEnd", kBacp, 1, hex("0106 1234"), "01061234 "},
        PacketCase{"CecpRequest", kCecp, 1, hex("0106 12345678"), "FAVORED(0x12345678) "},
        PacketCase{"CecpNakIsDumped", kCecp, 3, hex("0106 12345678"), "01061234 5678"},
        PacketCase{"CecpRejIsDumped", kCecp, 4, hex("01"), "01"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Ipcp, PppPackets,
    ::testing::Values(
        PacketCase{"AddressAndDns", kIpcp, 1, hex("0306C0A80001 81060A000001"),
                   "IP(192.168.0.1) DNSp(10.0.0.1) "},
        PacketCase{"OldAddress", kIpcp, 1, hex("0106C0A80002"), "IPO(192.168.0.2) "},
        PacketCase{"OldAddressPair", kIpcp, 1, hex("010A C0A80001 C0A80002"), "010AC0A80001C0A80002 "},
        PacketCase{"VjCompression", kIpcp, 1, hex("0206002D0F01"), "COMP(002D,0F01) "},
        PacketCase{"CompressionShort", kIpcp, 1, hex("0204002D"), "0204002D "},
        PacketCase{"NameServers", kIpcp, 3, hex("82060A000002 83060A000003 84060A000004"),
                   "NBNSp(10.0.0.2) DNSs(10.0.0.3) NBNSs(10.0.0.4) "},
        PacketCase{"Nbs", kIpcp, 2, hex("C002"), "NBS "},
        PacketCase{"NbsLonger", kIpcp, 2, hex("C00300"), "C00300 "},
        PacketCase{"LengthZero", kIpcp, 4, hex("0300 0306C0A80001"), "03:00IP(192.168.0.1) "},
        PacketCase{"StrayByte", kIpcp, 1, hex("0306C0A80001 03"), "IP(192.168.0.1) "},
        PacketCase{"PastEnd", kIpcp, 1, hex("0306C0A80001 81060A00"), "0306C0A8 00018106 0A00"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Ipxcp, PppPackets,
    ::testing::Values(
        PacketCase{"Network", kIpxcp, 1, hex("0106 0000002A"), "NET(0000002A) "},
        PacketCase{"Node", kIpxcp, 1, hex("0208 00001B2C3D4E"), "NODE(00001B2C3D4E) "},
        PacketCase{"Compression", kIpxcp, 1, hex("0306 0002 0010"), "COMP(0002,0010) "},
        PacketCase{"Routing", kIpxcp, 1, hex("0404 0002"), "ROUTE(0002) "},
        PacketCase{"Name", kIpxcp, 1, hex("0507 726F757465"), "NAME(\"route\") "},
        PacketCase{"NameEmpty", kIpxcp, 1, hex("0502"), "0502 "},
        PacketCase{"NameZero", kIpxcp, 1, hex("0505 410042"), "NAME(\"A\") "},
        PacketCase{"NameCut", kIpxcp, 1, cat({hex("053E"), Frame(60, 'n')}),
                   "NAME(\"" + std::string(47, 'n') + "\") "},
        PacketCase{"Complete", kIpxcp, 2, hex("0602"), "COMPLETE "},
        PacketCase{"Vendor", kIpxcp, 2, hex("C002 C102 C202 C302 C402"), "SPX WTG NCP NDS LSP "},
        PacketCase{"SpxLonger", kIpxcp, 3, hex("C00300"), "C00300 "},
        PacketCase{"PastEnd", kIpxcp, 1, hex("0208 0000"), "02080000 "}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Atcp, PppPackets,
    ::testing::Values(
        PacketCase{"Address", kAtcp, 1, hex("0106 00123456"), "ADR(00123456) "},
        PacketCase{"AddressHighBit", kAtcp, 1, hex("0106 80123456"), "ADR(80123456) "},
        PacketCase{"Words", kAtcp, 1, hex("0204 0001 0304 0002 0404 0003"),
                   "ROUTE(0001) BROAD(0002) COMP(0003) "},
        PacketCase{"Server", kAtcp, 1, hex("060D 0001 0002 0003 4142434445"),
                   "SERVER(0001,00020003,\"ABCDE\") "},
        PacketCase{"ServerWithoutName", kAtcp, 1, hex("0608 0001 0002 0003"), "0608000100020003 "},
        PacketCase{"Zone", kAtcp, 2, hex("0706 486F6D65"), "ZONE(\"Home\") "},
        PacketCase{"ZoneCut", kAtcp, 2, cat({hex("0778"), Frame(118, 'z')}),
                   "ZONE(\"" + std::string(95, 'z') + "\") "},
        PacketCase{"Router", kAtcp, 3, hex("0806 0001 0002"), "ROUTER(00010002) "},
        PacketCase{"Unknown", kAtcp, 4, hex("0502"), "0502 "}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Ccp, PppPackets,
    ::testing::Values(
        PacketCase{"Stac", kCcp, 1, hex("1105 000103"), "Stac(000103) "},
        PacketCase{"Microsoft", kCcp, 1, hex("1206 01000001"), "Microsoft(01000001) "},
        PacketCase{"UnknownType", kCcp, 1, hex("1A04 0F0F"), "1a(0F0F) "},
        PacketCase{"Oui", kCcp, 1, hex("0006 00000401"), "OUI(00000401) "},
        PacketCase{"OuiTooShort", kCcp, 1, hex("0004 1234"), "00(1234) "},
        PacketCase{"Named", kCcp, 2, hex("0102 0202 0302 1002 1302 1402 1503 0F"),
                   "PREDICTOR1() PREDICTOR2() PuddleJmp() HP() Gandalf() V42bis() BSD(0F) "},
        PacketCase{"LengthZero", kCcp, 3, hex("1100 1503 0F"), "11() BSD(0F) "},
        PacketCase{"LengthOne", kCcp, 3, hex("0101"), "01() "},
        PacketCase{"PastEnd", kCcp, 4, hex("1105 0001"), "11050001 "},
        PacketCase{"LinkCcp", kLinkCcp, 1, hex("1105 000103"), "Stac(000103) "}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Ecp, PppPackets,
    ::testing::Values(
        PacketCase{"Vendor", kEcp, 1, kVendor12, "ZEK(TWOFISH 3.2 1.0.7 (9)) "},
        PacketCase{"VendorUnnamed", kEcp, 1, hex("000C 000000 14 03 02 01 00 07 09"), "ZEK(20 3.2 1.0.7 (9)) "},
        PacketCase{"VendorDummy", kEcp, 1, hex("000C 000000 FF 01 02 03 04 05 06"), "ZEK(DUMMY 1.2 3.4.5 (6)) "},
        PacketCase{"VendorLast", kEcp, 1, hex("000C 000000 0A 01 02 03 04 05 06"),
                   "ZEK(TWOFISH2048 1.2 3.4.5 (6)) "},
        PacketCase{"VendorKey", kEcp, 1, hex("0014 000000 04 03 02 01 00 07 09 0C0D0E0F 10111213"),
                   "ZEK(TWOFISH 3.2 1.0.7 (9) :0c0d0e0f 10111213) "},
        PacketCase{"VendorOneKeyByte", kEcp, 1, hex("000D 000000 01 01 00 00 00 00 00 AB"),
                   "ZEK(IDEA 1.0 0.0.0 (0) :ab) "},
        PacketCase{"Evend", kEcp, 1, hex("0008 010203 04 0506"), "EVEND(010203:04 05 06) "},
        PacketCase{"EvendShortest", kEcp, 1, hex("0006 01020304"), "EVEND(010203:04) "},
        PacketCase{"Crypt", kEcp, 2, hex("0204 1234"), "CRYPT($1234 12 34) "},
        PacketCase{"CryptSmallValue", kEcp, 2, hex("0004 0012"), "CRYPT($12 00 12) "},
        // Too short for a 16-bit value: only the bytes that are there.
        PacketCase{"CryptNoValue", kEcp, 3, hex("0202"), "CRYPT() "},
        PacketCase{"CryptOneByte", kEcp, 3, hex("0203 12"), "CRYPT( 12) "},
        PacketCase{"TypeOne", kEcp, 4, hex("0104 0000"), "01040000 "},
        PacketCase{"LengthOne", kEcp, 4, hex("0201"), "02:01"},
        PacketCase{"TwoOptions", kEcp, 1, hex("0204 1234 0008 0102030405 06"),
                   "CRYPT($1234 12 34) EVEND(010203:04 05 06) "},
        PacketCase{"PastEnd", kEcp, 1, hex("000C 000000 04"), "000C0000 0004"},
        PacketCase{"LinkEcp", kLinkEcp, 1, kVendor12, "ZEK(TWOFISH 3.2 1.0.7 (9)) "}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Remaining, PppPackets,
    ::testing::Values(
        PacketCase{"ScpDiscFinal", kScp, 1, hex("0104 003C 0403 01"), "DISC(60) FINAL(1) "},
        PacketCase{"ScpWrongLength", kScp, 1, hex("0105 003C00"), "0105003C00 "},
        PacketCase{"NscpSpoof", kNscp, 1, hex("0205 0A0B0C"), "SPOOF(0a 0b 0c) "},
        PacketCase{"NscpSpoofOneByte", kNscp, 1, hex("0203 FF"), "SPOOF(ff) "},
        PacketCase{"NscpEmptyNames", kNscp, 1, hex("0702 0504 0102"), "CBNAME(\"\") CBNR(1,2:\"\") "},
        PacketCase{"NscpNames", kNscp, 2, hex("0507 0102 313233 0706 4E616D65"),
                   "CBNR(1,2:\"123\") CBNAME(\"Name\") "},
        PacketCase{"NscpNameCut", kNscp, 2, cat({hex("077A"), Frame(120, 'c')}),
                   "CBNAME(\"" + std::string(95, 'c') + "\") "},
        PacketCase{"NscpNumbers", kNscp, 3, hex("0104 0005 0304 05DC 0403 02"), "DISC(5) MAXS(1500) FINAL(2) "},
        PacketCase{"RecpValues", kRecp, 1, hex("010300 010301 010302 010303"), "DIS DISC NEW OPEN "},
        PacketCase{"RecpOtherValue", kRecp, 1, hex("010304"), "010304 "},
        PacketCase{"RecpWrongLength", kRecp, 1, hex("0104 0000"), "01040000 "},
        PacketCase{"CbcpUserNumber", kCbcp, 1, hex("020B 05 01 313233343536 00"), "CB-USER(5:123456) "},
        PacketCase{"CbcpUserEmptyNumber", kCbcp, 1, hex("0205 05 01 00"), "CB-USER(5:) "},
        PacketCase{"CbcpUserNoNumber", kCbcp, 2, hex("0203 05 0204 0601"), "CB-USER(5) CB-USER(6) "},
        PacketCase{"CbcpNoCallback", kCbcp, 2, hex("0102"), "CB-NO "},
        PacketCase{"CbcpLengthOne", kCbcp, 2, hex("0101"), "01:01"},
        PacketCase{"CbcpAdminList", kCbcp, 3, hex("0303 07 0402"), "CB-ADMIN(7) CB-LIST "},
        PacketCase{"CbcpPastEnd", kCbcp, 1, hex("020B 05 01 3132"), "020B0501 3132"}),
    CaseName());

// ---- BAP: the packet behind the protocol field is the decoder's own ------

struct BapCase {
    const char *name;
    Frame packet;
    std::string text;
};

void PrintTo(const BapCase &c, std::ostream *os) { *os << c.name; }

class BapPackets : public ::testing::TestWithParam<BapCase> {};

TEST_P(BapPackets, ExactTextInBothModes) {
    Frame f = cat({hex("FF03 C02D"), GetParam().packet});
    EXPECT_EQ(decode(0, f), "BAP " + GetParam().text + "\n");
    EXPECT_EQ(decode_ppp(f), "     BAP " + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Bap, BapPackets,
    ::testing::Values(
        BapCase{"CallRequest", hex("01050009 0105 0040 01"), "Call-Request ID(5): SPEED(64) ISDN"},
        BapCase{"CallResponseAck", hex("02060007 00 0302"), "Call-Response(ACK) ID(6): NoNumNeed"},
        BapCase{"ResponseBad", hex("02070004"), "Call-Response(BAD) ID(7):"},
        BapCase{"ResponseCodes", hex("04010005 01"), "Callback-Response(NAK) ID(1):"},
        BapCase{"ResponseRej", hex("06010005 02"), "LinkDropQuery-Response(REJ) ID(1):"},
        BapCase{"ResponseFullNak", hex("08010005 03"), "CallStatus-Response(FULL-NAK) ID(1):"},
        BapCase{"ResponseIllegal", hex("02010005 04"), "Call-Response(Illegal) ID(1):"},
        BapCase{"TypeNine", hex("09010004"), "Unkown ID(1):"},
        BapCase{"TypeZero", hex("00010005 01"), "Unkown(NAK) ID(1):"},
        BapCase{"PhoneDelta", hex("0302000F 020B 010303 020635353531"),
                "Callback-Request ID(2): UNIQUE(3) PHONE:\"5551\""},
        BapCase{"PhoneDeltaSubAddress", hex("0302000D 0209 03044142 090300"),
                "Callback-Request ID(2): SUB:\"AB\""},
        BapCase{"UniqueWithoutValue", hex("0302000A 0204 0102 0302"), "Callback-Request ID(2): NoNumNeed"},
        BapCase{"CallStatus", hex("0703000C 06040001 06040500"),
                "CallStatus-Indication ID(3): Status(0x0) Retry Status(0x5) No retry"},
        BapCase{"Note", hex("01050009 0405686579"), "Call-Request ID(5): NOTE:\"hey\""},
        BapCase{"LinkDrop", hex("05040008 05040102"), "LinkDropQuery-Request ID(4): LD(258)"},
        BapCase{"UnknownOption", hex("01050008 09044142"), "Call-Request ID(5): 9:\"AB\""},
        BapCase{"LinkTypes",
                hex("0105002D 0105004002 0105004004 0105004008 0105004010 0105004020 0105004040"
                    "010500407E 0105004080"),
                "Call-Request ID(5): SPEED(64) X.25 SPEED(64) ANALOG SPEED(64) SWITCHED DIGITAL"
                " SPEED(64) ISDN DATA OVER VOICE SPEED(64) RESERVED($20) SPEED(64) RESERVED($40)"
                " SPEED(64) RESERVED($7e) SPEED(64) TYPE($80)"},
        // Options too short for their fixed fields show as unknown options.
        BapCase{"SpeedShort", hex("01050008 01040040"), "Call-Request ID(5): 1:\".@\""},
        BapCase{"LinkDropShort", hex("05040007 050301"), "LinkDropQuery-Request ID(4): 5:\".\""},
        BapCase{"StatusShort", hex("07030007 060300"), "CallStatus-Indication ID(3): 6:\".\""},
        // An option shorter than its header makes the packet a dump; one
        // running past the frame ends the text.
        BapCase{"OptionLengthOne", hex("01050006 0701"), "01050006 0701"},
        BapCase{"SubOptionLengthOne", hex("03020009 0205 0101 00"), "03020009 02050101 00"},
        BapCase{"OptionPastEnd", hex("01050008 0105 0040"), "Call-Request ID(5):"},
        BapCase{"StrayByte", hex("01050005 03"), "Call-Request ID(5):"},
        BapCase{"ShorterThanHeader", hex("010500"), "010500"}),
    CaseName());

// ---- room -----------------------------------------------------------------

// Option texts far longer than the room stop 7 before it and end in "...".
TEST(OptionRoom, LongOptionAreasStayWithinRoom) {
    Frame names = control(kNscp, 1, 1, cat({hex("07FF"), Frame(253, 'c'), hex("07FF"), Frame(253, 'd')}));
    const std::string full = decode(0, names);
    ASSERT_GT(full.size(), 200u);
    for (uint32_t room : {100u, 101u, 150u, 199u}) {
        EXPECT_EQ(decode(0, names, room), full.substr(0, room - 7) + "...\n") << room;
        EXPECT_EQ(decode_ppp(names, room), ("     " + full).substr(0, room - 7) + "...") << room;
    }
    Frame vendor = control(kEcp, 1, 1, cat({hex("00FF 000000 04 03 02 01 00 07 09"), Frame(243, 0xEE)}));
    const std::string key = decode(0, vendor);
    EXPECT_EQ(decode(0, vendor, 120), key.substr(0, 113) + "...\n");
}

}  // namespace
