// The text trace writer, and the pump between a source and a sink.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

OwnedRecord rec(const char *name, uint32_t layer, Frame data, CAPLIB_TIMEVAL time = {1796405053, 123456}) {
    OwnedRecord r = OwnedRecord::of(name, std::move(data), layer);
    r.paket.time = time;
    r.paket.orig_length = static_cast<uint32_t>(r.data.size()) + 4;
    return r;
}

class TextTrace : public ::testing::Test {
protected:
    // The trace of the records as the writer of `base` leaves it in `log`.
    std::string trace(const std::string &base, const std::string &log, std::vector<OwnedRecord> recs, const char *sep = "\n",
                      uint32_t flags = 0) {
        CAPLIB_OUTPUT *out = CAPLIB_output_ascii(dir_.path(base).c_str(), sep, flags);
        EXPECT_NE(out, nullptr);
        if (!out) return {};
        EXPECT_EQ(CAPLIB_output_header(out, nullptr), 0);
        for (OwnedRecord &r : recs) EXPECT_EQ(CAPLIB_output_paket(out, r.get()), 0);
        CAPLIB_output_close(out, 0);
        return read_text_file(dir_.path(log));
    }
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
    EXPECT_EQ(trace("run.1", "run.log", recs),
              "\n1. 04.12.2026 17:24:13.123 eth0 Ethernet <<< 14/18 Normal\n"
              "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x9000\n"
              "\n2. 04.12.2026 17:24:13.123 -NULL- PPP >>> 0/4 Normal Channel=0\n"
              "\n3. 04.12.2026 17:24:13.123 ch1 PPP <<< 0/4 Before change Channel=2\n"
              "\n4. 04.12.2026 17:24:13.123 x ??? <<< 0/4 ???\n");
    EXPECT_EQ(trace("dump", "dump.log", {rec("ike", 6, hex("0102")), rec("e", 1, {})}, "\r\n", CAPLIB_ASCII_HEXDUMP),
              "\n1. 04.12.2026 17:24:13.123 ike ISAKMP <<< 2/6 Normal\r\n"
              "0000  0102" + std::string(40, ' ') + "  ..\r\n"
              "\n2. 04.12.2026 17:24:13.123 e Ethernet <<< 0/4 Normal\r\n"
              "sliced Ethernet header\r\n"
              "0000 " + std::string(45, ' ') + "  \r\n");
    EXPECT_EQ(CAPLIB_output_ascii(dir_.path("no/such/dir/x").c_str(), nullptr, 0), nullptr);
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
        want.append("\n").append(std::to_string(recs.size())).append(". ").append(text).append(" t ??? <<< 0/4 Normal\n");
    }
    EXPECT_EQ(trace("dst", "dst.log", recs), want);
}

// Each writer counts its own records, a refused one too; the default
// flushes every record, a buffered writer when it closes.
TEST_F(TextTrace, CountsAndFlushes) {
    CAPLIB_OUTPUT *a = CAPLIB_output_ascii(dir_.path("a").c_str(), nullptr, 0);
    CAPLIB_OUTPUT *b = CAPLIB_output_ascii(dir_.path("b").c_str(), nullptr, CAPLIB_ASCII_BUFFERED);
    ASSERT_TRUE(a && b);
    OwnedRecord too_long = rec("x", 1, {}), named = rec("ok", 9, {});
    too_long.name = std::string(9000, 'n');
    EXPECT_EQ(CAPLIB_output_paket(a, too_long.get()), CAPLIB_ERR_FORMAT);
    EXPECT_EQ(CAPLIB_output_paket(a, named.get()), 0);
    EXPECT_EQ(CAPLIB_output_paket(b, named.get()), 0);
    const std::string line = ". 04.12.2026 17:24:13.123 ok ??? <<< 0/4 Normal\n";
    EXPECT_EQ(read_text_file(dir_.path("a.log")), "\n2" + line);
    EXPECT_EQ(read_text_file(dir_.path("b.log")), "");
    CAPLIB_output_close(a, 0);
    CAPLIB_output_close(b, 0);
    EXPECT_EQ(read_text_file(dir_.path("b.log")), "\n1" + line);
}

// A sink that counts what reaches it and fails where it is told to.
struct Sink {
    int header_result = 0, fail_at = -1, closed_with = 99;
    std::vector<uint32_t> written = {};
    CAPLIB_OUTPUT pub = {0, header, paket, close, this};

    static Sink &of(CAPLIB_OUTPUT *o) { return *static_cast<Sink *>(o->priv); }
    static int header(CAPLIB_OUTPUT *o, CAPLIB_INPUT *) { return of(o).header_result; }
    static int paket(CAPLIB_OUTPUT *o, CAPLIB_PAKET *p) {
        if (static_cast<int>(p->number) == of(o).fail_at) return CAPLIB_ERR_WRITE;
        of(o).written.push_back(p->number);
        return 0;
    }
    static void close(CAPLIB_OUTPUT *o, int r) { of(o).closed_with = r; }
};

TEST(Pump, PathsThroughHeaderRecordsAndClose) {
    struct Case {
        const char *name;
        int header_result, fail_at, result;
        std::vector<uint32_t> written;
    } cases[] = {
        {"every record", 0, -1, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"header fails", CAPLIB_ERR_FORMAT, -1, CAPLIB_ERR_FORMAT, {}},
        {"third record fails", 0, 3, CAPLIB_ERR_WRITE, {1, 2}},
    };
    for (const Case &c : cases) {
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
        ASSERT_NE(in, nullptr);
        Sink out{c.header_result, c.fail_at};
        EXPECT_EQ(CAPLIB_process_data(in, &out.pub), c.result) << c.name;
        EXPECT_EQ(out.written, c.written) << c.name;
        EXPECT_EQ(out.closed_with, c.result) << c.name;
    }
    // Null slots are no-ops with neutral results: a source without first
    // is empty, a sink without slots takes everything.
    CAPLIB_INPUT none = {};
    CAPLIB_OUTPUT all = {};
    CAPLIB_PAKET p = {};
    EXPECT_EQ(CAPLIB_input_next(&none), nullptr);
    EXPECT_EQ(CAPLIB_output_paket(&all, &p), 0);
    Sink empty;
    EXPECT_EQ(CAPLIB_process_data(&none, &empty.pub), 0);
    EXPECT_EQ(empty.closed_with, 0);
    EXPECT_EQ(CAPLIB_process_data(CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth"), &all), 0);
}

}  // namespace
