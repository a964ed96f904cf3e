// CAPLIB_decode on any frame, any layer code, any room from 1 to 9000 and
// any short separator. Input: layer, room (2 bytes), separator selector
// and bytes, then the frame.
#include "caplib.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint32_t kMaxRoom = 9000;

std::string decode(uint32_t layer, const fuzz::Exact &frame, uint32_t room, const char *sep) {
    fuzz::Guarded text(room);
    CAPLIB_decode(layer, frame.data(), frame.size(), text.data(), room, sep);
    FUZZ_CHECK(text.canaries_intact());
    FUZZ_CHECK(text.terminated());
    return text.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input in(data, size);
    uint32_t layer = in.u8() % 12;  // 9 to 11 have no decoder
    uint32_t room = 1 + in.u16() % kMaxRoom;
    std::string sep_storage;
    const char *sep = fuzz::separator(in, sep_storage);
    fuzz::Exact frame(in.rest());

    std::string text = decode(layer, frame, room, sep);
    // The same frame with all the room there is: the short text is where
    // the long one was cut or where the chain stopped for lack of room, and
    // it is the whole text when every decoder had its 100 bytes (decoding
    // keeps no state between frames).
    std::string full = decode(layer, frame, kMaxRoom, sep);
    FUZZ_CHECK(text.size() < room);
    FUZZ_CHECK(fuzz::starts_with(full, text));
    if (room < 100) FUZZ_CHECK(text.empty());
    if (room >= full.size() + 100) FUZZ_CHECK(text == full);
    return 0;
}
