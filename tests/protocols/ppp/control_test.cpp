// Control packets: header, every code, texts without data, fields cut short.
#include <gtest/gtest.h>

#include <string>

#include "caplib.h"
#include "ppp_support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kPpp = 0;

struct FrameCase {
    const char *name;
    Frame frame;
    std::string text;
};

class ControlPackets : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ControlPackets, DecodesToExactText) {
    EXPECT_EQ(decode(kPpp, GetParam().frame), GetParam().text);
}

const Frame k16 = hex("00010203 04050607 08090A0B 0C0D0E0F");

INSTANTIATE_TEST_SUITE_P(
    Codes, ControlPackets,
    ::testing::Values(
        FrameCase{"Code0", hex("C021 00010004"), "LCP 004#01:Cmd: 0 \n"},
        FrameCase{"Code0WithData", control(0xC021, 0, 1, hex("4142")), "LCP 006#01:Cmd: 0 4142\n"},
        FrameCase{"ConfReqNoData", control(0xC021, 1, 1, {}), "LCP 004#01:ConfReq \n"},
        FrameCase{"ConfAck", control(0xC021, 2, 1, hex("010405DC")), "LCP 008#01:ConfAck MRU(1500) \n"},
        FrameCase{"ConfNak", control(0xC021, 3, 2, hex("010405DC")), "LCP 008#02:ConfNak MRU(1500) \n"},
        FrameCase{"ConfRej", control(0xC021, 4, 3, hex("0702")), "LCP 006#03:ConfRej PFC \n"},
        FrameCase{"TermReq", hex("C021 05090006 4142"), "LCP 006#09:TermReq 4142 \n"},
        FrameCase{"TermReqLowerCase", control(0xC021, 5, 1, hex("ABCD")), "LCP 006#01:TermReq abcd \n"},
        FrameCase{"TermAckNoData", control(0xC021, 6, 1, {}), "LCP 004#01:TermAck \n"},
        FrameCase{"CodeRej16", control(0xC021, 7, 1, k16),
                  "LCP 014#01:CodeRej 000102030405060708090a0b0c0d0e0f \n"},
        FrameCase{"CodeRej17", control(0xC021, 7, 1, cat({k16, hex("FF")})),
                  "LCP 015#01:CodeRej 000102030405060708090a0b0c0d0e0f... \n"},
        FrameCase{"CodeRejNoData", control(0xC021, 7, 1, {}), "LCP 004#01:CodeRej \n"},
        FrameCase{"ProtRej", hex("C021 0803000A 802B 01010004"), "LCP 00A#03:ProtRej IPXcp (802B) \n"},
        FrameCase{"ProtRejUnnamed", control(0xC021, 8, 3, hex("8123")),
                  "LCP 006#03:ProtRej P:8123cp (8123) \n"},
        FrameCase{"EchoReq", hex("C021 09020008 0A0B0C0D"), "LCP 008#02:EchoReq 0A0B0C0D \n"},
        FrameCase{"EchoRep", control(0xC021, 10, 2, hex("0A0B0C0D 01")),
                  "LCP 009#02:EchoRep 0A0B0C0D 01\n"},
        FrameCase{"Discard", hex("C021 0B01000A 0A0B0C0D 6869"),
                  "LCP 00A#01:DISCARD (0a0b0c0d) \"hi\"\n"},
        FrameCase{"IdentEmpty", control(0xC021, 12, 1, hex("0A0B0C0D")),
                  "LCP 008#01:IDENT (0a0b0c0d) \"\"\n"},
        FrameCase{"IdentPrintable", control(0xC021, 12, 1, hex("0A0B0C0D 41 09 80 20 42 00")),
                  "LCP 00E#01:IDENT (0a0b0c0d) \"A_. B.\"\n"},
        FrameCase{"TimeRemaining", control(0xC021, 13, 1, hex("0000003C")),
                  "LCP 008#01:TIME_REMAINING 0000003C \n"},
        FrameCase{"ResetReq", control(0x80FD, 14, 1, hex("01")), "NCcp 005#01:ResetReq 01 \n"},
        FrameCase{"ResetAck", control(0x80FD, 15, 1, {}), "NCcp 004#01:ResetAck \n"},
        FrameCase{"Code16", control(0xC021, 16, 1, {}), "LCP 004#01:Cmd: 10 \n"},
        FrameCase{"Code255", control(0xC021, 255, 1, hex("01")), "LCP 005#01:Cmd: FF 01\n"},
        FrameCase{"FourDigitLength", hex("C021 09011234"), "LCP 1234#01:EchoReq \n"},
        FrameCase{"UnknownProtocol", control(0x8223, 1, 1, hex("0102")),
                  "P:8223cp 006#01:ConfReq 0102\n"}),
    CaseName());

