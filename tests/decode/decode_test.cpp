// The entry points around the decoders: layers and rooms of CAPLIB_decode,
// the hex dump, time texts, and the pieces of Line that stand in for printf
// conversions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "caplib.h"
#include "decode/line.h"
#include "support.h"

using namespace caplib_test;

namespace {

const Frame kArp = cat({hex("FFFFFFFFFFFF 00A0C5110233 0806"), Frame(46, 0)});

const Rows kDispatch = {
    {"room 99 starts no decoder", 1, kArp, "", 99},
    {"room 100 starts one", 1, kArp, "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0806\n", 100},
};

TEST(Dispatch, ExactTexts) { expect_rows(kDispatch); }

std::string dump(const Frame &data, uint32_t size = 8192, const char *sep = "\n", int32_t length = -2) {
    std::vector<char> out(size + 16, '\x5A');
    int n = CAPLIB_string_hexdump(out.data(), size, data.data(), length == -2 ? static_cast<int32_t>(data.size()) : length, sep);
    for (size_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], '\x5A') << "write past size at " << i;
    EXPECT_EQ(std::string(out.data()).size(), static_cast<size_t>(n));
    return std::string(out.data(), static_cast<size_t>(n));
}

TEST(HexDump, Rows) {
    const std::string blank20(45, ' ');  // 20 blank positions with group blanks
    EXPECT_EQ(dump(hex("41 3C 0A")), "0000  413C0A" + std::string(38, ' ') + "  A..\n");
    EXPECT_EQ(dump({}), "0000 " + blank20 + "  \n");
    EXPECT_EQ(dump(ascii("ABCDEFGHIJKLMNOPQRST")),
              "0000  41424344 45464748 494A4B4C 4D4E4F50 51525354  ABCDEFGHIJKLMNOPQRST\n0014 " + blank20 + "  \n");
    EXPECT_EQ(dump(hex("20 7F 80 FF"), 8192, nullptr), "0000  207F80FF" + std::string(36, ' ') + "   ...\r\n");
    EXPECT_EQ(dump(ascii("<a&b>"), 8192, "|"), "0000  3C612662 3E" + std::string(33, ' ') + "  .a.b.|");
    EXPECT_EQ(dump(hex("0102"), 8192, "\n", -1), "");
}

TEST(TimeText, LocalDateAndMilliseconds) {
    ZoneGuard zone("UTC");
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
    set_time_zone("UTC-1");  // one hour east
    CAPLIB_TIMEVAL epoch = {0, 0};
    EXPECT_STREQ(CAPLIB_timeval2str(&epoch), "01.01.1970 01:00:00.000");
}

std::string printf_text(const char *fmt, unsigned width, uint32_t v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, width, v);
    return buf;
}

TEST(Line, PiecesMatchTheirConversions) {
    for (uint32_t v : {0u, 1u, 9u, 10u, 15u, 16u, 99u, 100u, 255u, 256u, 4095u, 65535u, 65536u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        for (unsigned width = 0; width <= 16; ++width) {
            caplib::Line<64> dec, hex, lower, min;
            dec.dec(v, width);
            EXPECT_EQ(dec.view(), printf_text("%*u", width, v)) << v << " " << width;
            if (width == 0) {
                min.hex_min(v);
                EXPECT_EQ(min.view(), printf_text("%*x", width, v)) << v;
            } else if (width <= 8) {
                uint32_t fits = width == 8 ? v : v & ((1u << (4 * width)) - 1);  // callers pass values that fit
                hex.hex(fits, width);
                lower.hex_lower(fits, width);
                EXPECT_EQ(hex.view(), printf_text("%0*X", width, fits)) << v << " " << width;
                EXPECT_EQ(lower.view(), printf_text("%0*x", width, fits)) << v << " " << width;
            }
        }
    for (int32_t v : {0, 7, -7, 100, -100, 2147483647, -2147483647 - 1}) {
        caplib::Line<32> l;
        l.sdec(v);
        EXPECT_EQ(l.view(), std::to_string(v));
    }
}

TEST(Line, CutsAtItsSize) {
    caplib::Line<4> l;
    l.str("abc").str("def").chr('g');
    EXPECT_EQ(l.view(), "abcd");
    // A number that does not fit keeps its first places.
    for (unsigned width : {0u, 8u}) {
        caplib::Line<6> d;
        d.str("ab").dec(1234567, width);
        EXPECT_EQ(d.view(), ("ab" + printf_text("%*u", width, 1234567)).substr(0, 6)) << width;
    }
}

}  // namespace
