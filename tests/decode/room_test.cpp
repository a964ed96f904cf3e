// The truncation sweep: every prefix of every sample frame of every decoder
// family, decoded at every room from 1 to the room its whole text needs.
// The text must stay NUL-terminated within room and leave every byte past
// room alone; no byte past the prefix may be read (the sanitizers watch an
// exact-size copy).
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

constexpr uint32_t kFullRoom = 65536;
constexpr size_t kCanary = 16;
constexpr char kCanaryByte = '\x5A';

// One allocation serves every room: the text of `room` bytes is placed at
// its end behind the canaries' space, so a write just past room hits a
// canary and one further out leaves the allocation.
class TextAtEnd {
public:
    explicit TextAtEnd(size_t max_room) : size_(max_room + kCanary), buf_(new char[size_]) {}

    char *place(uint32_t room) {
        char *text = buf_.get() + size_ - kCanary - room;
        std::memset(text + room, kCanaryByte, kCanary);
        return text;
    }
    static bool intact(const char *text, uint32_t room) {
        for (size_t i = 0; i < kCanary; ++i)
            if (text[room + i] != kCanaryByte) return false;
        return true;
    }

private:
    size_t size_;
    std::unique_ptr<char[]> buf_;
};

// Decodes the prefix at every room up to its full text's room plus one.
// Returns false (after reporting) at the first fault.
template <typename Decode>
bool sweep(const std::string &what, const uint8_t *data, uint32_t n, uint32_t first_room, Decode decode) {
    TextAtEnd full_buf(kFullRoom);
    char *full_text = full_buf.place(kFullRoom);
    decode(data, n, full_text, kFullRoom);
    const uint32_t top = static_cast<uint32_t>(std::strlen(full_text)) + 1;
    TextAtEnd buf(top);
    for (uint32_t room = first_room; room <= top; ++room) {
        char *text = buf.place(room);
        decode(data, n, text, room);
        if (!TextAtEnd::intact(text, room)) {
            ADD_FAILURE() << what << ": text written past room " << room;
            return false;
        }
        if (room != 0 && !std::memchr(text, 0, room)) {
            ADD_FAILURE() << what << ": text not terminated within room " << room;
            return false;
        }
    }
    return true;
}

class TruncationSweep : public testing::TestWithParam<size_t> {};

TEST_P(TruncationSweep, EveryPrefixAtEveryRoom) {
    const SampleFrame &s = sample_frames()[GetParam()];
    for (uint32_t n = 0; n <= s.bytes.size(); ++n) {
        std::unique_ptr<uint8_t[]> prefix(new uint8_t[n ? n : 1]);
        if (n) std::memcpy(prefix.get(), s.bytes.data(), n);
        const std::string what = s.name + " cut to " + std::to_string(n) + " bytes";
        bool ok = sweep(what, prefix.get(), n, 1, [&](const uint8_t *d, uint32_t len, char *t, uint32_t room) {
            CAPLIB_decode(s.layer, d, len, t, room, "\n");
            if (room < 100 && t[0] != '\0') ADD_FAILURE() << what << ": a decoder ran with room " << room;
        });
        if (!ok) return;
        // The PPP column decoder has no minimum room of its own: PPP frames
        // at every room, the others (bytes it must survive) at a few.
        auto column = [](const uint8_t *d, uint32_t len, char *t, uint32_t room) { CAPLIB_decode_ppp(d, len, t, room); };
        if (s.layer == CAPLIB_LAYER_PPP) {
            if (!sweep(what + " (PPP column)", prefix.get(), n, 0, column)) return;
        } else {
            for (uint32_t room : {0u, 1u, 7u, 8u, 64u}) decode_ppp(Frame(s.bytes.begin(), s.bytes.begin() + n), room);
        }
    }
    // A separator longer than the 100 bytes a decoder is started with.
    const std::string long_sep(150, '\n');
    std::unique_ptr<uint8_t[]> frame(new uint8_t[s.bytes.empty() ? 1 : s.bytes.size()]);
    std::memcpy(frame.get(), s.bytes.data(), s.bytes.size());
    sweep(s.name + " with a 150-byte separator", frame.get(), static_cast<uint32_t>(s.bytes.size()), 1,
          [&](const uint8_t *d, uint32_t len, char *t, uint32_t room) {
              CAPLIB_decode(s.layer, d, len, t, room, long_sep.c_str());
          });
}

std::string sample_name(const testing::TestParamInfo<size_t> &info) {
    std::string name = sample_frames()[info.param].name;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name + "_" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Samples, TruncationSweep,
                         testing::Range<size_t>(0, sample_frames().size()), sample_name);

}  // namespace
