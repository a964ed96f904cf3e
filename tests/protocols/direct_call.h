// Runs one decoder of the chain by hand, for what the text alone does not
// show: the id it names and how far it moved the cursor.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decode/dispatch.h"
#include "support.h"

namespace caplib_test {

struct DirectResult {
    std::string text;
    uint32_t next;
    uint32_t consumed;
    uint32_t remaining;
};

// The frame is copied to an exact-size block so that sanitizers see any
// read past it; the text gets exactly `room` bytes.
inline DirectResult call_decoder(caplib::Decoder decoder, const Frame &frame, size_t room = 8192,
                                 uint32_t limit = UINT32_MAX) {
    std::unique_ptr<uint8_t[]> data = exact_copy(frame.data(), frame.size());
    caplib::Cursor cur(caplib::Bytes(data.get(), static_cast<uint32_t>(frame.size())));
    cur.limit(limit);
    caplib::set_separator("\n");
    std::vector<char> buf(room);
    caplib::Text text(buf.data(), room);
    uint32_t next = decoder(cur, text);
    char key[64];
    std::snprintf(key, sizeof key, "decoder %p limit %u", reinterpret_cast<void *>(decoder), limit);
    keep_decoded(key, frame, 1, [decoder, limit](const uint8_t *d, uint32_t n, char *t, uint32_t r) {
        caplib::Cursor c(caplib::Bytes(d, n));
        c.limit(limit);
        caplib::set_separator("\n");
        caplib::Text out(t, r);
        decoder(c, out);
    });
    return {std::string(text.view()), next, cur.offset(), cur.remaining()};
}

}  // namespace caplib_test
