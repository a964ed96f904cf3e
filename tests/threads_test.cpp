// Threads that each use their own objects get exactly the text they would
// get alone: every sample frame through both entry points, each thread with
// its own separator, trace writers into their own files, the conversions,
// all at once. Writers close while other threads decode, which once left
// them reading the closed writer's separator (AddressSanitizer in the dev
// build). Built with ThreadSanitizer as well (threads_tsan).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

constexpr int kThreads = 4;
const char *const kSeparators[kThreads] = {"\n", "\r\n", " | ", "<end of line>\n"};
constexpr CAPLIB_TIMEVAL kTimes[5] = {{0, 0}, {1000000000, 123456}, {1234567890, 999999}, {-1, 0}, {2000000000, 7000}};

std::string decoded(uint32_t layer, const Frame &f, const char *sep) {
    std::vector<char> text(8192);
    CAPLIB_decode(layer, f.data(), static_cast<uint32_t>(f.size()), text.data(), 8192, sep);
    return text.data();
}

std::string column(const Frame &f) {
    char text[8192];
    CAPLIB_decode_ppp(f.data(), static_cast<uint32_t>(f.size()), text, sizeof text);
    return text;
}

std::string dump(const Frame &f, const char *sep) {
    std::vector<char> text(16384);
    CAPLIB_string_hexdump(text.data(), 16384, f.data(), static_cast<int32_t>(f.size()), sep);
    return text.data();
}

// A trace of every sample frame, hex dumps included, with separator sep.
std::string trace(const std::string &path, const char *sep) {
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(path.c_str(), sep, CAPLIB_ASCII_HEXDUMP | CAPLIB_ASCII_BUFFERED);
    if (!out) return "cannot open " + path;
    uint32_t n = 0;
    for (const SampleFrame &s : sample_frames()) {
        CAPLIB_PAKET r{};
        r.name = s.name.c_str();
        r.channel = n % 3;
        r.direction = n % 2;
        r.layer = s.layer;
        r.time = kTimes[n++ % 5];
        r.length = r.orig_length = static_cast<uint32_t>(s.bytes.size());
        r.data = s.bytes.data();
        CAPLIB_output_paket(out, &r);
    }
    CAPLIB_output_close(out, 0);
    return read_text_file(path + ".log");
}

struct Expected {
    std::vector<std::string> chain[kThreads], columns, dumps[kThreads], layers;
    std::string times[5], traces[kThreads];
};

// Every text once, on one thread, before any other thread runs.
Expected alone(const TempDir &dir) {
    Expected e;
    for (const SampleFrame &s : sample_frames()) {
        for (int t = 0; t < kThreads; ++t) {
            e.chain[t].push_back(decoded(s.layer, s.bytes, kSeparators[t]));
            e.dumps[t].push_back(dump(s.bytes, kSeparators[t]));
        }
        e.columns.push_back(column(s.bytes));
        e.layers.push_back(CAPLIB_layer2str(s.layer));
    }
    for (int i = 0; i < 5; ++i) e.times[i] = CAPLIB_timeval2str(&kTimes[i]);
    for (int t = 0; t < kThreads; ++t) e.traces[t] = trace(dir.path("alone" + std::to_string(t)), kSeparators[t]);
    return e;
}

TEST(Threads, EveryTextAsAlone) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    TempDir dir;
    const Expected e = alone(dir);
    ASSERT_GT(e.traces[0].size(), 100000u) << e.traces[0];
    std::atomic<int> wrong[kThreads] = {};
    auto work = [&](int t) {
        const char *sep = kSeparators[t];
        for (int round = 0; round < 3; ++round) {
            for (size_t i = 0; i < sample_frames().size(); ++i) {
                const SampleFrame &s = sample_frames()[i];
                wrong[t] += decoded(s.layer, s.bytes, sep) != e.chain[t][i];
                // The column decoder goes on after this thread's last CAPLIB_decode.
                wrong[t] += column(s.bytes) != e.columns[i];
                wrong[t] += dump(s.bytes, sep) != e.dumps[t][i];
                const char *held[5];
                for (int k = 0; k < 5; ++k) held[k] = CAPLIB_timeval2str(&kTimes[(k + i) % 5]);
                for (int k = 0; k < 5; ++k) wrong[t] += held[k] != e.times[(k + i) % 5];
                wrong[t] += CAPLIB_layer2str(s.layer) != e.layers[i];
            }
            wrong[t] += trace(dir.path("thread" + std::to_string(t)), sep) != e.traces[t];
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
    for (std::thread &th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "texts differing in thread " << t;
}

}  // namespace
