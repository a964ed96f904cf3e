// IPv4 addresses as text: "%u.%u.%u.%u" of four captured bytes, for the
// lines assembled piece by piece and for formatted writes alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decode/bytes.h"

namespace caplib {

struct DottedQuad {
    char text[16];
    uint8_t len;
    std::string_view view() const { return {text, len}; }
};

// The address in the four bytes at off.
inline DottedQuad dotted(Bytes b, uint32_t off) {
    DottedQuad q;
    size_t n = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        unsigned v = b.u8(off + i);
        if (i) q.text[n++] = '.';
        if (v >= 100) q.text[n++] = static_cast<char>('0' + v / 100);
        if (v >= 10) q.text[n++] = static_cast<char>('0' + v / 10 % 10);
        q.text[n++] = static_cast<char>('0' + v % 10);
    }
    q.text[n] = '\0';
    q.len = static_cast<uint8_t>(n);
    return q;
}

}  // namespace caplib
