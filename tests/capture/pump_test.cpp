// The pump and the dispatch functions over sources and sinks built by
// filling the slots, as callers outside the library do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "caplib.h"

namespace {

struct FakeSource {
    CAPLIB_INPUT pub = {};
    std::vector<CAPLIB_PAKET> records;
    size_t at = 0;
    bool closed = false;

    explicit FakeSource(size_t n) : records(n) {
        for (size_t i = 0; i < n; ++i) records[i].number = static_cast<uint32_t>(i + 1);
        pub.priv = this;
        pub.first = [](CAPLIB_INPUT *in) { return self(in)->deliver(0); };
        pub.next = [](CAPLIB_INPUT *in) { return self(in)->deliver(self(in)->at + 1); };
        pub.close = [](CAPLIB_INPUT *in) { self(in)->closed = true; };
    }
    static FakeSource *self(CAPLIB_INPUT *in) { return static_cast<FakeSource *>(in->priv); }
    CAPLIB_PAKET *deliver(size_t i) {
        at = i;
        return i < records.size() ? &records[i] : nullptr;
    }
};

struct FakeSink {
    CAPLIB_OUTPUT pub = {};
    int header_result = 0;
    int fail_at = -1;  // record number whose paket fails with -2
    std::vector<uint32_t> written;
    int headers = 0;
    int closed_with = 99;

    FakeSink() {
        pub.priv = this;
        pub.header = [](CAPLIB_OUTPUT *o, CAPLIB_INPUT *) {
            ++self(o)->headers;
            return self(o)->header_result;
        };
        pub.paket = [](CAPLIB_OUTPUT *o, CAPLIB_PAKET *p) {
            if (static_cast<int>(p->number) == self(o)->fail_at) return -2;
            self(o)->written.push_back(p->number);
            return 0;
        };
        pub.close = [](CAPLIB_OUTPUT *o, int r) { self(o)->closed_with = r; };
    }
    static FakeSink *self(CAPLIB_OUTPUT *o) { return static_cast<FakeSink *>(o->priv); }
};

TEST(Pump, PathsThroughHeaderRecordsAndClose) {
    struct Case {
        const char *name;
        size_t records;
        int header_result;
        int fail_at;
        int result;
        std::vector<uint32_t> written;
        int headers;
    } cases[] = {
        {"empty source", 0, 0, -1, 0, {}, 1},
        {"every record", 3, 0, -1, 0, {1, 2, 3}, 1},
        {"header fails", 3, -1, -1, -1, {}, 1},
        {"third record fails", 5, 0, 3, -2, {1, 2}, 1},
    };
    for (const Case &c : cases) {
        FakeSource in(c.records);
        FakeSink out;
        out.header_result = c.header_result;
        out.fail_at = c.fail_at;
        EXPECT_EQ(CAPLIB_process_data(&in.pub, &out.pub), c.result) << c.name;
        EXPECT_EQ(out.written, c.written) << c.name;
        EXPECT_EQ(out.headers, c.headers) << c.name;
        EXPECT_TRUE(in.closed) << c.name;
        EXPECT_EQ(out.closed_with, c.result) << c.name;
    }
}

TEST(Pump, NullSlotsAreNeutral) {
    CAPLIB_INPUT in = {};
    CAPLIB_OUTPUT out = {};
    EXPECT_EQ(CAPLIB_input_first(&in), nullptr);
    EXPECT_EQ(CAPLIB_input_next(&in), nullptr);
    CAPLIB_input_close(&in);
    EXPECT_EQ(CAPLIB_output_header(&out, nullptr), 0);
    CAPLIB_PAKET p = {};
    EXPECT_EQ(CAPLIB_output_paket(&out, &p), 0);
    CAPLIB_output_close(&out, 0);

    FakeSource src(4);
    EXPECT_EQ(CAPLIB_process_data(&src.pub, &out), 0);  // a sink without paket accepts everything
    EXPECT_TRUE(src.closed);
}

}  // namespace
