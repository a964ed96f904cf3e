// The tool's trace composer prints byte for byte what the library's text
// writer prints, over the sample capture, both benchmark mixes across a
// daylight-saving switch and records at the edges of the header line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/mix.h"
#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/trace_text.h"

namespace {

using namespace caplib_test;

constexpr int32_t kSpringSwitch = 1774746000;  // 2026-03-29 01:00 UTC

// Records that stay valid: their names and bytes are owned here.
struct Records {
    std::vector<OwnedRecord> owned;
    void add(const CAPLIB_PAKET &p) {
        OwnedRecord r;
        r.has_name = p.name != nullptr;
        if (p.name) r.name = p.name;
        r.data.assign(p.data, p.data + p.length);
        r.paket = p;
        owned.push_back(std::move(r));
    }
};

Records sources() {
    Records r;
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    EXPECT_NE(in, nullptr);
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) r.add(*p);
    CAPLIB_input_close(in);
    for (caplib_mix::Kind kind : {caplib_mix::Kind::ethernet, caplib_mix::Kind::ppp}) {
        caplib_mix::Mix mix(kind, 1, kSpringSwitch - 1, 800000);
        for (int i = 0; i < 1000; ++i) r.add(mix.next());
    }
    // The edges: no name, a name the line cannot hold, milliseconds below
    // zero and past a second, a layer without a name, any direction.
    CAPLIB_PAKET edge{};
    edge.layer = 99;
    edge.direction = 7;
    edge.time = {-1, -5000};
    r.add(edge);
    edge.time = {kSpringSwitch, 2500000};
    edge.layer = CAPLIB_LAYER_PPP;
    edge.channel = 65535;
    r.add(edge);
    std::string long_name(8150, 'n');
    edge.name = long_name.c_str();
    r.add(edge);
    return r;
}

TEST(TraceText, ComposesWhatTheLibraryWriterPrints) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    Records records = sources();
    TempDir dir;
    const std::string long_sep(8100, '|');
    for (const std::string &sep : {std::string("\n"), std::string("\r\n"), std::string(), long_sep})
        for (bool hex : {false, true}) {
            std::string base = dir.path("trace");
            CAPLIB_OUTPUT *out = CAPLIB_output_ascii(base.c_str(), sep.c_str(), hex ? CAPLIB_ASCII_HEXDUMP : 0);
            ASSERT_NE(out, nullptr);
            caplib_tool::TraceText composer(sep, hex);
            std::string composed;
            uint32_t number = 0;
            for (OwnedRecord &r : records.owned) {
                int rc = CAPLIB_output_paket(out, r.get());
                std::string_view text = composer.compose(*r.get(), ++number);
                ASSERT_EQ(rc == CAPLIB_OK, !text.empty()) << "record " << number;
                composed += text;
            }
            CAPLIB_output_close(out, CAPLIB_OK);
            std::string printed = read_text_file(base + ".log");
            size_t at = 0;
            while (at < printed.size() && at < composed.size() && printed[at] == composed[at]) ++at;
            ASSERT_EQ(composed.size(), printed.size()) << "separator of " << sep.size() << ", hex " << hex
                                                       << ", first difference at byte " << at << ": "
                                                       << composed.substr(at > 100 ? at - 100 : 0, 200);
            ASSERT_TRUE(composed == printed) << "first difference at byte " << at;
        }
}

}  // namespace
