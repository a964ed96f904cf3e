// CAPLIB_decode_ppp on any frame with any room from 0 to 9000. Input: room
// (2 bytes), then the frame.
#include "caplib.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint32_t kMaxRoom = 9000;

std::string decode(const fuzz::Exact &frame, uint32_t room) {
    fuzz::Guarded text(room);
    FUZZ_CHECK(CAPLIB_decode_ppp(frame.data(), frame.size(), text.data(), room) == 0);
    FUZZ_CHECK(text.canaries_intact());
    FUZZ_CHECK(text.terminated());
    return text.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input in(data, size);
    uint32_t room = in.u16() % (kMaxRoom + 1);  // 0: nothing may be written
    fuzz::Exact frame(in.rest());

    std::string text = decode(frame, room);
    std::string full = decode(frame, kMaxRoom);
    if (room == 0) return 0;
    FUZZ_CHECK(text.size() < room);
    // A short room cuts the text of the full room; with room to spare it
    // is the same text (no state is kept between frames).
    FUZZ_CHECK(fuzz::starts_with(full, text));
    if (room >= full.size() + 100) FUZZ_CHECK(text == full);
    return 0;
}
