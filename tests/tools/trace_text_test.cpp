// The tool's trace composer prints byte for byte what the library's text
// writer prints, and the trace composed on several threads is that trace
// whatever the batches' edges, stopping where it stops: at a header line
// too long, at the record limit, at a failed write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "support.h"
#include "tools/parallel_trace.h"
#include "tools/trace_text.h"

namespace {

using namespace caplib_test;
using caplib_tool::ParallelTraceResult;
using caplib_tool::ParallelTraceSettings;

constexpr int32_t kSpringSwitch = 1774746000;

// The sample capture, both mixes across the spring switch (NetBIOS names
// and SMB strings among them), and records at the edges of the header
// line: no name, no data, milliseconds below zero and past a second, a
// layer without a name, a time without a local date.
std::vector<OwnedRecord> mix_records() {
    std::vector<OwnedRecord> records;
    auto add = [&](const CAPLIB_PAKET &p) {
        OwnedRecord &r = records.emplace_back();
        r.has_name = p.name != nullptr;
        r.name = std::string(p.name ? p.name : "");  // GCC 12 sees a false overlap in assign()
        if (p.data) r.data.assign(p.data, p.data + p.length);
        r.paket = p;
    };
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    EXPECT_NE(in, nullptr);
    for (CAPLIB_PAKET *p = in ? CAPLIB_input_first(in) : nullptr; p; p = CAPLIB_input_next(in)) add(*p);
    if (in) CAPLIB_input_close(in);
    caplib_mix::Mix ppp(caplib_mix::Kind::ppp, 1, kSpringSwitch - 2, 900000);
    caplib_mix::Mix ethernet(caplib_mix::Kind::ethernet, 2, kSpringSwitch - 1, 500000);
    for (int i = 0; i < 3000; ++i) {
        add(i % 2 ? ppp.next() : ethernet.next());
        if (i % 700 == 0) {
            add(CAPLIB_PAKET{0, nullptr, 0, 7, 0, 99, {-1, -5000}, 0, 0, nullptr, 0});
            add(CAPLIB_PAKET{0, nullptr, 65535, 0, 12, CAPLIB_LAYER_PPP, {kSpringSwitch, 2500000}, 0, 0, nullptr, 0});
            add(CAPLIB_PAKET{0, "x", 3, 0, 12, 99, {INT32_MIN, 999999}, 0, 7, nullptr, 0});
        }
    }
    return records;
}

TEST(TraceText, ComposesWhatTheLibraryWriterPrints) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    std::vector<OwnedRecord> records = mix_records();
    OwnedRecord &too_long = records.emplace_back();  // the line cannot hold its name
    too_long.name.assign(8150, 'n');
    too_long.paket.layer = CAPLIB_LAYER_ETHERNET;
    TempDir dir;
    for (const std::string &sep : {std::string("\n"), std::string("\r\n"), std::string(), std::string(8100, '|')})
        for (bool hex : {false, true}) {
            CAPLIB_OUTPUT *out = CAPLIB_output_ascii(dir.path("t").c_str(), sep.c_str(), hex ? CAPLIB_ASCII_HEXDUMP : 0u);
            ASSERT_NE(out, nullptr);
            caplib_tool::TraceText composer(sep, hex);
            std::string composed;
            uint32_t number = 0;
            for (OwnedRecord &r : records) {
                int rc = CAPLIB_output_paket(out, r.get());
                std::string_view text = composer.compose(*r.get(), ++number);
                ASSERT_EQ(rc == CAPLIB_OK, !text.empty()) << "record " << number;
                composed += text;
            }
            CAPLIB_output_close(out, CAPLIB_OK);
            std::string printed = read_text_file(dir.path("t.log"));
            size_t at = std::mismatch(composed.begin(), composed.end(), printed.begin(), printed.end()).first -
                        composed.begin();
            ASSERT_EQ(at, printed.size()) << "separator of " << sep.size() << ", hex " << hex << ":\n"
                                          << composed.substr(at > 200 ? at - 200 : 0, 300);
            ASSERT_EQ(at, composed.size());
        }
}

// A source over records in memory, numbered as a filter passes them: every
// third one.
struct MemorySource {
    CAPLIB_INPUT pub{};
    std::vector<OwnedRecord> *records;
    size_t next = 0;

