#include <gtest/gtest.h>

#include <string>

#include "netbios_support.h"

using namespace caplib_test;
using caplib::PROTO_SMB;

namespace {

// A 16-byte name field as browsers fill it: the name, zeros, the suffix.
Frame raw16(std::string_view name, uint8_t suffix) {
    Frame f = ascii(name);
    f.resize(15, 0);
    f.push_back(suffix);
    return f;
}

// Host, domain and local master announcements share their layout.
Frame announce(uint8_t opcode, std::string_view comment) {
    return cat({Frame{opcode, 3}, le32(720000), raw16("PC1", 0x20), Frame{4, 0}, le32(0x00051003),
                Frame{15, 1}, le16(0xAA55), cstr(comment)});
}

// What the SMB decoder shows after the words of a transaction request.
std::string mailslot_text(const Frame &smb_bytes, uint32_t room = 8192) {
    std::string t = chain(PROTO_SMB, smb_bytes, room);
    size_t words_end = t.find('\n', t.find(" [16]="));
    return words_end == std::string::npos ? "<no words>" : t.substr(words_end + 1);
}

const Frame kAnnouncement = trans_request("\\MAILSLOT\\BROWSE", announce(1, "Hello world"));

// Mailslot messages in broadcast datagrams, as they travel.
Frame in_datagram(const Frame &smb_bytes) {
    return udp_frame(138, 138, dgram(0x11, 0x02, cat({nb_encode("PC1", 0x00), nb_encode("WORKGROUP", 0x1D),
                                                      smb_bytes})));
}

[[maybe_unused]] const int kMailslotSamples = add_samples({
    {"mailslot-host-announcement", 1, in_datagram(kAnnouncement)},
    {"mailslot-election", 1,
     in_datagram(trans_request("\\MAILSLOT\\BROWSE",
                               cat({Frame{8, 1}, le32(0x20011003), le32(3600000), le32(0), raw16("PC2", 0)})))},
    {"mailslot-domain-logon", 1,
     in_datagram(trans_request("\\MAILSLOT\\NET\\NETLOGON",
                               cat({le16(0), cstr("PC1"), cstr("alice"), cstr("\\MAILSLOT\\TEMP\\NETLOGON"),
                                    hex("00"), le16(1), le16(0xFFFF)})))},
    {"mailslot-getdc042", 1,
     in_datagram(trans_request("\\MAILSLOT\\NET\\GETDC042",
                               cat({hex("0000"), wstr("PDC1"), wstr("alice"), wstr("CORP")})))},
});

struct Case {
    const char *name;
    Frame smb;
    std::string text;
};

class Mailslot : public ::testing::TestWithParam<Case> {};

TEST_P(Mailslot, ShowsTheMessageLine) {
    const Case &c = GetParam();
    EXPECT_EQ(mailslot_text(c.smb), c.text);
}

Frame browse(const Frame &m) { return trans_request("\\MAILSLOT\\BROWSE", m); }
Frame netlogon(const Frame &m) { return trans_request("\\MAILSLOT\\NET\\NETLOGON", m); }

// SAMLOGON: request count, computer, user, mailslot, account control,
// domain identifier size and identifier, three skipped bytes, version and
// the two tokens.
Frame samlogon(const Frame &user, uint32_t dss, const Frame &domain_id) {
    return cat({le16(18), le16(1), wstr("PC1"), user, cstr("\\MAILSLOT\\NET\\GETDC123"), le32(0x80),
                le32(dss), domain_id, hex("000000"), le32(11), le16(0xFFFF), le16(0xFFFE)});
}

[[maybe_unused]] const int kSamlogonSample = add_samples({
    {"mailslot-samlogon", 1,
     in_datagram(trans_request("\\MAILSLOT\\NET\\NTLOGON", samlogon(wstr("alice"), 4, hex("01020304"))))},
});

INSTANTIATE_TEST_SUITE_P(
    Mailslots, Mailslot,
    ::testing::Values(
        Case{"HostAnnouncement", kAnnouncement,
             "BROWSE Anncounce(1) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 "
             "comment=Hello world\n"},
        Case{"LowerCaseName", trans_request("\\mailslot\\browse", announce(1, "x")),
             "BROWSE Anncounce(1) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 "
             "comment=x\n"},
        Case{"CommentEscaped", browse(announce(12, "a\x01z")),
             "BROWSE Anncounce(12) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 "
             "comment=a\\001z\n"},
        Case{"LocalMasterAnnouncement", browse(announce(15, "")),
             "BROWSE Anncounce(15) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 "
             "comment=\n"},
        Case{"AnnouncementRequest", browse(cat({Frame{2, 0x7F}, raw16("WS", 0)})),
             "BROWSE Anncouncement request from \"WS(0/Workstation)\" token=0x7f\n"},
        Case{"Election", browse(cat({Frame{8, 1}, le32(0x20011003), le32(3600000), le32(0), raw16("PC2", 0)})),
             "BROWSE election request from \"PC2(0/Workstation)\" vers=1 criterion=20011003 timeup=3600\n"},
        Case{"ElectionCriterionPadded", browse(cat({Frame{8, 1}, le32(0x1003), le32(999), le32(0), raw16("", 0)})),
             "BROWSE election request from \"(0/Workstation)\" vers=1 criterion=00001003 timeup=0\n"},
        Case{"BackupListRequest", browse(cat({Frame{9, 4}, le32(0xDEAD0001)})),
             "BROWSE get backup list request count=4 token=0xdead0001\n"},
        Case{"BackupListResponse", browse(cat({Frame{10, 1}, le32(7), raw16("BACKUP", 0x20)})),
             "BROWSE get backup list response count=1 token=0x7 \"BACKUP(20/Server)\"\n"},
        Case{"MasterAnnouncement", browse(cat({Frame{13}, raw16("MASTER", 0x20)})),
             "BROWSE Master Announce from \"MASTER(20/Server)\"\n"},
        Case{"ResetState", browse(hex("0E 07")), "BROWSER reset state=0x7\n"},
        Case{"BecomeBackup", browse(cat({Frame{11}, raw16("B", 0)})), "browse packet 11 ?\n"},
        Case{"OpcodeZero", browse(hex("00")), "browse packet 0 ?\n"},
        Case{"Opcode255", browse(hex("FF")), "browse packet 255 ?\n"},
        Case{"DomainLogon",
             netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), cstr("\\MAILSLOT\\TEMP\\NETLOGON"),
                           hex("00"), le16(1), le16(0xFFFF)})),
             "Domainlogin: \"\\MAILSLOT\\TEMP\\NETLOGON\" on \"PC1\" as \"alice\" reqcnt=1 token=0xffff\n"},
        Case{"GetDc",
             trans_request("\\MAILSLOT\\NET\\NTLOGON",
                           cat({le16(7), cstr("PC1"), cstr("\\MAILSLOT\\TEMP\\NETLOGON"), le16(0x1234)})),
             "GETDC: \"\\MAILSLOT\\TEMP\\NETLOGON\" on \"PC1\" token=0x1234\n"},
        Case{"SamLogon", netlogon(samlogon(wstr("alice"), 4, hex("01020304"))),
             "SAMLOGON: from \"PC1\" as \"alice\" (\"\\MAILSLOT\\NET\\GETDC123\") aa=128 dss=4 ntv=11 "
             "nttoken=65535 lmtoken=65534\n"},
        // A unit 0x0100 ends the user name; the next string starts behind it.
        Case{"SamLogonUserEndsAtU0100",
             netlogon(cat({le16(18), le16(1), wstr("PC1"), hex("6100 6C00 0001"), cstr("X"), le32(1),
                           le32(0), hex("000000"), le32(5), le16(1), le16(2)})),
             "SAMLOGON: from \"PC1\" as \"al\" (\"X\") aa=1 dss=0 ntv=5 nttoken=1 lmtoken=2\n"},
        Case{"OtherLogonRequest", netlogon(le16(0x13)), "Domain request: 19\n"},
        Case{"GetDc042",
             trans_request("\\MAILSLOT\\NET\\GETDC042",
                           cat({hex("0000"), wstr("PDC1"), wstr("alice"), wstr("CORP")})),
             "Mailslot: \"\\MAILSLOT\\NET\\GETDC042\" PDC=\"PDC1\" user=\"alice\" domain=\"CORP\"\n"},
        Case{"TempNetlogon", trans_request("\\MAILSLOT\\TEMP\\NETLOGON", cat({hex("0000"), cstr("reply\x02")})),
             "Mailslot: \"\\MAILSLOT\\TEMP\\NETLOGON\" \"reply\\002\"\n"},
        Case{"GetDc000", trans_request("\\MAILSLOT\\NET\\GETDC000", cat({hex("1234"), cstr("DC")})),
             "Mailslot: \"\\MAILSLOT\\NET\\GETDC000\" \"DC\"\n"},
        Case{"OtherName", trans_request("\\PIPE\\LAN\xE9MAN", hex("0000")),
             "Mailslot: \"\\PIPE\\LAN\\351MAN\"\n"},
        // Whatever is not inside the frame is not shown.
        Case{"NameWithoutTerminator", head(trans_request("\\MAILSLOT\\BROWSE", {}), 69 + 16), ""},
        Case{"AnnouncementCutInName", head(kAnnouncement, 86 + 8), ""},
        Case{"AnnouncementCutAfterName", head(kAnnouncement, 86 + 14),
             "BROWSE Anncounce(1) PC1(0/Workstation)\n"},
        Case{"AnnouncementCommentUnterminated", head(kAnnouncement, kAnnouncement.size() - 1),
             "BROWSE Anncounce(1) PC1(20/Server)\n"},
        Case{"AnnouncementCutBeforeComment", head(kAnnouncement, kAnnouncement.size() - 12),
             "BROWSE Anncounce(1) PC1(20/Server)\n"},
        Case{"ElectionCutInName", head(browse(cat({Frame{8, 1}, le32(0), le32(0), le32(0), raw16("PC2", 0)})), 69 + 17 + 16), ""},
        Case{"ElectionCutBeforeName", head(browse(cat({Frame{8, 1}, le32(0), le32(0), le32(0), raw16("PC2", 0)})), 69 + 17 + 14), ""},
        // Names that end inside the frame are shown even when their
        // 16-byte field was not captured whole; the missing suffix is 0.
        Case{"AnnouncementRequestWithPlainName", browse(cat({Frame{2, 0}, cstr("DJP95S0J")})),
             "BROWSE Anncouncement request from \"DJP95S0J(0/Workstation)\" token=0x0\n"},
        Case{"ElectionWithPlainName", browse(cat({Frame{8, 1}, le32(0x20011003), le32(3600000), le32(0), cstr("PC2")})),
             "BROWSE election request from \"PC2(0/Workstation)\" vers=1 criterion=20011003 timeup=3600\n"},
        Case{"MasterAnnouncementWithPlainName", browse(cat({Frame{13}, cstr("MASTER")})),
             "BROWSE Master Announce from \"MASTER(0/Workstation)\"\n"},
        Case{"NameOf15BytesWithoutSuffix", browse(cat({Frame{13}, ascii("ABCDEFGHIJKLMNO")})), ""},
        Case{"EmptyBrowseMessage", browse({}), ""},
        Case{"DomainLogonStringsUnterminated",
             netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), ascii("\\MAILSLOT")})), ""},
        Case{"DomainLogonTokenMissing",
             netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), cstr("x"), hex("00 0100 FF")})), ""},
        Case{"GetDcTokenMissing", netlogon(cat({le16(7), cstr("PC1"), cstr("x"), hex("12")})), ""},
        Case{"SamLogonDomainSizePastFrame", netlogon(samlogon(wstr("alice"), 0x7FFFFFFF, {})), ""},
        Case{"SamLogonNegativeDomainSize", netlogon(samlogon(wstr("alice"), 0x80000000, {})), ""},
        Case{"SamLogonWideStringUnterminated", netlogon(cat({le16(18), le16(1), hex("5000 4300")})), ""},
        Case{"GetDc042Unterminated",
             trans_request("\\MAILSLOT\\NET\\GETDC042", cat({hex("0000"), wstr("PDC1"), hex("6100")})), ""},
        Case{"OneStringUnterminated", trans_request("\\MAILSLOT\\NET\\GETDC000", cat({hex("0000"), ascii("DC")})),
             ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Mailslot, WholeAnnouncementText) {
    EXPECT_EQ(chain(PROTO_SMB, kAnnouncement),
              "SMB-request \"trans\"\n"
              "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
              "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
              " [00]=    0/0x0000 [01]=    0/0x0000 [02]=    0/0x0000 [03]=    0/0x0000 "
              "[04]=    0/0x0000 [05]=    0/0x0000\n"
              " [06]=    0/0x0000 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 "
              "[10]=    0/0x0000\n"
              " [11]=   44/0x002C [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 "
              "[15]=    1/0x0001\n"
              " [16]=    2/0x0002\n"
              "BROWSE Anncounce(1) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 "
              "comment=Hello world\n");
}

