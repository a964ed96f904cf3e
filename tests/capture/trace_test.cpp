// The text trace writer and the pump, over records and over sources and
// sinks built by filling the slots, as callers outside the library do.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "support.h"

using namespace caplib_test;

namespace {

OwnedRecord rec(const char *name, uint32_t layer, Frame data, CAPLIB_TIMEVAL time = {1796405053, 123456}) {
    OwnedRecord r;
    r.has_name = name != nullptr;
    r.name = name ? name : "";
    r.data = std::move(data);
    r.paket.layer = layer;
    r.paket.time = time;
    r.paket.orig_length = static_cast<uint32_t>(r.data.size()) + 4;
    return r;
}

// The trace of the records as the writer of `base` leaves it in `log`.
std::string trace(const std::string &base, const std::string &log, std::vector<OwnedRecord> &records, const char *sep = "\n",
                  uint32_t flags = 0) {
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), sep, flags);
    EXPECT_NE(out, nullptr);
    if (!out) return {};
    EXPECT_EQ(CAPLIB_output_header(out, nullptr), 0);
    for (OwnedRecord &r : records) EXPECT_EQ(CAPLIB_output_paket(out, r.get()), 0);
    CAPLIB_output_close(out, 0);
    return read_text_file(log);
}

class TextTrace : public ::testing::Test {
protected:
    ZoneGuard zone_{"UTC"};
    TempDir dir_;
};

TEST_F(TextTrace, HeaderLinesChannelsAndNames) {
    std::vector<OwnedRecord> recs = {rec("eth0", 1, hex("FFFFFFFFFFFF 00A0C5110233 9000")), rec(nullptr, 0, {}), rec("ch1", 0, {}),
                                     rec("x", 9, {})};
    recs[1].paket.direction = 7;
    recs[2].paket.channel = 2;
    recs[2].paket.attribute = 5;
    recs[3].paket.attribute = 10;
    EXPECT_EQ(trace(dir_.path("run.1"), dir_.path("run.log"), recs),
              "\n1. 04.12.2026 17:24:13.123 eth0 Ethernet <<< 14/18 Normal\n"
              "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000\n"
              "\n2. 04.12.2026 17:24:13.123 -NULL- PPP >>> 0/4 Normal Channel=0\n"
              "\n3. 04.12.2026 17:24:13.123 ch1 PPP <<< 0/4 Before change Channel=2\n"
              "\n4. 04.12.2026 17:24:13.123 x ??? <<< 0/4 ???\n");
}

TEST_F(TextTrace, SeparatorAndHexDump) {
    std::vector<OwnedRecord> recs = {rec("ike", 6, hex("0102")), rec("e", 1, {})};
    EXPECT_EQ(trace(dir_.path("dump"), dir_.path("dump.log"), recs, "\r\n", CAPLIB_ASCII_HEXDUMP),
              "\n1. 04.12.2026 17:24:13.123 ike ISAKMP <<< 2/6 Normal\r\n"
              "0000  0102" + std::string(40, ' ') + "  ..\r\n"
              "\n2. 04.12.2026 17:24:13.123 e Ethernet <<< 0/4 Normal\r\n"
              "sliced Ethernet header\r\n"
              "0000 " + std::string(45, ' ') + "  \r\n");
}

// Records around both switches of a zone with daylight saving time: the
// time text follows the clock, also through the hour that repeats in autumn.
TEST_F(TextTrace, AcrossDaylightSavingSwitches) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows' runtime applies its own switch dates to a TZ rule";
#endif
    set_time_zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::pair<CAPLIB_TIMEVAL, const char *> cases[] = {
        {{1774745999, 999000}, "29.03.2026 01:59:59.999"},  // last second of winter time
        {{1774746000, 0}, "29.03.2026 03:00:00.000"},      {{1774746000, 500000}, "29.03.2026 03:00:00.500"},
        {{1792889999, 0}, "25.10.2026 02:59:59.000"},  // last second of summer time
        {{1792890000, 1000}, "25.10.2026 02:00:00.001"},  // the hour again
        {{1792889999, 2000}, "25.10.2026 02:59:59.002"},  // back in time
        {{-1, -5000}, "01.01.1970 00:59:59.-05"},  // a negative remainder prints as it did
    };
    std::vector<OwnedRecord> recs;
    std::string want;
    for (const auto &[time, text] : cases) {
        recs.push_back(rec("t", 9, {}, time));
        want += "\n" + std::to_string(recs.size()) + ". " + text + " t ??? <<< 0/4 Normal\n";
    }
    EXPECT_EQ(trace(dir_.path("dst"), dir_.path("dst.log"), recs), want);
}

