// The truncation sweep: every frame a test decodes, at every prefix and at
// every room from the smallest to the room its whole text needs, when the
// run ends. The text must stay NUL-terminated within room and leave every
// byte past room alone; no byte past the prefix may be read (the
// sanitizers watch an exact-size copy). The sample frames of every decoder
// family get the same sweep through the PPP column decoder, and one with a
// separator longer than the room a decoder is started with.
#include <gtest/gtest.h>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

class TruncationSweep : public testing::TestWithParam<size_t> {};

TEST_P(TruncationSweep, EveryPrefixAtEveryRoom) {
    const SampleFrame &s = sample_frames()[GetParam()];
    // The PPP column decoder must survive any bytes, not only PPP frames.
    // It reads headers and dumps the rest: prefixes past 64 bytes tell
    // nothing new but cost their room sweeps.
    auto column = [](const uint8_t *d, uint32_t n, char *t, uint32_t room) { CAPLIB_decode_ppp(d, n, t, room); };
    std::unique_ptr<uint8_t[]> whole = exact_copy(s.bytes.data(), s.bytes.size());
    const uint32_t n = static_cast<uint32_t>(s.bytes.size());
    if (!sweep_prefixes(s.name + " (PPP column)", head(s.bytes, 64), 0, column) ||
        !sweep_rooms(s.name + " (PPP column)", whole.get(), n, 0, column))
        return;
    const std::string long_sep(150, '\n');
    sweep_rooms(s.name + " with a 150-byte separator", whole.get(), n, 1,
                [&](const uint8_t *d, uint32_t n, char *t, uint32_t room) {
                    CAPLIB_decode(s.layer, d, n, t, room, long_sep.c_str());
                });
}

INSTANTIATE_TEST_SUITE_P(Samples, TruncationSweep, testing::Range<size_t>(0, sample_frames().size()));

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

}  // namespace
