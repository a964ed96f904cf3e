// The truncation sweep: every prefix of every sample frame of every decoder
// family, decoded at every room from 1 to the room its whole text needs.
// The text must stay NUL-terminated within room and leave every byte past
// room alone; no byte past the prefix may be read (the sanitizers watch an
// exact-size copy). Every other frame a test decodes gets the same sweep
// when the run ends.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

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

class TruncationSweep : public testing::TestWithParam<size_t> {};

TEST_P(TruncationSweep, EveryPrefixAtEveryRoom) {
    const SampleFrame &s = sample_frames()[GetParam()];
    auto frame = [&s](const uint8_t *d, uint32_t n, char *t, uint32_t room) {
        CAPLIB_decode(s.layer, d, n, t, room, "\n");
        if (room < 100 && t[0] != '\0') ADD_FAILURE() << s.name << ": a decoder ran with room " << room;
    };
    if (!sweep_prefixes(s.name, s.bytes, 1, frame)) return;
    // The PPP column decoder has no minimum room of its own, and must
    // survive any bytes, not only PPP frames.
    auto column = [](const uint8_t *d, uint32_t n, char *t, uint32_t room) { CAPLIB_decode_ppp(d, n, t, room); };
    if (!sweep_prefixes(s.name + " (PPP column)", s.bytes, 0, column)) return;
    // A separator longer than the 100 bytes a decoder is started with.
    const std::string long_sep(150, '\n');
    std::unique_ptr<uint8_t[]> whole = exact_copy(s.bytes.data(), s.bytes.size());
    sweep_rooms(s.name + " with a 150-byte separator", whole.get(), static_cast<uint32_t>(s.bytes.size()), 1,
                [&](const uint8_t *d, uint32_t n, char *t, uint32_t room) {
                    CAPLIB_decode(s.layer, d, n, t, room, long_sep.c_str());
                });
}

// The sweep itself must see the faults it is there for.
TEST(SweepChecks, SeeWritesPastRoomAndMissingTerminators) {
    const uint8_t byte = 0;
    auto past_room = [](const uint8_t *, uint32_t, char *t, uint32_t room) {
        std::memset(t, 'a', room);
        t[room] = '\0';  // one past
    };
    EXPECT_NONFATAL_FAILURE(sweep_rooms("", &byte, 1, 1, past_room), "text written past room 1");
    auto unterminated = [](const uint8_t *, uint32_t, char *t, uint32_t room) {
        if (room < 10) std::memset(t, 'a', room);
        else std::strcpy(t, "full text");
    };
    EXPECT_NONFATAL_FAILURE(sweep_rooms("", &byte, 1, 1, unterminated), "text not terminated within room 1");
}

// Each CTest test runs one suite, so each sweeps the frames of its own
// suite.
class KeptFrameSweep : public testing::Environment {
public:
    void SetUp() override { set_keeping(true); }
    void TearDown() override {
        set_keeping(false);
        for (const KeptFrame &f : kept_frames())
            if (!sweep_prefixes(f.what, f.bytes, f.first_room, f.call)) return;
    }
};

[[maybe_unused]] testing::Environment *const kKeptFrameSweep = testing::AddGlobalTestEnvironment(new KeptFrameSweep);

std::string sample_name(const testing::TestParamInfo<size_t> &info) {
    std::string name = sample_frames()[info.param].name;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name + "_" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Samples, TruncationSweep,
                         testing::Range<size_t>(0, sample_frames().size()), sample_name);

}  // namespace
