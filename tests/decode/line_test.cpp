// The pieces of Line must print exactly what the printf conversions they
// replace print.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "decode/line.h"

namespace {

std::string printf_text(const char *fmt, unsigned width, uint32_t v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, width, v);
    return buf;
}

TEST(Line, PiecesMatchTheirConversions) {
    const uint32_t values[] = {0, 1, 9, 10, 15, 16, 99, 100, 255, 256, 4095, 65535, 65536, 0x7FFFFFFF, 0xFFFFFFFF};
    for (uint32_t v : values)
        for (unsigned width = 0; width <= 8; ++width) {
            caplib::Line<64> dec, hex, lower;
            dec.dec(v, width);
            EXPECT_EQ(dec.view(), printf_text("%*u", width, v)) << v << " " << width;
            if (width == 0) {
                caplib::Line<64> min;
                min.hex_min(v);
                EXPECT_EQ(min.view(), printf_text("%*x", width, v)) << v;
                continue;
            }
            uint32_t fits = width >= 8 ? v : v & ((1u << (4 * width)) - 1);  // callers pass values that fit
            hex.hex(fits, width);
            lower.hex_lower(fits, width);
            EXPECT_EQ(hex.view(), printf_text("%0*X", width, fits)) << v << " " << width;
            EXPECT_EQ(lower.view(), printf_text("%0*x", width, fits)) << v << " " << width;
        }
}

TEST(Line, SignedAndWideDecimals) {
    for (int32_t v : {0, 7, -7, 100, -100, 2147483647, -2147483647 - 1}) {
        caplib::Line<32> l;
        l.sdec(v);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d", v);
        EXPECT_EQ(l.view(), buf) << v;
    }
    for (unsigned width : {10u, 11u, 16u}) {
        caplib::Line<32> l;
        l.dec(42, width);
        EXPECT_EQ(l.view(), printf_text("%*u", width, 42)) << width;
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
