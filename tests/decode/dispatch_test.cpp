#include <gtest/gtest.h>

#include <cstring>

#include "caplib.h"
#include "decode/dispatch.h"
#include "support.h"

using namespace caplib_test;

namespace {

const Frame kEthernetArp = cat({hex("FFFFFFFFFFFF 00A0C5110233 0806"), Frame(46, 0)});

TEST(Dispatch, LayersWithoutFirstProtocolGiveEmptyText) {
    for (uint32_t layer : {6u, 7u, 8u, 9u, 0xFFFFFFFFu}) EXPECT_EQ(decode(layer, kEthernetArp), "") << layer;
}

TEST(Dispatch, RoomBelowHundredStartsNoDecoder) {
    EXPECT_EQ(decode(1, kEthernetArp, 99), "");
    EXPECT_EQ(decode(1, kEthernetArp, 100), "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0806\n");
}

TEST(Dispatch, RoomZeroWritesNothing) {
    char text[4] = {'x', 'y', 'z', 'w'};
    CAPLIB_decode(1, kEthernetArp.data(), static_cast<uint32_t>(kEthernetArp.size()), text, 0, nullptr);
    EXPECT_EQ(std::memcmp(text, "xyzw", 4), 0);
}

TEST(Dispatch, NullSeparatorIsNewline) {
    EXPECT_EQ(decode(1, hex("0011223344"), 8192, nullptr), "sliced Ethernet header\n");
    EXPECT_STREQ(caplib::separator(), "\n");
}

TEST(Dispatch, SeparatorStaysAfterTheCall) {
    decode(1, hex("00"), 8192, "<br>");
    EXPECT_STREQ(caplib::separator(), "<br>");
    decode(1, hex("00"), 8192, nullptr);
}

TEST(Dispatch, ProtocolTableKnowsEveryId) {
    EXPECT_EQ(caplib::proto_name(0), nullptr);
    EXPECT_STREQ(caplib::proto_name(1), "PROTO_PPP");
    EXPECT_EQ(caplib::proto_name(7), nullptr);
    EXPECT_STREQ(caplib::proto_name(14), "PROTO_SMB");
    EXPECT_STREQ(caplib::proto_name(23), "PROTO_VJC");
    EXPECT_EQ(caplib::proto_name(24), nullptr);
    EXPECT_EQ(caplib::decoder_for(7), nullptr);
    EXPECT_EQ(caplib::decoder_for(1000), nullptr);
}

TEST(Dispatch, CallerDataIsNotChanged) {
    Frame f = kEthernetArp;
    char text[256];
    CAPLIB_decode(1, f.data(), static_cast<uint32_t>(f.size()), text, sizeof text, "\n");
    EXPECT_EQ(f, kEthernetArp);
}

}  // namespace
