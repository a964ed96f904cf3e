#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

std::string dump(const Frame &data, uint32_t size = 8192, const char *sep = "\n", int32_t length = -2) {
    std::vector<char> out(size + 16, '\x5A');
    int n = CAPLIB_string_hexdump(out.data(), size, data.data(),
                                  length == -2 ? static_cast<int32_t>(data.size()) : length, sep);
    for (size_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], '\x5A') << "write past size at " << i;
    EXPECT_EQ(std::string(out.data()).size(), static_cast<size_t>(n));
    return std::string(out.data(), static_cast<size_t>(n));
}

const std::string kBlankRow20 = std::string(45, ' ');  // 20 blank positions with group blanks

TEST(HexDump, Rows) {
    struct Case {
        const char *name;
        Frame data;
        const char *sep;
        std::string text;
    } cases[] = {
        {"three bytes", hex("41 3C 0A"), "\n",
         "0000  413C0A" + std::string(38, ' ') + "  A..\n"},
        {"empty frame", {}, "\n", "0000 " + kBlankRow20 + "  \n"},
        {"twenty bytes add an offset-only row", ascii("ABCDEFGHIJKLMNOPQRST"), "\n",
         "0000  41424344 45464748 494A4B4C 4D4E4F50 51525354  ABCDEFGHIJKLMNOPQRST\n"
         "0014 " + kBlankRow20 + "  \n"},
        {"null separator is CRLF", hex("20 7F 80 FF"), nullptr,
         "0000  207F80FF" + std::string(36, ' ') + "   ...\r\n"},
        {"markup characters show as dots", ascii("<a&b>"), "|",
         "0000  3C612662 3E" + std::string(33, ' ') + "  .a.b.|"},
    };
    for (const Case &c : cases) EXPECT_EQ(dump(c.data, 8192, c.sep), c.text) << c.name;
}

TEST(HexDump, StopsWithinSmallBuffers) {
    Frame data(60, 0x41);
    EXPECT_EQ(dump(data, 40), "0000  41414141 41414141 41414141 4141");
    for (uint32_t size = 1; size < 400; ++size) {
        std::string t = dump(data, size);
        EXPECT_LT(t.size(), size);
    }
}

TEST(HexDump, NegativeLengthDumpsNothing) { EXPECT_EQ(dump(hex("0102"), 8192, "\n", -1), ""); }

TEST(HexDump, LongOffsetsStayWithinBuffer) {
    Frame data(70000, 0x30);
    for (uint32_t size : {70u, 71u, 72u, 73u, 74u, 75u, 76u, 77u, 78u, 79u, 80u}) dump(data, size);
    std::string t = dump(data, 1u << 23);
    EXPECT_NE(t.find("\n10004  3030"), std::string::npos);
}

class TimeText : public ::testing::Test {
protected:
    static void zone(const char *tz) { set_time_zone(tz); }
    ZoneGuard guard_;
};

TEST_F(TimeText, LocalDateAndMilliseconds) {
    zone("UTC");
    struct Case {
        int32_t sec, usec;
        const char *text;
    } cases[] = {
        {1796405053, 123456, "04.12.2026 17:24:13.123"},
        {0, 999999, "01.01.1970 00:00:00.999"},
        {0, 1000000, "01.01.1970 00:00:00.000"},
#if defined(_WIN32)
        {-1, 0, "?DATE?"},  // Windows' runtime converts no time before 1970
#else
        {-1, 0, "31.12.1969 23:59:59.000"},
#endif
    };
    for (const Case &c : cases) {
        CAPLIB_TIMEVAL tv = {c.sec, c.usec};
        EXPECT_STREQ(CAPLIB_timeval2str(&tv), c.text);
    }
    zone("UTC-1");  // one hour east
    CAPLIB_TIMEVAL epoch = {0, 0};
    EXPECT_STREQ(CAPLIB_timeval2str(&epoch), "01.01.1970 01:00:00.000");
}

TEST_F(TimeText, RingHoldsFiveTexts) {
    zone("UTC");
    const char *seen[6];
    for (int i = 0; i < 6; ++i) {
        CAPLIB_TIMEVAL tv = {i, 0};
        seen[i] = CAPLIB_timeval2str(&tv);
    }
    EXPECT_EQ(seen[5], seen[0]);
    EXPECT_STREQ(seen[1], "01.01.1970 00:00:01.000");
    EXPECT_STREQ(seen[4], "01.01.1970 00:00:04.000");
}

TEST(Names, LayersAndAttributes) {
    const char *layers[] = {"PPP", "Ethernet", "Tokenring", "IP", "IPX", "ARP", "ISAKMP", "BNEP", "RFC1483", "???"};
    for (uint32_t i = 0; i < 10; ++i) EXPECT_STREQ(CAPLIB_layer2str(i), layers[i]);
    const char *attributes[] = {"Normal", "Filtered", "Spoofed", "Dropped", "Changed", "Before change",
                                "Level0", "Level1", "Level2", "Level3", "???"};
    for (uint32_t i = 0; i < 11; ++i) EXPECT_STREQ(CAPLIB_attrib2str(i), attributes[i]);
    EXPECT_STREQ(CAPLIB_layer2str(0xFFFFFFFFu), "???");
}

}  // namespace
