// PAP, CHAP, EAP and 0xC225 packets.
#include <gtest/gtest.h>

#include <string>

#include "caplib.h"
#include "ppp_support.h"

using namespace caplib_test;

namespace {

constexpr uint16_t kPap = 0xC023, kChap = 0xC223, kEap = 0xC227, kNcap = 0xC225;

const Frame kValue16 = hex("00112233 44556677 8899AABB CCDDEEFF");

[[maybe_unused]] const int kAuthSamples = add_samples({
    {"ppp-pap-request", 0, control(kPap, 1, 1, hex("05 416C696365 03 706177"))},
    {"ppp-chap-response", 0, control(kChap, 2, 1, cat({hex("10"), kValue16, ascii("router")}))},
    {"ppp-eap-identity", 0, control(kEap, 2, 1, hex("01 75736572"))},
    {"ppp-ncap-request", 0, control(kNcap, 1, 1, hex("0004 6E616D65 0007"))},
});

INSTANTIATE_TEST_SUITE_P(
    Pap, PppPackets,
    ::testing::Values(
        PacketCase{"Request", kPap, 1, hex("05 416C696365 03 706177"), "Name \"Alice\" Password \"paw\""},
        PacketCase{"RequestEmpty", kPap, 1, hex("00 00"), "Name \"\" Password \"\""},
        PacketCase{"RequestLongName", kPap, 1, cat({hex("28"), Frame(40, 'a'), hex("00")}),
                   "Name \"" + std::string(31, 'a') + "\" Password \"\""},
        PacketCase{"RequestZeroInName", kPap, 1, hex("03 410042 01 43"), "Name \"A\" Password \"C\""},
        PacketCase{"RequestRawBytes", kPap, 1, hex("02 4109 00"), "Name \"A\t\" Password \"\""},
        // Declines: the fields run past the captured bytes.
        PacketCase{"PasswordPastEnd", kPap, 1, hex("01 41 03 6162"), "01410361 62"},
        PacketCase{"NamePastEnd", kPap, 1, hex("05 4142"), "054142"},
        PacketCase{"OneByte", kPap, 1, hex("00"), "00"},
        PacketCase{"Ack", kPap, 2, hex("05 48656C6C6F"), "Success \"Hello\""},
        PacketCase{"AckLengthByteOnly", kPap, 2, hex("00"), "Success \"\""},
        PacketCase{"AckLengthSaysLess", kPap, 2, hex("01 48656C6C6F"), "Success \"Hello\""},
        PacketCase{"AckLongMessage", kPap, 2, cat({hex("FF"), Frame(100, 'm')}),
                   "Success \"" + std::string(79, 'm') + "\""},
        PacketCase{"Nak", kPap, 3, hex("04 4E6F7065"), "Failure \"Nope\""},
        PacketCase{"CodeFourIsDumped", kPap, 4, hex("0102"), "0102"}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Chap, PppPackets,
    ::testing::Values(
        PacketCase{"Challenge", kChap, 1, cat({hex("10"), kValue16, ascii("router")}), "Name 16:\"router\""},
        PacketCase{"ResponseNoName", kChap, 2, cat({hex("10"), kValue16}), "Name 16:\"\""},
        PacketCase{"LargestValue", kChap, 2, cat({hex("2F"), Frame(47, 1)}), "Name 47:\"\""},
        PacketCase{"LongName", kChap, 1, cat({hex("01 AA"), Frame(100, 'n')}),
                   "Name 1:\"" + std::string(79, 'n') + "\""},
        PacketCase{"ValueTooLarge", kChap, 2, cat({hex("30"), Frame(48, 1)}),
                   grouped(cat({hex("30"), Frame(48, 1)}))},
        PacketCase{"ValuePastEnd", kChap, 2, hex("10 0102"), "100102"},
        PacketCase{"Success", kChap, 3, ascii("Welcome"), "Success \"Welcome\""},
        PacketCase{"Failure", kChap, 4, hex("4E6F"), "Failure \"No\""}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Eap, PppPackets,
    ::testing::Values(
        PacketCase{"Identity", kEap, 1, hex("01 75736572"), "Id:\"user\""},
        PacketCase{"IdentityPrintable", kEap, 1, hex("01 41 09 80 20 42"), "Id:\"A_. B\""},
        PacketCase{"IdentityEmpty", kEap, 1, hex("01"), "Id:\"\""},
        PacketCase{"IdentityCut", kEap, 2, cat({hex("01"), Frame(30, 'i')}),
                   "Id:\"" + std::string(24, 'i') + "\""},
        PacketCase{"Notification", kEap, 1, hex("02 41"), "Not:\"A\""},
        PacketCase{"Nak", kEap, 2, hex("03 04"), "Nak:\".\""},
        PacketCase{"Md5", kEap, 2, hex("04 03 414243"), "MD5:\".ABC\""},
        PacketCase{"Otp", kEap, 1, hex("05 4F"), "OTP:\"O\""},
        PacketCase{"Gtc", kEap, 1, hex("06 47"), "GTC:\"G\""},
        // Unnamed types: the type, then the whole data as the dump.
        PacketCase{"OtherType", kEap, 1, hex("0D 0102"), "(0d) 0D0102"},
        PacketCase{"Success", kEap, 3, ascii("ok"), "Success \"ok\""},
        PacketCase{"Failure", kEap, 4, ascii("no"), "Failure \"no\""}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Ncap, PppPackets,
    ::testing::Values(
        PacketCase{"Request", kNcap, 1, hex("0004 6E616D65 0007"), "Name 7:\"name\""},
        PacketCase{"EmptyName", kNcap, 1, hex("0000 0005"), "Name 5:\"\""},
        PacketCase{"LongName", kNcap, 1, cat({hex("0064"), Frame(100, 'x'), hex("0001")}),
                   "Name 1:\"" + std::string(79, 'x') + "\""},
        // The number behind the name, or the name itself, is not captured.
        PacketCase{"NumberPastEnd", kNcap, 1, hex("0004 6E616D65 00"), "00046E61 6D6500"},
        PacketCase{"NamePastEnd", kNcap, 1, hex("0010 6E61"), "00106E61 "},
        PacketCase{"OneByte", kNcap, 1, hex("00"), "00"},
        PacketCase{"OtherCode", kNcap, 2, hex("0102"), "0102"}),
    CaseName());

// A captured authenticate-ack cut short: its message is the one raw byte.
TEST(PapCapture, TruncatedAck) {
    EXPECT_EQ(decode(0, hex("ff03c023020100049486")), "PAP 004#01:ConfAck Success \"\x86\"\n");
}

}  // namespace
