// The tool's trace composer prints byte for byte what the library's text
// writer prints: the sample capture, both mixes across a daylight-saving
// switch, and records at the edges of the header line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/mix.h"
#include "capture/capture_test_util.h"
#include "support.h"
#include "tools/trace_text.h"

namespace {

using namespace caplib_test;

TEST(TraceText, ComposesWhatTheLibraryWriterPrints) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    std::vector<OwnedRecord> records;
    auto add = [&](const CAPLIB_PAKET &p) {
        OwnedRecord &r = records.emplace_back();
        r.has_name = p.name != nullptr;
        r.name = p.name ? p.name : "";
        r.data.assign(p.data, p.data + p.length);
        r.paket = p;
    };
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    ASSERT_NE(in, nullptr);
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) add(*p);
    CAPLIB_input_close(in);
    constexpr int32_t kSpringSwitch = 1774746000;
    for (caplib_mix::Kind kind : {caplib_mix::Kind::ethernet, caplib_mix::Kind::ppp}) {
        caplib_mix::Mix mix(kind, 1, kSpringSwitch - 1, 800000);
        for (int i = 0; i < 1000; ++i) add(mix.next());
    }
    // No name, milliseconds below zero and past a second, a layer without
    // a name, any direction, a name the line cannot hold.
    const std::string long_name(8150, 'n');
    add(CAPLIB_PAKET{0, nullptr, 0, 7, 0, 99, {-1, -5000}, 0, 0, nullptr, 0});
    add(CAPLIB_PAKET{0, nullptr, 65535, 0, 12, CAPLIB_LAYER_PPP, {kSpringSwitch, 2500000}, 0, 0, nullptr, 0});
    add(CAPLIB_PAKET{0, long_name.c_str(), 0, 0, 0, 1, {0, 0}, 0, 0, nullptr, 0});

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

}  // namespace
