#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "support.h"

using namespace caplib_test;

namespace {

class TextTrace : public ::testing::Test {
protected:
    void SetUp() override {
        set_time_zone("UTC");
    }
    std::string trace(std::vector<OwnedRecord> &records, const char *sep = "\n", uint32_t flags = 0) {
        std::string base = dir_.path("run.1");
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), sep, flags);
        EXPECT_NE(out, nullptr);
        if (!out) return {};
        EXPECT_EQ(CAPLIB_output_header(out, nullptr), 0);
        for (OwnedRecord &r : records) EXPECT_EQ(CAPLIB_output_paket(out, r.get()), 0);
        CAPLIB_output_close(out, 0);
        return read_text_file(dir_.path("run.log"));
    }
    TempDir dir_;
};

OwnedRecord rec(const char *name, uint32_t layer, Frame data) {
    OwnedRecord r;
    r.has_name = name != nullptr;
    r.name = name ? name : "";
    r.data = std::move(data);
    r.paket.layer = layer;
    r.paket.time = {1796405053, 123456};
    r.paket.orig_length = static_cast<uint32_t>(r.data.size()) + 4;
    return r;
}

const Frame kEthernet = hex("FFFFFFFFFFFF 00A0C5110233 9000");

TEST_F(TextTrace, HeaderLinesChannelsAndNames) {
    std::vector<OwnedRecord> recs = {rec("eth0", 1, kEthernet), rec(nullptr, 0, {}), rec("ch1", 0, {})};
    recs[1].paket.direction = 7;
    recs[2].paket.channel = 2;
    recs[2].paket.attribute = 5;
    EXPECT_EQ(trace(recs),
              "\n1. 04.12.2026 17:24:13.123 eth0 Ethernet <<< 14/18 Normal\n"
              "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000\n"
              "\n2. 04.12.2026 17:24:13.123 -NULL- PPP >>> 0/4 Normal Channel=0\n"
              "\n3. 04.12.2026 17:24:13.123 ch1 PPP <<< 0/4 Before change Channel=2\n");
}

TEST_F(TextTrace, SeparatorAndHexDump) {
    std::vector<OwnedRecord> recs = {rec("ike", 6, hex("0102")), rec("e", 1, {})};
    EXPECT_EQ(trace(recs, "\r\n", CAPLIB_ASCII_HEXDUMP),
              "\n1. 04.12.2026 17:24:13.123 ike ISAKMP <<< 2/6 Normal\r\n"
              "0000  0102" + std::string(40, ' ') + "  ..\r\n"
              "\n2. 04.12.2026 17:24:13.123 e Ethernet <<< 0/4 Normal\r\n"
              "sliced Ethernet header\r\n"
              "0000 " + std::string(45, ' ') + "  \r\n");
}

TEST_F(TextTrace, EachWriterCountsItsOwnRecords) {
    std::string a = dir_.path("a"), b = dir_.path("b");
    CAPLIB_OUTPUT *wa = CAPLIB_output_ascii(a.c_str(), nullptr, 0);
    CAPLIB_OUTPUT *wb = CAPLIB_output_ascii(b.c_str(), nullptr, 0);
    ASSERT_TRUE(wa && wb);
    OwnedRecord r = rec("x", 9, {});
    CAPLIB_output_paket(wa, r.get());
    CAPLIB_output_paket(wa, r.get());
    CAPLIB_output_paket(wb, r.get());
    CAPLIB_output_close(wa, 0);
    CAPLIB_output_close(wb, 0);
    std::string fb = read_text_file(dir_.path("b.log"));
    EXPECT_EQ(fb, "\n1. 04.12.2026 17:24:13.123 x ??? <<< 0/4 Normal\n");
    EXPECT_EQ(read_text_file(dir_.path("a.log")).size(), 2 * fb.size());
}

TEST_F(TextTrace, HeaderLineTooLongIsRefusedAndNothingWritten) {
    std::vector<OwnedRecord> recs = {rec("x", 1, kEthernet)};
    recs[0].name = std::string(9000, 'n');
    std::string base = dir_.path("long");
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), nullptr, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(CAPLIB_output_paket(out, recs[0].get()), CAPLIB_ERR_FORMAT);
    OwnedRecord ok = rec("ok", 1, kEthernet);
    EXPECT_EQ(CAPLIB_output_paket(out, ok.get()), 0);
    CAPLIB_output_close(out, 0);
    EXPECT_EQ(read_text_file(dir_.path("long.log")).substr(0, 4), "\n2. ");  // the count kept its step
}

TEST_F(TextTrace, MissingDirectoryFailsTheConstructor) {
    EXPECT_EQ(CAPLIB_output_ascii(dir_.path("no/such/dir/x").c_str(), nullptr, 0), nullptr);
}

}  // namespace
