// Sweeps every sample frame of every decoder family over small rooms and
// over every prefix: the text must stay within room and no byte past the
// frame may be read (the sanitizers watch the exact-size frame copies).
#include <gtest/gtest.h>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

[[maybe_unused]] const int kLinkSamples = add_samples({
    {"ethernet-ii", 1, hex("FFFFFFFFFFFF 00A0C5110233 0800 4500001C00000000401100000A0000010A000002")},
    {"ethernet-snap", 1, hex("FFFFFFFFFFFF 00A0C5110233 0030 AAAA03 000000 0806 0001")},
    {"ethernet-8022", 1, hex("FFFFFFFFFFFF 00A0C5110233 0030 E0E003 FFFF")},
    {"ethernet-raw", 1, hex("FFFFFFFFFFFF 00A0C5110233 0030 FFFF 0030")},
    {"tokenring-snap", 2,
     hex("1040 FFFFFFFFFFFF 80A0C5110233 0600 0000 0000 AAAA03 000000 0800 45000014")},
    {"tokenring-8022", 2, hex("1040 FFFFFFFFFFFF 00A0C5110233 E0E003 FFFF 0030 0000 0000 0000 00 0000")},
});

TEST(RoomSweep, NoDecoderWritesPastRoom) {
    for (const SampleFrame &s : sample_frames()) {
        for (uint32_t room = 1; room <= 200; ++room) {
            std::string t = decode(s.layer, s.bytes, room);
            ASSERT_LT(t.size(), room) << s.name;
            if (room < 100) {
                ASSERT_EQ(t, "") << s.name << " room " << room;  // no decoder starts
            }
        }
    }
}

TEST(RoomSweep, EveryPrefixDecodesWithinTheFrame) {
    for (const SampleFrame &s : sample_frames()) {
        for (size_t n = 0; n <= s.bytes.size(); ++n) {
            Frame prefix(s.bytes.begin(), s.bytes.begin() + static_cast<long>(n));
            for (uint32_t room : {1u, 100u, 101u, 150u, 8192u}) decode(s.layer, prefix, room);
            for (uint32_t room : {0u, 1u, 7u, 8u, 64u}) decode_ppp(prefix, room);
        }
    }
}

}  // namespace