TEST(Mailslot, ResponseShowsNoMailslotLine) {
    Frame f = kAnnouncement;
    f[9] = 0x80;
    EXPECT_EQ(mailslot_text(f), "");
}

TEST(Mailslot, DataOffsetPastTheFrame) {
    Frame f = kAnnouncement;
    f[33 + 24] = 0xFF;  // word 12
    f[33 + 25] = 0x7F;
    EXPECT_EQ(mailslot_text(f), "");
}

TEST(Mailslot, DataOffsetWordNotCaptured) {
    // Two words only: the data offset would lie in the byte area, which
    // ends before it.
    Frame f = smb(0x25, 0, {1, 2}, cstr("\\MAILSLOT\\BROWSE"));
    EXPECT_EQ(chain(PROTO_SMB, head(f, 56)),
              "SMB-request \"trans\"\n"
              "   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
              "   tid=0 pid=0 uid=0 mid=0 wct=2\n"
              " [00]=    1/0x0001 [01]=    2/0x0002\n");
}

// Around 100 bytes of room the lines are cut, never overrun; when the
// second piece of an announcement does not fit the first one stays.
TEST(Mailslot, EveryRoomGivesAPrefixOfTheText) {
    const Frame frames[] = {
        kAnnouncement,
        netlogon(samlogon(wstr("alice"), 4, hex("01020304"))),
        trans_request("\\MAILSLOT\\NET\\GETDC042", cat({hex("0000"), wstr("PDC1"), wstr("alice"), wstr("CORP")})),
    };
    for (const Frame &f : frames) expect_cut_texts(PROTO_SMB, f, 90);
}

