// CAPLIB_decode on any frame, any layer code, any room from 1 to 9000 and
// any short separator. Input: layer, room (2 bytes), separator selector
// and bytes, then the frame.
#include "caplib.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    constexpr uint32_t kMaxRoom = 9000;
    fuzz::Input in(data, size);
    uint32_t layer = in.u8() % 12;  // 9 to 11 have no decoder
    uint32_t room = 1 + in.u16() % kMaxRoom;
    std::string sep_storage;
    const char *sep = fuzz::separator(in, sep_storage);
    fuzz::Exact frame(in.rest());

    auto decode = [&](uint32_t r) {
        return fuzz::guarded_text(r, [&](char *t) { CAPLIB_decode(layer, frame.data(), frame.size(), t, r, sep); });
    };
    fuzz::check_rooms(room, kMaxRoom, decode);
    if (room < 100) FUZZ_CHECK(decode(room).empty());  // no decoder starts
    return 0;
}