TEST_F(TextTrace, EachWriterCountsItsOwnRecords) {
    CAPLIB_OUTPUT *wa = CAPLIB_output_ascii(dir_.path("a").c_str(), nullptr, 0);
    CAPLIB_OUTPUT *wb = CAPLIB_output_ascii(dir_.path("b").c_str(), nullptr, 0);
    ASSERT_TRUE(wa && wb);
    OwnedRecord r = rec("x", 1, Frame(9000, 1)), named = rec("ok", 9, {});
    r.name = std::string(9000, 'n');  // a header line too long is refused, and counted
    EXPECT_EQ(CAPLIB_output_paket(wa, r.get()), CAPLIB_ERR_FORMAT);
    EXPECT_EQ(CAPLIB_output_paket(wa, named.get()), 0);
    EXPECT_EQ(CAPLIB_output_paket(wb, named.get()), 0);
    CAPLIB_output_close(wa, 0);
    CAPLIB_output_close(wb, 0);
    EXPECT_EQ(read_text_file(dir_.path("a.log")), "\n2. 04.12.2026 17:24:13.123 ok ??? <<< 0/4 Normal\n");
    EXPECT_EQ(read_text_file(dir_.path("b.log")), "\n1. 04.12.2026 17:24:13.123 ok ??? <<< 0/4 Normal\n");
    EXPECT_EQ(CAPLIB_output_ascii(dir_.path("no/such/dir/x").c_str(), nullptr, 0), nullptr);
}

// The default flushes every record; buffered output reaches the file when
// the buffer fills or the writer closes. On a device that takes no data
// the default fails on the first record, the buffered writer on the record
// whose write meets the full buffer.
TEST_F(TextTrace, FlushesAndWriteFailures) {
    OwnedRecord r = rec("x", 9, {});
    const std::string line = "\n1. 04.12.2026 17:24:13.123 x ??? <<< 0/4 Normal\n";
    for (uint32_t flags : {0u, CAPLIB_ASCII_BUFFERED}) {
        std::string base = dir_.path("f" + std::to_string(flags));
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), nullptr, flags);
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
        EXPECT_EQ(read_text_file(base + ".log").size(), flags ? 0 : line.size()) << flags;
        CAPLIB_output_close(out, 0);
        EXPECT_EQ(read_text_file(base + ".log"), line) << flags;
    }
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (uint32_t flags : {0u, CAPLIB_ASCII_BUFFERED, CAPLIB_ASCII_BUFFERED | CAPLIB_ASCII_HEXDUMP}) {
        std::string base = dir_.path("full" + std::to_string(flags));
        std::filesystem::create_symlink("/dev/full", base + ".log");
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), nullptr, flags);
        ASSERT_NE(out, nullptr);
        int rc = 0;
        uint32_t written = 0;
        for (; rc == 0 && written < 1000000; written += rc == 0) rc = CAPLIB_output_paket(out, r.get());
        CAPLIB_output_close(out, rc);
        EXPECT_EQ(rc, CAPLIB_ERR_WRITE) << flags;
        EXPECT_EQ(written == 0, flags == 0) << flags;
    }
}

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
        pub.header = [](CAPLIB_OUTPUT *o, CAPLIB_INPUT *) { return ++self(o)->headers, self(o)->header_result; };
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
        int header_result, fail_at, result;
        std::vector<uint32_t> written;
    } cases[] = {
        {"empty source", 0, 0, -1, 0, {}},
        {"every record", 3, 0, -1, 0, {1, 2, 3}},
        {"header fails", 3, -1, -1, -1, {}},
        {"third record fails", 5, 0, 3, -2, {1, 2}},
    };
    for (const Case &c : cases) {
        FakeSource in(c.records);
        FakeSink out;
        out.header_result = c.header_result;
        out.fail_at = c.fail_at;
        EXPECT_EQ(CAPLIB_process_data(&in.pub, &out.pub), c.result) << c.name;
        EXPECT_EQ(out.written, c.written) << c.name;
        EXPECT_EQ(out.headers, 1) << c.name;
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
