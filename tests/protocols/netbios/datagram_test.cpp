#include <gtest/gtest.h>

#include "netbios_support.h"

using namespace caplib_test;
using caplib::PROTO_NBDS;

namespace {

const Frame kNames = cat({nb_encode("PC1", 0x00), nb_encode("WORKGROUP", 0x1E)});
const Frame kResponse = smb(0x25, 0x80, {});  // 35 bytes

struct Case {
    const char *name;
    Frame frame;
    std::string text;
};

class Datagram : public ::testing::TestWithParam<Case> {};

TEST_P(Datagram, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(chain(PROTO_NBDS, c.frame), c.text);
}

// Behind a datagram the four bytes in front of the SMB are the end of the
// destination name ('A', 'B', 'O', 0 for WORKGROUP<1e>), read as if they
// were a session header: size=0x4f00.
INSTANTIATE_TEST_SUITE_P(
    Nbds, Datagram,
    ::testing::Values(
        Case{"BroadcastHandsOnToSmb", dgram(0x12, 0x02, cat({kNames, kResponse})),
             "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=103 off=0\n"
             "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=35\n"
             "SMB-response \"trans\"\n"
             "   size=20224 cls=0 reh=0 err=0 flg=0x80 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"DirectGroupWith200Bytes", dgram(0x11, 0x06, cat({kNames, Frame(200, 0)})),
             "DGRAM msg_type=direct-group P-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=268 off=0\n"
             "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=200\n"
             "SMB signature not found\n"
             "SMB-request \"mkdir\"\n"
             "   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"DirectUniqueMoreFragments", dgram(0x10, 0x09, cat({kNames, hex("FF")})),
             "DGRAM msg_type=direct-unique M-Node F=0 M=1 dgmid=32769\n"
             "  src=192.168.0.5:138 len=69 off=0\n"
             "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=1\n"
             "sliced SMB header\n"},
        Case{"NbddFlags", dgram(0x12, 0x0E, cat({kNames, hex("FF")})),
             "DGRAM msg_type=broadcast NBDD F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=69 off=0\n"
             "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=1\n"
             "sliced SMB header\n"},
        Case{"UserDataOf576", dgram(0x12, 0x02, cat({kNames, Frame(576, 0)})),
             "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=644 off=0\n"
             "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=576\n"
             "SMB signature not found\n"
             "SMB-request \"mkdir\"\n"
             "   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
             "   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
        Case{"UserDataOver576", dgram(0x12, 0x02, cat({kNames, Frame(577, 0)})), ""},
        Case{"EndsAfterDestinationName", dgram(0x12, 0x02, kNames), ""},
        Case{"QueryRequestShowsEmptyNames", dgram(0x14, 0x02, nb_encode("PC1", 0x20)),
             "DGRAM msg_type=query request B-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=34 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=34\n"},
        Case{"PositiveQueryResponse", dgram(0x15, 0x00, hex("00")),
             "DGRAM msg_type=positive query response B-Node F=0 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=1 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
        Case{"NegativeQueryResponse", dgram(0x16, 0x00, hex("00")),
             "DGRAM msg_type=negative query response B-Node F=0 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=1 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
        Case{"UnknownType", dgram(0x20, 0x00, hex("00")),
             "DGRAM msg_type=0x20 B-Node F=0 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=1 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
        Case{"ErrorOf14Bytes", dgram(0x13, 0x00, {}), ""},
        Case{"ErrorWithCode", dgram(0x13, 0x00, hex("82")),
             "DGRAM msg_type=error B-Node F=0 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=1 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
        Case{"ThirteenBytes", Frame(13, 0x12), ""},
        // Unreadable names count no bytes and show as the empty name; what
        // follows the header is then taken as user data.
        Case{"CutInDestinationName",
             dgram(0x12, 0x02, head(kNames, 44)),
             "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=44 off=0\n"
             "  src=PC1(0/Workstation) dest=(0/Workstation) dsize=10\n"
             "sliced SMB header\n"},
        Case{"UnreadableSourceName", dgram(0x10, 0x02, cat({Frame{2}, ascii("QQ"), Frame{0}})),
             "DGRAM msg_type=direct-unique B-Node F=1 M=0 dgmid=32769\n"
             "  src=192.168.0.5:138 len=4 off=0\n"
             "  src=(0/Workstation) dest=(0/Workstation) dsize=4\n"
             "sliced SMB header\n"}),
    [](const auto &info) { return std::string(info.param.name); });

[[maybe_unused]] const int kDatagramSamples = add_samples({
    {"nbds-broadcast-response", 1, udp_frame(138, 138, dgram(0x12, 0x02, cat({kNames, kResponse})))},
    {"nbds-query-request", 1, udp_frame(138, 138, dgram(0x14, 0x02, nb_encode("PC1", 0x20)))},
});

TEST(Datagram, EveryTruncationStaysInsideTheFrame) {
    Frame f = dgram(0x12, 0x02, cat({kNames, trans_request("\\MAILSLOT\\BROWSE", hex("0100"))}));
    for (size_t n = 0; n <= f.size(); ++n) {
        std::string t = chain(PROTO_NBDS, head(f, n));
        if (n <= 14 + kNames.size()) {
            EXPECT_EQ(t.find("dest=WORKGROUP"), std::string::npos) << n;
        }
    }
}

TEST(Datagram, EveryRoomGivesACutText) {
    expect_cut_texts(PROTO_NBDS, dgram(0x12, 0x02, cat({kNames, trans_request("\\MAILSLOT\\BROWSE", hex("0E01"))})),
                     90);
}

TEST(Datagram, LinesThatDoNotFitConsumeNothing) {
    // The third line does not fit: nothing is handed on to SMB.
    Frame f = dgram(0x12, 0x02, cat({kNames, kResponse}));
    std::string t = chain(PROTO_NBDS, f, 150);
    EXPECT_EQ(t,
              "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n"
              "  src=192.168.0.5:138 len=103 off=0\n"
              "  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) d");
}

}  // namespace
