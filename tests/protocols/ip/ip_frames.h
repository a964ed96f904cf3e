// Headers of the IP family for building test frames.
#pragma once

#include "support.h"

namespace caplib_test {

// Ethernet II from 00A0C5110233 to the broadcast address, type IPv4.
inline const Frame kEthernetIp = hex("FFFFFFFFFFFF 00A0C5110233 0800");
inline const std::string kEthernetLine = "Ethernet II 00A0C511233 -> FFFFFFFFFFFF Type=0x0800\n";

// IPv4 from 10.0.0.1 to 10.0.0.2, identification bytes 34 12 on the wire.
inline Frame ip4(uint8_t proto, uint16_t flags = 0, uint8_t ihl = 5) {
    Frame h = hex("45 00 0000 3412 0000 40 00 0000 0A000001 0A000002");
    h[0] = static_cast<uint8_t>(0x40 | ihl);
    h[6] = static_cast<uint8_t>(flags >> 8);
    h[7] = static_cast<uint8_t>(flags);
    h[9] = proto;
    return h;
}

// The first n bytes of a frame.
inline Frame first(const Frame &f, size_t n) {
    return Frame(f.begin(), f.begin() + static_cast<long>(n));
}

inline Frame be16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }

inline Frame be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

// A 20-byte TCP header without options.
inline Frame tcp(uint16_t src, uint16_t dst, uint8_t flags, uint32_t seq = 1000,
                 uint32_t ack = 2000, uint16_t win = 8192, uint16_t urgent = 0) {
    return cat({be16(src),
                be16(dst),
                be32(seq),
                be32(ack),
                {0x50, flags},
                be16(win),
                be16(0),
                be16(urgent)});
}

inline Frame udp(uint16_t src, uint16_t dst) {
    return cat({be16(src), be16(dst), hex("0008 0000")});
}

}  // namespace caplib_test
