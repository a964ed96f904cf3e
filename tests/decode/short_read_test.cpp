// No decoder shows a field it never captured: decoding every prefix of
// every sample frame, through both entry points, reads nothing past the
// captured bytes (such a read gives 0 and is counted).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "caplib.h"
#include "decode/bytes.h"
#include "support.h"

using namespace caplib_test;

namespace {

TEST(ShortReads, NoneAtAnyPrefix) {
    std::vector<char> text(8192);
    for (const SampleFrame &s : sample_frames())
        for (uint32_t n = 0; n <= s.bytes.size(); ++n) {
            std::unique_ptr<uint8_t[]> prefix = exact_copy(s.bytes.data(), n);
            const uint64_t before = caplib::short_reads();
            CAPLIB_decode(s.layer, prefix.get(), n, text.data(), 8192, "\n");
            EXPECT_EQ(caplib::short_reads(), before) << s.name << " cut to " << n << ": " << text.data();
            const uint64_t column = caplib::short_reads();
            CAPLIB_decode_ppp(prefix.get(), n, text.data(), 8192);
            EXPECT_EQ(caplib::short_reads(), column) << s.name << " (column) cut to " << n << ": " << text.data();
        }
}

}  // namespace
