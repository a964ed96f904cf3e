#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "netbios_support.h"
#include "protocols/netbios/netbios.h"

using namespace caplib_test;
using caplib::Bytes;
using caplib::PROTO_NBSS;
using caplib::PROTO_SMB;

namespace {

Bytes view(const Frame &f) { return Bytes(f.data(), static_cast<uint32_t>(f.size())); }

// A session message header whose length is the SMB's.
Frame session(const Frame &smb_bytes) {
    return cat({hex("0000"), be16(static_cast<uint16_t>(smb_bytes.size())), smb_bytes});
}

std::vector<uint16_t> count_up(uint16_t n) {
    std::vector<uint16_t> w;
    for (uint16_t i = 0; i < n; ++i) w.push_back(static_cast<uint16_t>(i * 100));
    return w;
}

const Frame kNegotiate =
    smb(0x72, 0x18, {}, cat({hex("02"), cstr("PC NETWORK PROGRAM 1.0"), hex("02"), cstr("NT LM 0.12")}),
        {.tid = 0, .pid = 0xFEFF, .uid = 0, .mid = 1});

[[maybe_unused]] const int kSmbSamples = add_samples({
    {"nbss-keepalive", 1, tcp_frame(1025, 139, hex("85000000"))},
    {"nbss-negotiate", 1, tcp_frame(1025, 139, session(kNegotiate))},
    {"nbss-words", 1, tcp_frame(139, 1025, session(smb(0x2E, 0x80, count_up(12), Frame(20, 0x41))))},
});

struct Case {
    const char *name;
    uint32_t proto;
    Frame frame;
    std::string text;
};

class SmbLines : public ::testing::TestWithParam<Case> {};

TEST_P(SmbLines, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(chain(c.proto, c.frame), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Smb, SmbLines,
    ::testing::Values(
        Case{"NegotiateDialects", PROTO_NBSS, session(kNegotiate),
             "SMB-request \"negotiate protocol\"\n"
             "   size=71 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n"
             "   tid=0 pid=65279 uid=0 mid=1 wct=0\n"
             "   \"PC NETWORK PROGRAM 1.0\"\n"
             "   \"NT LM 0.12\"\n"},
        Case{"OneWord", PROTO_SMB, smb(0x2B, 0, {7}),
             "SMB-request \"echo\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=1\n"
             " [00]=    7/0x0007\n"},
        Case{"SixWordsShareALine", PROTO_SMB, smb(0x2E, 0, {0, 1, 2, 65535, 4, 5}),
             "SMB-request \"readX\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=6\n"
             " [00]=    0/0x0000 [01]=    1/0x0001 [02]=    2/0x0002 [03]=65535/0xFFFF "
             "[04]=    4/0x0004 [05]=    5/0x0005\n"},
        Case{"SeventhWordAlone", PROTO_SMB, smb(0x2F, 0, count_up(7)),
             "SMB-request \"writeX\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=7\n"
             " [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C "
             "[04]=  400/0x0190 [05]=  500/0x01F4\n"
             " [06]=  600/0x0258\n"},
        Case{"FifteenWords", PROTO_SMB, smb(0xA2, 0, count_up(15)),
             "SMB-request \"NT create and X\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=15\n"
             " [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C "
             "[04]=  400/0x0190 [05]=  500/0x01F4\n"
             " [06]=  600/0x0258 [07]=  700/0x02BC [08]=  800/0x0320 [09]=  900/0x0384 "
             "[10]= 1000/0x03E8\n"
             " [11]= 1100/0x044C [12]= 1200/0x04B0 [13]= 1300/0x0514 [14]= 1400/0x0578\n"},
        Case{"ResponseShowsHeaderAndWordsOnly", PROTO_SMB,
             smb(0x72, 0x98, {2}, cat({hex("02"), cstr("NT LM 0.12")}), {.tid = 1, .pid = 2, .uid = 3, .mid = 4}),
             "SMB-response \"negotiate protocol\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x98 flg2=0x0\n"
             "   tid=1 pid=2 uid=3 mid=4 wct=1\n"
             " [00]=    2/0x0002\n"},
        Case{"WrongSignatureStillDecodes", PROTO_SMB,
             cat({hex("FE534D42"), tail(smb(0x04, 0, {}), 4)}),
             "SMB signature not found\n"
             "SMB-request \"close\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"UnnamedCommand", PROTO_SMB, smb(0xFF, 0, {}),
             "SMB-request \"0xff\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"SessionSetupShowsNoMore", PROTO_SMB, smb(0x73, 0, {0xFF}, cstr("user")),
             "SMB-request \"Session Setup & X (user logon)\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=1\n"
             " [00]=  255/0x00FF\n"},
        Case{"ErrorFields", PROTO_SMB,
             cat({hex("FF534D42 2D 02 07 1600 80 0340"), Frame(12, 0), hex("0100 0200 0300 0400 00 0000")}),
             "SMB-response \"openX\"\n"
             "   size=0 cls=2 reh=7 err=22 flg=0x80 flg2=0x4003\n"
             "   tid=1 pid=2 uid=3 mid=4 wct=0\n"},
        Case{"SizeTakesBit16", PROTO_NBSS, cat({hex("0001002F"), smb(0x2B, 0x80, {})}),
             "SMB-response \"echo\"\n"
             "   size=65583 cls=0 reh=0 err=0 flg=0x80 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"SizeWithoutBit16", PROTO_NBSS, cat({hex("00FE002F"), smb(0x2B, 0x80, {})}),
             "SMB-response \"echo\"\n"
             "   size=47 cls=0 reh=0 err=0 flg=0x80 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        // What cannot be read ends the decoding with what was shown.
        Case{"HeaderOf32Bytes", PROTO_SMB, head(smb(0x2B, 0, {}), 32),
             "sliced SMB header\n"},
        Case{"WordsCutShort", PROTO_SMB, head(smb(0x2F, 0, count_up(8)), 33 + 15),
             "SMB-request \"writeX\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=8\n"
             " [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C "
             "[04]=  400/0x0190 [05]=  500/0x01F4\n"
             " [06]=  600/0x0258\n"
             "sliced SMB header\n"},
        Case{"WordsCutAfterSixth", PROTO_SMB, head(smb(0x2F, 0, count_up(8)), 33 + 12),
             "SMB-request \"writeX\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=8\n"
             " [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C "
             "[04]=  400/0x0190 [05]=  500/0x01F4\n"
             "sliced SMB header\n"},
        Case{"ByteCountMissing", PROTO_SMB, head(kNegotiate, 34),
             "SMB-request \"negotiate protocol\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n"
             "   tid=0 pid=65279 uid=0 mid=1 wct=0\n"
             "sliced SMB header\n"},
        Case{"DialectWithoutTerminator", PROTO_SMB, head(kNegotiate, kNegotiate.size() - 1),
             "SMB-request \"negotiate protocol\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n"
             "   tid=0 pid=65279 uid=0 mid=1 wct=0\n"
             "   \"PC NETWORK PROGRAM 1.0\"\n"},
        // The byte count, not the frame, bounds the list; strings are shown
        // as their bytes are.
        Case{"ByteCountBoundsDialects", PROTO_SMB,
             cat({head(kNegotiate, 33), le16(5), hex("02"), cstr("A\tB"),
                  hex("02"), cstr("never")}),
             "SMB-request \"negotiate protocol\"\n"
             "   size=0 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n"
             "   tid=0 pid=65279 uid=0 mid=1 wct=0\n"
             "   \"A\tB\"\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Smb, CommandNames) {
    const std::pair<uint8_t, const char *> kNames[] = {
        {0x00, "mkdir"},    {0x09, "setaddr"},   {0x15, "0x15"},         {0x1B, "readBmpX"},
        {0x21, "0x21"},     {0x25, "trans"},     {0x35, "findnclose"},   {0x36, "0x36"},
        {0x75, "tree connect and X"},            {0x84, "fclose"},       {0xA1, "NT transact secondary "},
        {0xA3, "0xa3"},     {0xC3, "return print queue"},                {0xD7, "sendtxt"},
        {0xD8, "0xd8"},     {0xFE, "invalid"},   {0xFF, "0xff"},
    };
    for (auto [code, name] : kNames) EXPECT_STREQ(caplib::smb_command_name(code), name) << int{code};
}

TEST(Smb, EscapeShowsUnprintableBytesInOctal) {
    Frame s = cat({ascii("a\tb"), hex("E9 7E 7F 20"), Frame{0}, ascii("after")});
    EXPECT_STREQ(caplib::smb_escape(view(s), 0), "a\\011b\\351~\\177 ");
    EXPECT_STREQ(caplib::smb_escape(view(s), 1), "\\011b\\351~\\177 ");
}

TEST(Smb, EscapeStopsAtTheEndOfTheView) {
    Frame s = ascii("abc");
    EXPECT_STREQ(caplib::smb_escape(view(s), 0), "abc");
    EXPECT_STREQ(caplib::smb_escape(view(s), 3), "");
    EXPECT_STREQ(caplib::smb_escape(view(s), 9), "");
}

TEST(Smb, EscapeStopsAtItsLimit) {
    // Each 0x01 takes four characters: the 255th passes 1019.
    Frame s(400, 0x01);
    EXPECT_EQ(std::string(caplib::smb_escape(view(s), 0)).size(), 1020u);
    Frame t(2000, 'x');
    EXPECT_EQ(std::string(caplib::smb_escape(view(t), 0)).size(), 1019u);
}

TEST(Smb, NarrowTakesLowBytes) {
    Frame s = cat({hex("4100 42FF 0001 4300"), le16(0)});
    EXPECT_STREQ(caplib::smb_narrow(view(s), 0), "AB");
    EXPECT_STREQ(caplib::smb_narrow(view(wstr("alice")), 0), "alice");
    EXPECT_STREQ(caplib::smb_narrow(view(hex("41 00 42")), 0), "AB");  // view ends
    Frame long_s(3000, 'y');
    EXPECT_EQ(std::string(caplib::smb_narrow(view(long_s), 0)).size(), 1022u);
}

TEST(Smb, RingHoldsEightResults) {
    Frame s = cat({cstr("a"), cstr("b"), cstr("c"), cstr("d"), cstr("e"), cstr("f"), cstr("g"),
                   cstr("h"), cstr("i")});
    const char *r[9];
    for (uint32_t i = 0; i < 9; ++i)
        r[i] = i % 2 ? caplib::smb_escape(view(s), 2 * i) : caplib::smb_narrow(view(s), 2 * i);
    EXPECT_STREQ(r[1], "b");
    EXPECT_STREQ(r[7], "h");
    EXPECT_EQ(r[0], r[8]);
    EXPECT_STREQ(r[0], "i");
}

TEST(Smb, SkipStrings) {
    Frame s = cat({cstr("one"), cstr(""), cstr("three"), ascii("open")});
    EXPECT_EQ(caplib::smb_skip_strings(view(s), 0, 0), 0u);
    EXPECT_EQ(caplib::smb_skip_strings(view(s), 0, 1), 4u);
    EXPECT_EQ(caplib::smb_skip_strings(view(s), 0, 3), 11u);
    EXPECT_EQ(caplib::smb_skip_strings(view(s), 0, 4), std::nullopt);
    EXPECT_EQ(caplib::smb_skip_strings(view(s), 40, 1), std::nullopt);
}

TEST(Smb, SkipWideStrings) {
    // A unit whose low byte is 0 ends a string, whatever its high byte.
    Frame s = cat({hex("4100 0001 4200"), le16(0), hex("43")});
    EXPECT_EQ(caplib::smb_skip_wide_strings(view(s), 0, 1), 4u);
    EXPECT_EQ(caplib::smb_skip_wide_strings(view(s), 0, 2), 8u);
    EXPECT_EQ(caplib::smb_skip_wide_strings(view(s), 0, 3), std::nullopt);
}

TEST(Smb, NameEqual) {
    const char *same = "\\MAILSLOT\\BROWSE";
    EXPECT_TRUE(caplib::smb_name_equal(same, same));
    EXPECT_TRUE(caplib::smb_name_equal("\\mailslot\\browse", "\\MAILSLOT\\BROWSE"));
    EXPECT_FALSE(caplib::smb_name_equal("\\MAILSLOT\\BROWS", "\\MAILSLOT\\BROWSE"));
    EXPECT_FALSE(caplib::smb_name_equal("\\MAILSLOT\\BROWSEX", "\\MAILSLOT\\BROWSE"));
    EXPECT_FALSE(caplib::smb_name_equal(std::string_view(), "x"));
    EXPECT_FALSE(caplib::smb_name_equal("", std::string_view()));
    EXPECT_TRUE(caplib::smb_name_equal(std::string_view(), std::string_view()));
}

TEST(Smb, NameFromRawKeepsTrailingBlanks) {
    Frame raw = nb_raw("PC1", 0x20);
    EXPECT_STREQ(caplib::nb_name_text(caplib::nb_name_from_raw(view(raw), 0)),
                 "PC1            (20/Server)");
    Frame zeros = cat({ascii("SRV"), Frame(12, 0), Frame{0xBE}});
    EXPECT_STREQ(caplib::nb_name_text(caplib::nb_name_from_raw(view(zeros), 0)),
                 "SRV(be/Network-Monitor-Agent)");
    Frame full = cat({ascii("ABCDEFGHIJKLMNO"), Frame{0x1B}});
    EXPECT_STREQ(caplib::nb_name_text(caplib::nb_name_from_raw(view(full), 0)),
                 "ABCDEFGHIJKLMNO(1b/Domain-Main-Browser)");
}

TEST(Smb, SeparatorGoesInWholeOrNotAtAll) {
    // A room whose last free byte falls right after word 5: with "\r\n"
    // the separator cannot go in whole, so decoding ends there.
    Frame f = smb(0x2F, 0, count_up(7));
    std::string full = chain(PROTO_SMB, f, 8192, "\r\n");
    size_t after_word5 = full.find("0x01F4") + 6;
    std::string t = chain(PROTO_SMB, f, static_cast<uint32_t>(after_word5 + 2), "\r\n");
    EXPECT_EQ(t, full.substr(0, after_word5));
    t = chain(PROTO_SMB, f, static_cast<uint32_t>(after_word5 + 3), "\r\n");
    EXPECT_EQ(t, full.substr(0, after_word5 + 2));
}

TEST(Smb, EveryRoomGivesAPrefixOfTheText) {
    Frame f = session(smb(0x72, 0x18, count_up(12), cat({hex("02"), cstr("NT LM 0.12")})));
    expect_cut_texts(PROTO_NBSS, f, 100);
}

TEST(Smb, EveryTruncationStaysInsideTheFrame) {
    Frame f = session(smb(0x72, 0x18, count_up(3), cat({hex("02"), cstr("NT LM 0.12")})));
    decode_every_prefix(PROTO_NBSS, f);
}

}  // namespace
