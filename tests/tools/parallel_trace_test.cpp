// The trace composed on several threads is the single-threaded trace byte
// for byte, whatever the batches' edges, and it stops where that one
// stops: at a header line too long, at the record limit, at a failed write.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/parallel_trace.h"
#include "tools/trace_text.h"

namespace {

using namespace caplib_test;
using caplib_tool::ParallelTraceResult;
using caplib_tool::ParallelTraceSettings;

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

// Both mixes across the spring switch (NetBIOS names and SMB strings
// among them), and records at the edges: no name, no data, milliseconds
// below zero, a time without a local date.
std::vector<OwnedRecord> mix_records() {
    std::vector<OwnedRecord> records;
    auto add = [&](const CAPLIB_PAKET &p) {
        OwnedRecord &r = records.emplace_back();
        r.has_name = p.name != nullptr;
        r.name = std::string(p.name ? p.name : "");  // GCC 12 sees a false overlap in assign()
        if (p.data) r.data.assign(p.data, p.data + p.length);
        r.paket = p;
    };
    caplib_mix::Mix ppp(caplib_mix::Kind::ppp, 1, 1774746000 - 2, 900000);
    caplib_mix::Mix ethernet(caplib_mix::Kind::ethernet, 2, 1774746000 - 1, 500000);
    for (int i = 0; i < 3000; ++i) {
        add(i % 2 ? ppp.next() : ethernet.next());
        if (i % 700 == 0) {
            add(CAPLIB_PAKET{0, nullptr, 0, 1, 0, CAPLIB_LAYER_IP, {-1, -5000}, 0, 0, nullptr, 0});
            add(CAPLIB_PAKET{0, "x", 3, 0, 12, 99, {INT32_MIN, 999999}, 0, 7, nullptr, 0});
        }
    }
    return records;
}

// What the single-threaded trace writes: every record up to the first
// whose header line does not fit, or up to limit.
std::string serial(std::vector<OwnedRecord> &records, const ParallelTraceSettings &s) {
    caplib_tool::TraceText composer(s.separator, s.hex);
    std::string text;
    for (size_t i = 0; i < records.size() && (s.limit == 0 || i < s.limit); ++i) {
        CAPLIB_PAKET *p = records[i].get();
        std::string_view t = composer.compose(*p, s.input_numbers ? static_cast<uint32_t>(3 * i + 1)
                                                                  : static_cast<uint32_t>(i + 1));
        if (t.empty()) break;
        text += t;
    }
    return text;
}

struct Traced {
    ParallelTraceResult result;
    std::string text;
};

Traced parallel(std::vector<OwnedRecord> &records, const ParallelTraceSettings &s) {
    MemorySource src(records);
    FILE *f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    Traced run;
    if (!f) return run;
    run.result = caplib_tool::parallel_trace(&src.pub, f, s);
    std::rewind(f);
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) run.text.append(buffer, n);
    std::fclose(f);
    return run;
}

struct Case {
    const char *what;
    unsigned threads;
    size_t batch_records, batch_bytes;
    bool hex;
    const char *separator;
    unsigned long long limit;
    bool input_numbers;
    size_t too_long_at;  // a record whose name does not fit the header line, or SIZE_MAX
    int rc;
};

TEST(ParallelTrace, WritesTheSingleThreadedTrace) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const Case cases[] = {
        {"one thread", 1, 512, 512 * 1024, false, "\n", 0, false, SIZE_MAX, CAPLIB_OK},
        {"two threads, default batches", 2, 512, 512 * 1024, false, "\n", 0, false, SIZE_MAX, CAPLIB_OK},
        {"a record per batch", 3, 1, 512 * 1024, true, "\r\n", 0, false, SIZE_MAX, CAPLIB_OK},
        {"batches cut by bytes", 2, 512, 300, true, "", 0, true, SIZE_MAX, CAPLIB_OK},
        {"more threads than batches", 8, 4096, 1 << 24, false, " | ", 0, false, SIZE_MAX, CAPLIB_OK},
        {"a limit inside a batch", 2, 64, 1 << 20, false, "\n", 1000, false, SIZE_MAX, CAPLIB_OK},
        {"a limit at a batch's end", 2, 100, 1 << 20, true, "\n", 1000, true, SIZE_MAX, CAPLIB_OK},
        {"a header too long in the first record", 2, 7, 1 << 20, false, "\n", 0, false, 0, CAPLIB_ERR_FORMAT},
        {"a header too long mid-batch", 3, 7, 1 << 20, true, "\n", 0, false, 2000, CAPLIB_ERR_FORMAT},
        {"a header too long past the limit", 2, 7, 1 << 20, false, "\n", 2000, false, 2000, CAPLIB_OK},
    };
    std::vector<OwnedRecord> records = mix_records();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<OwnedRecord> input = records;
        if (c.too_long_at != SIZE_MAX) input[c.too_long_at].name.assign(8150, 'n');
        ParallelTraceSettings s;
        s.separator = c.separator;
        s.hex = c.hex;
        s.input_numbers = c.input_numbers;
        s.threads = c.threads;
        s.limit = c.limit;
        s.batch_records = c.batch_records;
        s.batch_bytes = c.batch_bytes;
        Traced run = parallel(input, s);
        EXPECT_EQ(run.result.rc, c.rc);
        std::string expected = serial(input, s);
        ASSERT_EQ(run.text.size(), expected.size());
        EXPECT_TRUE(run.text == expected);
    }
}

TEST(ParallelTrace, StopsAtAFailedWrite) {
    FILE *full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "no /dev/full";
    std::setvbuf(full, nullptr, _IONBF, 0);  // the first batch fails
    std::vector<OwnedRecord> records = mix_records();
    MemorySource src(records);
    ParallelTraceSettings s;
    s.threads = 2;
    s.batch_records = 16;
    ParallelTraceResult r = caplib_tool::parallel_trace(&src.pub, full, s);
    std::fclose(full);
    EXPECT_EQ(r.rc, CAPLIB_ERR_WRITE);
    EXPECT_EQ(r.error, ENOSPC);
    // Reading stops soon after: no more than the batches in flight.
    EXPECT_LE(src.next, size_t{16 * (2 * 2 + 2 + 1)});
}

}  // namespace
