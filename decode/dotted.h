// IPv4 addresses in lines built without a formatted write.
#pragma once

#include "decode/bytes.h"
#include "decode/line.h"

namespace caplib {

// "%u.%u.%u.%u" of the four bytes at off.
template <size_t N>
Line<N> &dotted(Line<N> &line, Bytes b, uint32_t off) {
    for (uint32_t i = 0; i < 4; ++i) {
        if (i) line.chr('.');
        line.dec(b.u8(off + i));
    }
    return line;
}

}  // namespace caplib