// What codes 1 to 4 print when no byte follows the header.
INSTANTIATE_TEST_SUITE_P(
    NoData, ControlPackets,
    ::testing::Values(
        FrameCase{"PapAck", hex("C023 02050004"), "PAP 004#05:ConfAck Success\n"},
        FrameCase{"PapNak", control(0xC023, 3, 1, {}), "PAP 004#01:ConfNak Failure\n"},
        FrameCase{"PapReq", control(0xC023, 1, 1, {}), "PAP 004#01:ConfReq \n"},
        FrameCase{"PapRej", control(0xC023, 4, 1, {}), "PAP 004#01:ConfRej \n"},
        FrameCase{"ChapAck", control(0xC223, 2, 1, {}), "CHAP 004#01:ConfAck \n"},
        FrameCase{"ChapSuccess", control(0xC223, 3, 1, {}), "CHAP 004#01:ConfNak Success\n"},
        FrameCase{"ChapFailure", control(0xC223, 4, 1, {}), "CHAP 004#01:ConfRej Failure\n"},
        FrameCase{"EapSuccess", control(0xC227, 3, 1, {}), "EAP 004#01:ConfNak Success\n"},
        FrameCase{"EapFailure", control(0xC227, 4, 1, {}), "EAP 004#01:ConfRej Failure\n"},
        FrameCase{"CecpSuccess", control(0xC099, 3, 1, {}), "CECP 004#01:ConfNak Success\n"},
        FrameCase{"CecpFailure", control(0xC099, 4, 1, {}), "CECP 004#01:ConfRej Failure\n"},
        FrameCase{"BacpNak", control(0xC02B, 3, 1, {}), "BACP 004#01:ConfNak \n"},
        FrameCase{"IpcpAck", control(0x8021, 2, 1, {}), "IPcp 004#01:ConfAck \n"}),
    CaseName());

// Fields read at fixed offsets never reach past the frame: what is there is
// dumped.
INSTANTIATE_TEST_SUITE_P(
    CutShort, ControlPackets,
    ::testing::Values(
        FrameCase{"Header", hex("C021 0107"), "LCP 0107\n"},
        FrameCase{"HeaderThreeBytes", hex("C021 010700"), "LCP 010700\n"},
        FrameCase{"ProtRejOneByte", control(0xC021, 8, 3, hex("80")), "LCP 005#03:ProtRej 80\n"},
        FrameCase{"ProtRejNoData", control(0xC021, 8, 3, {}), "LCP 004#03:ProtRej \n"},
        FrameCase{"IdentLengthBelow8", hex("C021 0C010006 0A0B0C0D"),
                  "LCP 006#01:IDENT 0A0B0C0D \n"},
        FrameCase{"IdentMagicCut", hex("C021 0C01000A 0A0B"), "LCP 00A#01:IDENT 0A0B\n"},
        // The message ends with the frame, not where the length field says.
        FrameCase{"DiscardLengthPastFrame", hex("C021 0B010020 0A0B0C0D 6869"),
                  "LCP 020#01:DISCARD (0a0b0c0d) \"hi\"\n"}),
    CaseName());

TEST(ControlPackets, MessageTextStopsAtHundred) {
    Frame f = control(0xC021, 12, 1, cat({hex("01020304"), Frame(150, 'a')}));
    EXPECT_EQ(decode(kPpp, f), "LCP 09E#01:IDENT (01020304) \"" + std::string(100, 'a') + "\"\n");
}

TEST(ControlPackets, LongHexBodiesStopAtTheRoom) {
    // 200 data bytes would print 400 digits: the PPP text stops 7 before
    // the room and says so.
    Frame f = control(0xC021, 5, 1, Frame(200, 0x5A));
    const std::string head = "LCP 0CC#01:TermReq ";
    std::string digits;
    while (digits.size() < 143 - head.size()) digits += "5a";
    digits.resize(143 - head.size());
    EXPECT_EQ(decode(kPpp, f, 150), head + digits + "...\n");
}

}  // namespace
