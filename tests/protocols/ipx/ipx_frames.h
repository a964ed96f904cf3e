// IPX frames for the IPX family's tests.
#pragma once

#include <string_view>

#include "support.h"

namespace caplib_test {

// An IPX packet; dst and src are "network node socket" in hex.
inline Frame ipx(uint8_t type, std::string_view dst, std::string_view src, const Frame &payload = {},
                 uint8_t hops = 0) {
    size_t len = 30 + payload.size();
    return cat({hex("FFFF"), {static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)},
                {hops, type}, hex(dst), hex(src), payload});
}

}  // namespace caplib_test