    explicit MemorySource(std::vector<OwnedRecord> &r) : records(&r) {
        pub.priv = this;
        pub.first = [](CAPLIB_INPUT *in) { return self(in)->at(0); };
        pub.next = [](CAPLIB_INPUT *in) { return self(in)->at(self(in)->next); };
    }
    static MemorySource *self(CAPLIB_INPUT *in) { return static_cast<MemorySource *>(in->priv); }
    CAPLIB_PAKET *at(size_t i) {
        if (i >= records->size()) return nullptr;
        next = i + 1;
        CAPLIB_PAKET *p = (*records)[i].get();
        p->number = static_cast<uint32_t>(3 * i + 1);
        return p;
    }
};

// What the single-threaded trace writes: every record up to the first
// whose header line does not fit, or up to limit.
std::string serial(std::vector<OwnedRecord> &records, const ParallelTraceSettings &s) {
    caplib_tool::TraceText composer(s.separator, s.hex);
    std::string text;
    for (size_t i = 0; i < records.size() && (s.limit == 0 || i < s.limit); ++i) {
        std::string_view t = composer.compose(*records[i].get(), static_cast<uint32_t>(s.input_numbers ? 3 * i + 1 : i + 1));
        if (t.empty()) break;
        text += t;
    }
    return text;
}

// Batch edges, limits and a header too long; the plain runs on the
// default batches are the command line's (-j against the serial trace).
TEST(ParallelTrace, WritesTheSingleThreadedTrace) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    struct Case {
        const char *what;
        ParallelTraceSettings s;
        size_t too_long_at;  // a record whose name does not fit the header line, or SIZE_MAX
        int rc;
    } const cases[] = {
        {"a record per batch", {.separator = "\r\n", .hex = true, .threads = 3, .batch_records = 1}, SIZE_MAX, CAPLIB_OK},
        {"batches cut by bytes", {.separator = "", .hex = true, .input_numbers = true, .batch_bytes = 300}, SIZE_MAX,
         CAPLIB_OK},
        {"data in place and copied", {.hex = true, .batch_bytes = 300, .data_stays = [](const void *p) {
             return (reinterpret_cast<uintptr_t>(p) & 16) != 0; }}, SIZE_MAX, CAPLIB_OK},
        {"more threads than batches", {.separator = " | ", .threads = 8, .batch_records = 4096, .batch_bytes = 1 << 24},
         SIZE_MAX, CAPLIB_OK},
        {"a limit inside a batch", {.limit = 1000, .batch_records = 64}, SIZE_MAX, CAPLIB_OK},
        {"a limit at a batch's end", {.hex = true, .input_numbers = true, .limit = 1000, .batch_records = 100}, SIZE_MAX,
         CAPLIB_OK},
        {"a header too long in the first record", {.batch_records = 7}, 0, CAPLIB_ERR_FORMAT},
        {"a header too long mid-batch", {.hex = true, .threads = 3, .batch_records = 7}, 2000, CAPLIB_ERR_FORMAT},
        {"a header too long past the limit", {.limit = 2000, .batch_records = 7}, 2000, CAPLIB_OK},
    };
    const std::vector<OwnedRecord> records = mix_records();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<OwnedRecord> input = records;
        if (c.too_long_at != SIZE_MAX) input[c.too_long_at].name.assign(8150, 'n');
        const ParallelTraceSettings &s = c.s;
        MemorySource src(input);
        FILE *f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(caplib_tool::parallel_trace(&src.pub, f, s).rc, c.rc);
        std::string text(static_cast<size_t>(std::ftell(f)), '\0');
        std::rewind(f);
        EXPECT_EQ(std::fread(text.data(), 1, text.size(), f), text.size());
        std::fclose(f);
        std::string expected = serial(input, s);
        ASSERT_EQ(text.size(), expected.size());
        EXPECT_TRUE(text == expected);
    }
}

TEST(ParallelTrace, StopsAtAFailedWrite) {
    FILE *full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "no /dev/full";
    std::setvbuf(full, nullptr, _IONBF, 0);  // the first batch fails
    std::vector<OwnedRecord> records = mix_records();
    MemorySource src(records);
    ParallelTraceResult r = caplib_tool::parallel_trace(&src.pub, full, {.threads = 2, .batch_records = 16});
    std::fclose(full);
    EXPECT_EQ(r.rc, CAPLIB_ERR_WRITE);
    EXPECT_EQ(r.error, ENOSPC);
    // Reading stops soon after: no more than the batches in flight.
    EXPECT_LE(src.next, size_t{16 * (2 * 2 + 2 + 1)});
}

}  // namespace
