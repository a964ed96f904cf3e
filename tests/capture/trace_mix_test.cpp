// The trace writer's fast paths (header line, cached time text, table hex
// dump, buffered stream) against the formatted writes they replace, over
// the whole benchmark mix, in a zone whose daylight-saving switches the
// mix and the time cases cross.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "caplib.h"
#include "bench/mix.h"
#include "fuzz/trace_model.h"
#include "support.h"

using namespace caplib_test;
using fuzz::reference_dump;

namespace {

// Central European time as a rule, so no zone file is needed.
constexpr const char *kZone = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr int32_t kSpringSwitch = 1774746000;  // 2026-03-29 01:00 UTC

// Runs the writer over the records and compares the whole trace.
void expect_trace(const std::vector<CAPLIB_PAKET> &records, const std::string &want, uint32_t flags,
                  const char *sep, const std::string &base) {
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), sep, flags);
    ASSERT_NE(out, nullptr);
    for (CAPLIB_PAKET p : records) ASSERT_EQ(CAPLIB_output_paket(out, &p), 0);
    CAPLIB_output_close(out, 0);
    // On a difference, from the start of the first record that differs.
    const std::string got = read_text_file(base + ".log");
    const size_t at = static_cast<size_t>(std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin());
    const size_t from = at < std::max(got.size(), want.size()) ? want.rfind("\n\n", at) + 1 : at;  // npos + 1 is 0
    EXPECT_EQ(got.substr(from, at - from + 200), want.substr(from, at - from + 200)) << "flags " << flags << ", byte " << at;
}

// The row-by-row dump takes over only when the general loop could not
// stop early: on both sides of that bound the two print the same.
TEST(HexDumpPaths, RowsMatchTheGeneralLoop) {
    std::vector<uint8_t> data(65536);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::string long_sep(40, '|');
    for (int32_t length : {0, 1, 19, 20, 21, 39, 40, 61, 1514, 65515, 65516, 65536}) {
        for (const char *sep : {"", "\n", "\r\n", long_sep.c_str()}) {
            size_t rows = static_cast<size_t>(length) / 20 + 1;
            size_t whole = rows * (52 + std::strlen(sep)) + static_cast<size_t>(length);
            std::vector<size_t> sizes = {1, 9, 60, 8192, whole + 24, whole + 25};
            for (size_t size = whole > 4 ? whole - 4 : 1; size < whole + 30 && length < 2000; ++size)
                sizes.push_back(size);
            for (size_t size : sizes) {
                std::vector<char> out(size + 8, 'Z');
                int n = CAPLIB_string_hexdump(out.data(), static_cast<uint32_t>(size), data.data(), length, sep);
                std::string want;
                reference_dump(want, data.data(), length, sep, size);
                ASSERT_EQ(std::string(out.data(), static_cast<size_t>(n)), want)
                    << "length " << length << ", separator of " << std::strlen(sep) << ", size " << size;
                ASSERT_EQ(out[static_cast<size_t>(n)], '\0');
                ASSERT_EQ(out[size], 'Z');
            }
        }
    }
}

// Both captures of the mix, from a fifth of a second before the spring
// switch on: both sides of it are traced.
TEST(TraceMix, FastPathsPrintWhatFormattedWritesPrint) {
    ZoneGuard zone(kZone);
    for (auto [kind, count, sep] : {std::tuple{caplib_mix::Kind::ethernet, 20000u, "\n"}, std::tuple{caplib_mix::Kind::ppp, 5000u, "\r\n"}}) {
        caplib_mix::Mix mix(kind, 1, kSpringSwitch - 1, 800000);
        std::vector<std::vector<uint8_t>> frames(count);
        std::vector<CAPLIB_PAKET> records;
        std::string plain, dumped;
        for (uint32_t i = 0; i < count; ++i) {
            records.push_back(mix.next());
            frames[i].assign(records[i].data, records[i].data + records[i].length);
            records[i].data = frames[i].data();
            std::string text = fuzz::reference_record(i + 1, records[i], sep);
            plain += text;
            dumped += text;
            reference_dump(dumped, records[i].data, static_cast<int32_t>(records[i].length), sep, fuzz::kTraceLine);
        }
        ASSERT_LT(records.front().time.tv_sec, kSpringSwitch);
        ASSERT_GE(records.back().time.tv_sec, kSpringSwitch);
        TempDir dir;
        expect_trace(records, plain, 0, sep, dir.path("flushed"));
        expect_trace(records, dumped, CAPLIB_ASCII_HEXDUMP | CAPLIB_ASCII_BUFFERED, sep, dir.path("buffered"));
    }
}

}  // namespace
