// Compressed headers reach this decoder from PPP; it is called directly.
#include <gtest/gtest.h>

#include "decode/decoders.h"
#include "protocols/direct_call.h"
#include "support.h"

using namespace caplib_test;

namespace {

struct Case {
    const char *name;
    Frame header;
    std::string text;
    uint32_t consumed;
};

class VjCompressed : public ::testing::TestWithParam<Case> {};

TEST_P(VjCompressed, DecodesToExactText) {
    const Case &c = GetParam();
    DirectResult r = call_decoder(caplib::decode_vjc, cat({c.header, hex("DEADBEEF")}));
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.next, caplib::PROTO_END);
    EXPECT_EQ(r.consumed, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, VjCompressed,
    ::testing::Values(
        Case{"AckAndLongSequence", hex("0C 1A2B 28 0005B4"),
             "IP TCP-comp Changes=A,S chksum=0x1a2b  ack+=40 seq+=1460 id+=1\n", 7},
        Case{"Empty", hex("00 1234"), "IP TCP-comp Changes= chksum=0x1234  id+=1\n", 3},
        Case{"SlotAckId", hex("64 05 FFFF 01 02"),
             "IP TCP-comp Changes=C,A,ID Slot=5 chksum=0xffff  ack+=1 id+=2\n", 6},
        Case{"BadSlotLeavesLineOpen", hex("40 10 1234"), "IP TCP-comp Changes=C Slot=16(bad) ", 0},
        Case{"LastGoodSlot", hex("40 0F 1234"),
             "IP TCP-comp Changes=C Slot=15 chksum=0x1234  id+=1\n", 4},
        // The special masks imply their deltas: none is read.
        Case{"EchoReadsNoDelta", hex("4B 03 0001"),
             "IP TCP-comp Changes=C,ECHO Slot=3 chksum=0x0001  id+=1\n", 4},
        Case{"UniReadsNoDelta", hex("1F 0001"),
             "IP TCP-comp Changes=UNI,PUSH chksum=0x0001  id+=1\n", 3},
        Case{"EchoWithId", hex("3B 0001 07"),
             "IP TCP-comp Changes=ECHO,ID,PUSH chksum=0x0001  id+=7\n", 4},
        Case{"LongIdDelta", hex("20 0001 000100"),
             "IP TCP-comp Changes=ID chksum=0x0001  id+=256\n", 6},
        Case{"WindowShortForm", hex("02 0001 80"),
             "IP TCP-comp Changes=W chksum=0x0001  win+=128 id+=1\n", 4},
        Case{"WindowLongFormNegative", hex("02 0001 008000"),
             "IP TCP-comp Changes=W chksum=0x0001  win+=-32768 id+=1\n", 6},
        Case{"UrgentLongForm", hex("01 0001 00FFFF"),
             "IP TCP-comp Changes=U chksum=0x0001  urg+=65535 id+=1\n", 6},
        Case{"EveryField", hex("77 0F ABCD 00FFFF 00FFFF 00FFFF 00FFFF"),
             "IP TCP-comp Changes=C,U,W,A,ID,PUSH Slot=15 chksum=0xabcd  urg+=65535 win+=-1 "
             "ack+=65535"
             " id+=65535\n",
             16},
        // Four deltas with U, W, A and S all set would be UNI: 16 bytes at most.
        Case{"LongestHeader", hex("6E 02 0000 000001 000002 000003 000004"),
             "IP TCP-comp Changes=C,W,A,S,ID Slot=2 chksum=0x0000  win+=1 ack+=2 seq+=3 id+=4\n",
             16}),
    [](const auto &info) { return std::string(info.param.name); });

// A frame that ends inside the compressed header shows the fields that
// are there and ends the line.
TEST(VjCompressed, FrameEndingInsideTheHeader) {
    const struct {
        Frame frame;
        const char *text;
    } cases[] = {
        {{}, "IP TCP-comp\n"},
        {hex("0C"), "IP TCP-comp Changes=A,S \n"},
        {hex("4C"), "IP TCP-comp Changes=C,A,S \n"},
        {hex("4C 01 1A"), "IP TCP-comp Changes=C,A,S Slot=1 \n"},
        {hex("4C 01 1A2B"), "IP TCP-comp Changes=C,A,S Slot=1 chksum=0x1a2b \n"},
        {hex("4C 01 1A2B 00 01"), "IP TCP-comp Changes=C,A,S Slot=1 chksum=0x1a2b \n"},
        {hex("4C 01 1A2B 28 00 05"), "IP TCP-comp Changes=C,A,S Slot=1 chksum=0x1a2b  ack+=40\n"},
        {hex("6C 01 1A2B 28 05 00"),
         "IP TCP-comp Changes=C,A,S,ID Slot=1 chksum=0x1a2b  ack+=40 seq+=5\n"},
    };
    for (const auto &c : cases) {
        DirectResult r = call_decoder(caplib::decode_vjc, c.frame);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.next, caplib::PROTO_END);
        EXPECT_LE(r.consumed, c.frame.size());
    }
}

TEST(VjCompressed, EveryPrefixAndRoomStaysInBounds) {
    for (const Frame &full :
         {hex("6E 02 0000 000001 000002 000003 000004"), hex("77 0F ABCD 00FFFF 01 00FFFF 00FFFF"),
          hex("40 10 1234"), hex("3B 0001 07")}) {
        for (size_t n = 0; n <= full.size(); ++n) {
            Frame prefix(full.begin(), full.begin() + static_cast<long>(n));
            for (size_t room : {1u, 12u, 40u, 100u}) {
                DirectResult r = call_decoder(caplib::decode_vjc, prefix, room);
                EXPECT_LE(r.consumed, n);
                EXPECT_LT(r.text.size(), room);
            }
        }
    }
}

TEST(VjCompressed, CutPieceEndsAtOnce) {
    DirectResult r = call_decoder(caplib::decode_vjc, hex("0C 1A2B 28 0005B4"), 30);
    EXPECT_EQ(r.text, "IP TCP-comp Changes=A,S chksu");
    EXPECT_EQ(r.next, caplib::PROTO_END);
}

}  // namespace