TEST(Mailslot, AnnouncementFirstPieceStaysWhenTheSecondDoesNotFit) {
    std::string full = chain(PROTO_SMB, kAnnouncement);
    size_t first_piece_end = full.find(" count=3");
    std::string t = chain(PROTO_SMB, kAnnouncement, static_cast<uint32_t>(first_piece_end + 20));
    EXPECT_EQ(t, full.substr(0, first_piece_end + 19));
}

TEST(Mailslot, EveryTruncationStaysInsideTheFrame) {
    const Frame frames[] = {
        kAnnouncement,
        browse(cat({Frame{8, 1}, le32(0x20011003), le32(3600000), le32(0), raw16("PC2", 0)})),
        browse(cat({Frame{10, 1}, le32(7), raw16("BACKUP", 0x20)})),
        netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), cstr("m"), hex("00"), le16(1), le16(2)})),
        netlogon(samlogon(wstr("alice"), 4, hex("01020304"))),
        trans_request("\\MAILSLOT\\NET\\GETDC042", cat({hex("0000"), wstr("P"), wstr("u"), wstr("d")})),
        trans_request("\\MAILSLOT\\TEMP\\NETLOGON", cat({hex("0000"), cstr("r")})),
    };
    for (const Frame &f : frames) decode_every_prefix(PROTO_SMB, f);
}

}  // namespace
