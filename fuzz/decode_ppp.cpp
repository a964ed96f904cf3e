// CAPLIB_decode_ppp on any frame with any room from 0 to 9000. Input: room
// (2 bytes), then the frame.
#include "caplib.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    constexpr uint32_t kMaxRoom = 9000;
    fuzz::Input in(data, size);
    uint32_t room = in.u16() % (kMaxRoom + 1);  // 0: nothing may be written
    fuzz::Exact frame(in.rest());

    auto decode = [&](uint32_t r) {
        return fuzz::guarded_text(r, [&](char *t) {
            FUZZ_CHECK(CAPLIB_decode_ppp(frame.data(), frame.size(), t, r) == 0);
        });
    };
    fuzz::check_rooms(room, kMaxRoom, decode);
    return 0;
}
